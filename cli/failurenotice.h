#pragma once
// --notify: the timer's failures reach the desktop, once for each run of
// failed checks, not every ten minutes.

#include "cli/checkcommand.h"

#include <QString>

namespace parlowen::cli {

// The marker of a run of failures already told, in environment.runtimeFolder.
inline constexpr char FailingMarkerName[] = "parlowen-check.failing";

// After a check that ended in exitCode: a success ends the run of failures;
// the first failure of a run (any other code) shows a notice with the reason,
// which must hold no password. Nothing is told when there is no private
// runtime folder to remember the run in. Never fails, and takes at most
// about NoticeTimeout.
void tellDesktopOfOutcome(int exitCode, const QString& reason, const CommandEnvironment& environment);

} // namespace parlowen::cli
