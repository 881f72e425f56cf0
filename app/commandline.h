#pragma once
// The few command-line options the window answers on the terminal, before
// any window opens.

#include <QStringList>

#include <optional>

namespace parlowen {

// The text for --help or --version, to print instead of opening the window
// (which, with a settings file present, would start a check). Nothing when
// the window is wanted; Qt's own options are left to Qt.
std::optional<QString> terminalAnswer(const QStringList& arguments);

} // namespace parlowen
