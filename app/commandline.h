#pragma once
// What the window says on the terminal instead of opening: the answers to
// its few options, a refused option, and a start without a display.

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace parlowen {

struct TerminalAnswer {
    QString text;
    int exitStatus = 0;
    bool onStandardError = false;
};

// The text for --help or --version, or the one line that refuses an option
// neither the window nor Qt knows, to print instead of opening the window
// (which, with a settings file present, would start a check). Nothing when
// the window is wanted; Qt's own options, such as -platform and -style, are
// left to Qt.
std::optional<TerminalAnswer> terminalAnswer(const QStringList& arguments);

// The one line for a start whose display could not be opened, given the
// values of DISPLAY and WAYLAND_DISPLAY (empty when unset).
QString noDisplayLine(const QByteArray& display, const QByteArray& waylandDisplay);

} // namespace parlowen
