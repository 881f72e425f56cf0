#pragma once
// What the user can do when the settings could not be saved, or read: the
// reason once, then advice that fits the reason and who owns the file and
// the folder it is saved in.

#include "common/result.h"
#include "profile/fileerror.h"
#include "profile/profilefile.h"
#include "settings/fileowners.h"

#include <QString>

namespace parlowen {

// Advice that fits the reason: a full disk needs room, not other rights, and
// a file root owns after a run with sudo needs giving back, not chmod.
QString saveAdvice(const ProfileWriteError& error, const FileOwners& owners);

// The second line of the box of a failed save: "Reason: ...", then the advice.
QString saveFailureExplanation(const Failure<ProfileWriteError>& failure, const FileOwners& owners);

// The second line of the box of a settings file the window could not read
// as it started: the reason, what to do, and what the window does about the
// file meanwhile.
QString readFailureExplanation(const Failure<FileError>& failure, const FileOwners& owners);

// A file that is there but holds no settings: saving would have to replace it.
bool isNoSettingsFile(FileError error);

// What replacing such a file costs, for the question asked before it is done.
QString replacementExplanation(const Failure<FileError>& failure);

} // namespace parlowen
