#pragma once
// Small services of the runtime that the window and the command-line tool
// rely on: where the program lies, whether a file is there, letting queued
// events run.

#include <QString>

namespace parlowen {

// The name shown as the title of the program's message boxes.
inline constexpr char16_t ApplicationTitle[] = u"Tobrisk";

// The directory that holds the running executable, without a trailing "/"
// unless it is the root directory itself.
QString executableDirectory();

// The full path of fileName inside directory, with no doubled separator.
QString pathInDirectory(const QString& directory, const QString& fileName);

// True only for an existing regular file (or a link to one); a directory,
// a device or a missing path is not a file that can be read as settings.
bool isRegularFile(const QString& path);

// Runs the events queued so far, then returns.
void processPendingEvents();

} // namespace parlowen
