// The lock on the state record, for one check's decision and its save.
#include "settings/staterecordlock.h"

#include "settings/settingslocation.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <thread>

#include <sys/file.h>

namespace parlowen {

namespace {
// flock() has no timeout of its own; a holder lets go within moments or
// after a whole update, so a short pause between tries costs nothing.
constexpr std::chrono::milliseconds PauseBetweenTries{20};
} // namespace

Result<StateRecordLock, StateFileError> StateRecordLock::take(const QString& statePath,
                                                              std::chrono::milliseconds patience)
{
    const QString shown = QDir::toNativeSeparators(statePath);
    if (const auto folders = createFoldersFor(statePath); !folders)
        return Failure<StateFileError>{StateFileError::Unwritable, folders.failure().message()};
    auto folder = OpenFolder::open(QFileInfo(statePath).absolutePath());
    if (!folder)
        return Failure<StateFileError>{StateFileError::Unwritable,
                                       QStringLiteral("%1: %2").arg(shown, folder.failure().message())};
    const auto giveUpAt = std::chrono::steady_clock::now() + patience;
    while (::flock(folder.value().fd(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            const Failure<FileError> failure = fileFailure(errno, FileError::WriteFailed);
            return Failure<StateFileError>{StateFileError::Unwritable,
                                           QStringLiteral("%1: %2").arg(shown, failure.message())};
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= giveUpAt)
            return Failure<StateFileError>{StateFileError::Busy, shown};
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(PauseBetweenTries, giveUpAt - now));
    }
    return StateRecordLock(std::move(folder).value());
}

} // namespace parlowen
