#pragma once
// The modal message box the program reports with.

#include <QString>

class QWidget;

namespace parlowen {

// The title of the program's message boxes.
inline constexpr char16_t ApplicationTitle[] = u"Tobrisk";

enum class MessageIcon { Information, Critical };

// A modal box titled with the application title, one OK button; returns when
// the user has closed it.
void showMessage(QWidget* parent, const QString& text, MessageIcon icon);

} // namespace parlowen
