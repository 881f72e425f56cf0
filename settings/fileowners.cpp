// Who owns the settings file and its folder.
#include "settings/fileowners.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlowen {

namespace {

Owner ownerFor(uid_t uid)
{
    const passwd* account = ::getpwuid(uid);
    return {uid, account ? QString::fromLocal8Bit(account->pw_name) : QString::number(uid)};
}

bool userMay(const QString& path, int mode)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

} // namespace

FileOwners fileOwnersOf(const QString& path)
{
    FileOwners owners;
    owners.user = ownerFor(::geteuid());
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    owners.file = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    struct stat status = {};
    const bool exists = ::stat(QFile::encodeName(owners.file).constData(), &status) == 0;
    if (exists) {
        owners.fileOwner = ownerFor(status.st_uid);
        owners.fileReadable = userMay(owners.file, R_OK);
        owners.fileWritable = userMay(owners.file, W_OK);
    }
    owners.folder = QFileInfo(owners.file).absolutePath();
    while (!QFileInfo::exists(owners.folder) && owners.folder != QLatin1String("/"))
        owners.folder = QFileInfo(owners.folder).absolutePath();
    struct stat folder = {};
    ::stat(QFile::encodeName(owners.folder).constData(), &folder);
    owners.folderOwner = ownerFor(folder.st_uid);
    owners.folderWritable = userMay(owners.folder, W_OK | X_OK);
    const QString home = QDir(QDir::homePath()).canonicalPath();
    owners.folderInHome = !home.isEmpty() && home != QLatin1String("/") &&
                          (owners.folder == home || owners.folder.startsWith(home + u'/'));
    // In a sticky folder such as /tmp only the file's or the folder's owner removes it.
    const bool sticky = folder.st_mode & S_ISVTX;
    owners.mayRemoveFile = exists && owners.folderWritable &&
                           (!sticky || status.st_uid == owners.user.uid || folder.st_uid == owners.user.uid);
    return owners;
}

QString shellQuoted(const QString& path)
{
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace parlowen
