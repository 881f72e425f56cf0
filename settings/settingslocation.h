#pragma once
// Where the settings file lives. The window, parlowen-check and its timer all
// follow one rule, so that what the window saves is what the check reads:
//  - Settings.ini beside the program when that file exists, or when the
//    program's folder is one the user may write to ("portable" use);
//  - otherwise $XDG_CONFIG_HOME/parlowen/Settings.ini (~/.config/parlowen/...).

#include "profile/fileerror.h"

#include <QString>

#include <functional>

namespace parlowen {

// What the rule looks at, passed in so that tests can stand in for it.
struct SettingsSurroundings {
    QString programDirectory;
    QString xdgConfigHome; // $XDG_CONFIG_HOME as set; empty when unset
    QString home;          // the user's home folder
    std::function<bool(const QString& folder)> isUsersFolder;
    std::function<bool(const QString& path)> exists;
};

// The settings file for those surroundings.
QString chooseSettingsFile(const SettingsSurroundings& surroundings);

// The surroundings of this process, with programDirectory as the program's
// folder: the environment, the file system, and the user's rights in it.
SettingsSurroundings currentSurroundings(const QString& programDirectory);

// The settings file of the running program.
QString settingsFileOfThisProgram();

// The folder for this program's configuration under the XDG rules:
// $XDG_CONFIG_HOME/parlowen, or ~/.config/parlowen when that variable is
// unset, empty or not an absolute path.
QString userConfigurationFolder(const QString& xdgConfigHome, const QString& home);

// True when the user may keep files in folder: it can be written to, and it
// is not one of the system's own program folders (under /usr), which even
// root must not fill with one user's passwords.
bool isUsersFolder(const QString& folder);

// Creates the folders missing on the way to filePath, each readable by the
// user alone (0700). A failure names the folder.
Result<void, FileError> createFoldersFor(const QString& filePath);

// The directory that holds the running executable, without a trailing "/"
// unless it is the root directory itself.
QString executableDirectory();

// The full path of fileName inside directory, with no doubled separator.
QString pathInDirectory(const QString& directory, const QString& fileName);

// True only for an existing regular file (or a link to one); a directory,
// a device or a missing path is not a file that can be read as settings.
bool isRegularFile(const QString& path);

} // namespace parlowen
