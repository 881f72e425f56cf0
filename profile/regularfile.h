#pragma once
// Reading a file that must be an ordinary file, and telling whether two
// names lead to the same file.

#include "common/result.h"
#include "profile/fileerror.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace parlowen {

enum class Links { Followed, Refused };

// Far more than any settings or state file this program writes or a person
// types: one larger is someone else's file, and reading it would cost its
// size in memory for nothing.
inline constexpr qint64 LargestSettingsFile = 1024 * 1024;

// The bytes of the file at path; nothing when no file has that name. A pipe,
// device or socket is refused at once instead of being waited on, and so is
// a symbolic link when links are refused. A file of more than largest bytes
// is refused by its size before any of it is read, and so is one that grows
// past it while it is read.
Result<std::optional<QByteArray>, FileError>
readRegularFile(const QString& path, qint64 largest = LargestSettingsFile, Links links = Links::Followed);

// What makes a file itself, whatever name or link leads to it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file a path leads to, links followed; nothing when
// there is none.
std::optional<FileIdentity> fileIdentity(const QString& path);

} // namespace parlowen
