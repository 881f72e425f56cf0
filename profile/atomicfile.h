#pragma once
// The program's one way of saving a file: all of the new content or none of
// it, even when the disk fills up or the program is killed half way.

#include "common/result.h"
#include "profile/fileerror.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>

namespace parlowen {

// Replaces the file at path with content. The content goes into a temporary
// file of ours beside the file, is synced to disk and then renamed over it,
// and the folder is synced, so that after a crash the file is the old one or
// the new one, never a mix or a part.
//
// A symbolic link stays a link: the file it leads to is replaced. An existing
// file keeps its mode and, where the rights allow, its owner; a new file is
// readable by its owner only. The temporary file is its owner's alone until
// the moment before the rename, whatever the old file's mode. A file marked
// read-only is not replaced. A temporary file left behind by a save that was
// killed is removed by the next save of the same file.
Result<void, FileError> writeFileAtomically(const QString& path, QByteArrayView content);

// A folder held open by handle, so that the folder a file is checked in is
// the folder it is saved in, whatever is renamed on the way to it meanwhile.
class OpenFolder {
public:
    static Result<OpenFolder, FileError> open(const QString& path);
    OpenFolder(OpenFolder&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    OpenFolder& operator=(OpenFolder&&) = delete;
    ~OpenFolder();
    int fd() const { return m_fd; }

private:
    explicit OpenFolder(int fd) : m_fd(fd) {}
    int m_fd;
};

// Replaces the file name in folder as writeFileAtomically does, but without
// following a link: a link of that name is refused (FileError::IsALink), and
// as the rename replaces the name itself, a link put there at any moment is
// replaced, never written through.
Result<void, FileError> writeFileInFolder(const OpenFolder& folder, const QByteArray& name,
                                          QByteArrayView content);

// Removes what saves of the file at path that were killed left behind, as
// every save does: for a save that finds nothing to change, and at each
// program's start, so that no copy of a password lies about until a save.
void removeAbandonedSaves(const QString& path);
void removeAbandonedSaves(const OpenFolder& folder, const QByteArray& name);

// How our temporary files are named: the file's own name, this marker and
// six random characters.
inline constexpr char TemporaryFileMarker[] = ".parlowen-save-";

} // namespace parlowen
