#pragma once
// parlowen-check: one check of the router's WAN address from the command
// line, for timers and for finding out why a check fails.

#include "cli/desktopnotice.h"
#include "web/browserengine.h"

#include <QDateTime>
#include <QStringList>
#include <QTextStream>

#include <functional>

namespace parlowen::cli {

enum ExitCode {
    ExitAccepted = 0, // the provider took the address; also --dry-run, an unchanged address, --help
    ExitNotAccepted = 1,
    ExitNoAddress = 2, // the router page gave no address; nothing was sent
    ExitBadUsage = 3,  // bad settings or command line; nothing was loaded
};

// What a run takes from its surroundings, so that tests can stand in for it.
struct CommandEnvironment {
    std::function<QDateTime()> now = [] {
        return QDateTime::currentDateTimeUtc();
    };
    BrowserLimits limits{};
    // Where --notify tells the desktop, and where it remembers that it has.
    QString sessionBus = sessionBusOfThisLogin();
    QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // Empty for this program's own, looked for only when a notice is shown.
    QString noticeModule{};
    // The program that asks the router's UPnP service; empty for this
    // program's own.
    QString upnpHelper{};
};

// Runs the command: arguments as QCoreApplication::arguments() gives them,
// the program's name first. The result goes to out, a line for each step to
// err. Needs a QCoreApplication; runs its own event loop until done.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err,
        const CommandEnvironment& environment = {});

} // namespace parlowen::cli
