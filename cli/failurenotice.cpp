// Once per run of failures, remembered in the runtime folder.
//
// $XDG_RUNTIME_DIR rather than beside the state file: it belongs to the user
// alone (mode 0700, on tmpfs) and lasts one login, so the marker is gone
// after a reboot or a new login and a timer that is still failing is told
// of once more to someone who may not have seen it. The settings folder may
// be a portable one, and its state file exists only with --if-changed.
#include "cli/failurenotice.h"

#include "cli/desktopnotice.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlowen::cli {

namespace {
// Another user who could write to the folder could plant the marker, or a
// link in its place.
bool isPrivateFolder(const QString& folder)
{
    struct stat status {};
    if (folder.isEmpty() || ::lstat(QFile::encodeName(folder).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool exists(const QByteArray& path)
{
    struct stat status {};
    return ::lstat(path.constData(), &status) == 0;
}

// An empty file: its existence is the record, so there is no content that a
// crash could leave half written, and O_EXCL never follows a link.
void create(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}
} // namespace

void tellDesktopOfOutcome(int exitCode, const QString& reason, const CommandEnvironment& environment)
{
    // Without a memory every failed run would notify, every ten minutes.
    if (!isPrivateFolder(environment.runtimeFolder))
        return;
    const QByteArray marker =
        QFile::encodeName(environment.runtimeFolder + u'/' + QLatin1String(FailingMarkerName));
    if (exitCode == ExitAccepted) {
        ::unlink(marker.constData());
        return;
    }
    if (exists(marker))
        return;
    const QString advice = QStringLiteral("Run parlowen-check in a terminal for details.");
    const DesktopNotice notice{QStringLiteral("Parlowen could not update your host name"),
                               reason.isEmpty() ? advice : reason + u' ' + advice};
    // A notice that never reached a service is tried again on the next
    // failure; one that went unanswered may be on screen, so it counts.
    if (showDesktopNotice(environment.noticeModule.isEmpty() ? noticeModuleOfThisProgram()
                                                             : environment.noticeModule,
                          environment.sessionBus, notice) != NoticeDelivery::NotShown)
        create(marker);
}

} // namespace parlowen::cli
