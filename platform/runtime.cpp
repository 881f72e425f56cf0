// Small runtime services shared by the window and the command-line tool.
#include "platform/runtime.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace parlowen {

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

void processPendingEvents()
{
    QCoreApplication::processEvents();
}

} // namespace parlowen
