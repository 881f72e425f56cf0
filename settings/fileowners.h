#pragma once
// Who owns the settings file and the folder it is saved in, and what the
// user running the program may do with them: what advice on a failed save
// or read depends on.

#include <QString>

#include <optional>

#include <sys/types.h>

namespace parlowen {

struct Owner {
    uid_t uid = 0;
    QString name; // the account's name, or its number when it has none
    friend bool operator==(const Owner& a, const Owner& b) { return a.uid == b.uid; }
};

struct FileOwners {
    Owner user;                     // who runs the program
    QString file;                   // the file the links lead to, or the path as given
    std::optional<Owner> fileOwner; // none when no file is there
    bool fileReadable = false;
    bool fileWritable = false;
    QString folder; // the file's folder, or the nearest one on the way that exists
    Owner folderOwner;
    bool folderWritable = false;
    bool folderInHome = false;  // the user's home folder or one inside it
    bool mayRemoveFile = false; // the folder lets the user remove the file, sticky bit and all
};

FileOwners fileOwnersOf(const QString& path);

// A path as a POSIX shell takes it, in single quotes, for a command to copy.
QString shellQuoted(const QString& path);

} // namespace parlowen
