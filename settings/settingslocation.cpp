// Where the settings file lives.
#include "settings/settingslocation.h"

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

} // namespace parlowen
