#pragma once
// Where the settings file lives: the program's own folder and the paths in it.

#include <QString>

namespace parlowen {

// The directory that holds the running executable, without a trailing "/"
// unless it is the root directory itself.
QString executableDirectory();

// The full path of fileName inside directory, with no doubled separator.
QString pathInDirectory(const QString& directory, const QString& fileName);

// True only for an existing regular file (or a link to one); a directory,
// a device or a missing path is not a file that can be read as settings.
bool isRegularFile(const QString& path);

} // namespace parlowen
