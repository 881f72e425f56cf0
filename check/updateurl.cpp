// The address that tells the dynamic DNS provider the new WAN address.
#include "check/updateurl.h"

#include <QUrl>

#include <array>

namespace parlowen {

namespace {
// What joins the service URL to the update's parameters: "?" starts the
// query, unless the service URL has one of its own ("...update?token=abc"),
// which the parameters then continue.
QString querySeparator(const QString& service)
{
    if (!service.contains(u'?'))
        return QStringLiteral("?");
    if (service.endsWith(u'?') || service.endsWith(u'&'))
        return {};
    return QStringLiteral("&");
}
} // namespace

QString buildUpdateUrl(const UpdateFields& fields)
{
    const std::array<std::pair<QStringView, QString>, 5> placeholders{{
        {u"varService?", fields.service + querySeparator(fields.service)},
        {u"varName", queryValue(fields.userName)},
        {u"varPass", queryValue(fields.password)},
        {u"varHost", queryValue(fields.host)},
        {u"varWANIP", queryValue(fields.wanAddress)},
    }};

    const QStringView source(UpdateTemplate);
    QString url;
    qsizetype i = 0;
    while (i < source.size()) {
        bool replaced = false;
        for (const auto& [name, value] : placeholders) {
            if (source.sliced(i).startsWith(name)) {
                url += value;
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            url += source[i++];
    }
    return url;
}

QString queryValue(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace parlowen
