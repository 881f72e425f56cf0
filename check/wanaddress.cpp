// Finds the router's WAN address in the text of its system-log page.
#include "check/wanaddress.h"

namespace parlowen {

namespace {
const QString routerLogUrlWord = QStringLiteral("syslog");
const QString wanMarker = QStringLiteral("WAN IP is ");
const QString lineBreak = QStringLiteral("\r\n");
} // namespace

bool isRouterLogUrl(const QString& url)
{
    return url.contains(routerLogUrlWord, Qt::CaseInsensitive);
}

std::optional<QString> extractWanAddress(const QString& pageText)
{
    std::optional<WanLine> line = findWanLine(pageText);
    return line ? std::optional(std::move(line->address)) : std::nullopt;
}

std::optional<WanLine> findWanLine(const QString& pageText)
{
    const qsizetype marker = pageText.indexOf(wanMarker, 0, Qt::CaseInsensitive);
    if (marker < 0)
        return std::nullopt;
    const qsizetype start = marker + wanMarker.size();
    const qsizetype end = pageText.indexOf(lineBreak, start, Qt::CaseSensitive);
    // A marker on the last line has no line break to end the address: rather
    // than guess where the address ends, report nothing.
    if (end < 0)
        return std::nullopt;
    return WanLine{pageText.mid(start, end - start), marker, end};
}

} // namespace parlowen
