#pragma once
// --if-changed's state file as the command sees it: refused before anything
// is loaded, and held from the decision to send until it is written.

#include "common/result.h"
#include "settings/laststate.h"
#include "web/browserengine.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace parlowen::cli {

// Why --if-changed cannot use the state file: the settings file belongs to
// the window and is never written here, a pipe would make the check wait
// for ever, and a damaged file, or one named by mistake, would be replaced.
std::optional<Failure<StateFileError>> unusableStateFile(const QString& statePath,
                                                         const QString& settingsPath);

// The lines that say so: what is wrong with which file, and what to do.
QStringList refusalLines(const Failure<StateFileError>& unusable, const QString& statePath);

// How long a check waits for another that holds the state record: that one
// holds it while its update is sent, for the update's deadline at most, and
// while it writes the record.
std::chrono::milliseconds stateRecordPatience(const BrowserLimits& limits);

// The words for a check that waited that long in vain and sends nothing.
QString heldTooLongFailure(const QString& statePath, std::chrono::milliseconds waited);
QString heldTooLongReason();

} // namespace parlowen::cli
