#pragma once
// A desktop notification through the freedesktop Notifications service on
// the session bus, for a timer that nobody watches.

#include <QString>

#include <chrono>

namespace parlowen::cli {

struct DesktopNotice {
    QString summary;
    QString body;
};

enum class NoticeDelivery {
    Shown,      // the notification service took it
    Unanswered, // sent, but no answer came in time: it may well be on screen
    NotShown,   // no bus, no service, or the service refused it
};

// How long a notice may hold up the command, at most.
inline constexpr std::chrono::milliseconds NoticeTimeout{1500};

// The session bus address of this login: $DBUS_SESSION_BUS_ADDRESS, else
// the bus socket in $XDG_RUNTIME_DIR where one is; empty when neither.
QString sessionBusOfThisLogin();

// The parlowen-notice module that sends notices for this program.
QString noticeModuleOfThisProgram();

// Sends the notice through the module at modulePath on a connection of its
// own, closed again before it returns, and waits for the answer at most
// NoticeTimeout, running the event loop meanwhile. Without the module the
// notice is not shown.
NoticeDelivery showDesktopNotice(const QString& modulePath, const QString& busAddress,
                                 const DesktopNotice& notice);

} // namespace parlowen::cli
