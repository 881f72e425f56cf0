// Where the programs' companions are.
#include "common/companionfile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace parlowen {

QString companionFile(const QString& name)
{
    return companionFile(name, QCoreApplication::applicationDirPath());
}

QString companionFile(const QString& name, const QString& programFolder)
{
    const QString& folder = programFolder;
    const QString beside = folder + u'/' + name;
    return QFileInfo::exists(beside)
               ? beside
               : folder + QStringLiteral("/" PARLOWEN_COMPANIONS_FROM_BINDIR "/") + name;
}

} // namespace parlowen
