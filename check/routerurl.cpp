// The address of the router's system-log page.
#include "check/routerurl.h"

#include <QUrl>

namespace parlowen {

QString routerLogUrl(const QString& password, const QString& address)
{
    // Everything but RFC 3986 unreserved characters is encoded, non-ASCII as UTF-8.
    const QString encodedPassword = QString::fromLatin1(QUrl::toPercentEncoding(password));
    return QStringLiteral("http://") + RouterUser + u':' + encodedPassword + QLatin1Char('@') + address +
           QStringLiteral(":80/doc/syslog.htm");
}

} // namespace parlowen
