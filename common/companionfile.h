#pragma once
// Files that come with the programs but are not run by the user: the
// desktop-notice module and the UPnP helper.

#include <QString>

namespace parlowen {

// Beside the program in a build; where the installation keeps its own
// files otherwise (found from the program's folder, so that the package,
// whose prefix CPack sets only when it packs, and an install under
// /usr/local both find them).
// programFolder stands for the program's own folder, which tests move.
QString companionFile(const QString& name, const QString& programFolder);
QString companionFile(const QString& name);

} // namespace parlowen
