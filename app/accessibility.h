#pragma once
// Keeps the window's helpers out of what screen readers see.

class QWidget;

namespace parlowen {

// Leaves widget out of the accessibility tree: its parent no longer lists it
// as a child. For widgets that only the program uses (the unseen browser,
// the hidden scratch field), which a screen reader would otherwise announce
// as unnamed controls.
void hideFromAccessibility(QWidget* widget);

} // namespace parlowen
