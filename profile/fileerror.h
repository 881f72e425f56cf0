#pragma once
// Why a file could not be read or saved, in words for the person whose file it is.

#include "common/result.h"

#include <QString>

namespace parlowen {

enum class FileError {
    IsAFolder,    // a folder has the file's name
    NotAFile,     // a pipe, device or socket has the file's name
    IsALink,      // a symbolic link has the name where none is followed
    NoSuchFolder, // a folder on the way is missing or is a file
    LinkLoop,     // symbolic links that lead back to themselves
    ReadOnlyFile, // the file itself is marked read-only
    AccessDenied, // the file or its folder may not be changed by this user
    ReadOnlyDisk, // the file system is mounted read-only
    DiskFull,     // no space left, or the user's quota is used up
    TooLarge,     // the file would pass the file size limit (ulimit -f)
    NotText,      // NUL bytes: not text, or UTF-16 without its byte-order mark
    NoSections,   // text, but not one [section] line, so no setting in it
    Oversized,    // larger than this program reads from such a file; left unread
    ReadFailed,   // any other failure to read
    WriteFailed,  // any other failure to write, the disk's own errors among them
};

QString toString(FileError error);

// The failure a system error number stands for, the system's own words as
// its detail; otherwise when the number has no code of its own.
Failure<FileError> fileFailure(int errorNumber, FileError otherwise);

} // namespace parlowen
