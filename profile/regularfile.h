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

// The bytes of the file at path; nothing when no file has that name. A pipe,
// device or socket is refused at once instead of being waited on, and so is
// a symbolic link when links are refused. At most limit bytes are read when
// limit is not negative.
Result<std::optional<QByteArray>, FileError> readRegularFile(const QString& path, qint64 limit = -1,
                                                             Links links = Links::Followed);

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
