#pragma once
// The program's one way of saving a file: all of the new content or none of
// it, even when the disk fills up or the program is killed half way.

#include "common/result.h"
#include "profile/fileerror.h"

#include <QByteArrayView>
#include <QString>

namespace parlowen {

// Replaces the file at path with content. The content goes into a temporary
// file of ours beside the file, is synced to disk and then renamed over it,
// and the folder is synced, so that after a crash the file is the old one or
// the new one, never a mix or a part.
//
// A symbolic link stays a link: the file it leads to is replaced. An existing
// file keeps its mode and, where the rights allow, its owner; a new file is
// readable by its owner only. A file marked read-only is not replaced. A
// temporary file left behind by a save that was killed is removed by the
// next save of the same file.
Result<void, FileError> writeFileAtomically(const QString& path, QByteArrayView content);

// Removes what saves of the file at path that were killed left behind, as
// every save does: for a save that finds nothing to change.
void removeAbandonedSaves(const QString& path);

// How our temporary files are named: the file's own name, this marker and
// six random characters.
inline constexpr char TemporaryFileMarker[] = ".parlowen-save-";

} // namespace parlowen
