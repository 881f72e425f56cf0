// Where the settings file lives.
#include "settings/settingslocation.h"

#include "settings/settingkeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace parlowen {

namespace {
const QString ProgramFolderName = QStringLiteral("parlowen");
} // namespace

QString chooseSettingsFile(const SettingsSurroundings& surroundings)
{
    const QString besideProgram =
        pathInDirectory(surroundings.programDirectory, QString::fromUtf16(SettingsFileName));
    // An existing file wins even in a folder the user cannot write: someone
    // put it there on purpose, and a failed save then says so.
    if (surroundings.exists(besideProgram) || surroundings.isUsersFolder(surroundings.programDirectory))
        return besideProgram;
    return pathInDirectory(userConfigurationFolder(surroundings.xdgConfigHome, surroundings.home),
                           QString::fromUtf16(SettingsFileName));
}

SettingsSurroundings currentSurroundings(const QString& programDirectory)
{
    return {programDirectory, qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath(), &isUsersFolder,
            [](const QString& path) {
                return QFileInfo::exists(path);
            }};
}

QString settingsFileOfThisProgram()
{
    return chooseSettingsFile(currentSurroundings(executableDirectory()));
}

QString userConfigurationFolder(const QString& xdgConfigHome, const QString& home)
{
    // The XDG rules ignore a relative path: it would depend on the folder
    // the program happens to be started from.
    const QString base = QDir::isAbsolutePath(xdgConfigHome)
                             ? xdgConfigHome
                             : pathInDirectory(home, QStringLiteral(".config"));
    return pathInDirectory(QDir::cleanPath(base), ProgramFolderName);
}

bool isUsersFolder(const QString& folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (clean == QLatin1String("/usr") || clean.startsWith(QLatin1String("/usr/")))
        return false;
    return ::access(QFile::encodeName(clean).constData(), W_OK | X_OK) == 0;
}

Result<void, FileError> createFoldersFor(const QString& filePath)
{
    QStringList missing;
    for (QString folder = QFileInfo(filePath).absolutePath(); !QFileInfo::exists(folder);
         folder = QFileInfo(folder).absolutePath()) {
        missing.prepend(folder);
    }
    for (const QString& folder : missing) {
        // The folder will hold two passwords: no one else may even list it.
        // The umask may have taken the owner's own rights away as well.
        const QByteArray name = QFile::encodeName(folder);
        if (::mkdir(name.constData(), 0700) == 0)
            ::chmod(name.constData(), 0700);
        else if (errno != EEXIST) {
            Failure<FileError> failure = fileFailure(errno, FileError::NoSuchFolder);
            failure.detail = folder + QStringLiteral(": ") + failure.detail;
            return failure;
        }
    }
    return {};
}

QString executableDirectory()
{
    return QCoreApplication::applicationDirPath();
}

QString pathInDirectory(const QString& directory, const QString& fileName)
{
    if (directory.endsWith(QLatin1Char('/')))
        return directory + fileName;
    return directory + QLatin1Char('/') + fileName;
}

bool isRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace parlowen
