#include "css/sheetset.h"

#include "common/asciitext.h"
#include "css/sheetdiscovery.h"
#include "css/sheeturls.h"

#include <algorithm>

namespace parlowen {

namespace {

// A router's sheets are a few kilobytes, a framework's a few hundred; past
// this no sheet is read for a page's text.
constexpr qint64 kLargestSheetBytes = qint64(4) << 20;
constexpr qint64 kLargestSheetsInAll = qint64(8) << 20;
// Chromium has no such number; a page that links or imports more sheets
// than this is none a router serves, and each is one more wait.
constexpr int kMostSheets = 64;

} // namespace

bool isStyleSheetType(QByteArrayView contentType)
{
    const qsizetype semi = contentType.indexOf(';');
    const QByteArrayView type = trimmedAscii(semi < 0 ? contentType : contentType.first(semi));
    return type.isEmpty() || type.compare("text/css", Qt::CaseInsensitive) == 0;
}

SheetLimits sheetLimitsBeside(qsizetype pageBytes, qint64 largestBody)
{
    const qint64 left = std::max<qint64>(largestBody - pageBytes, 0);
    return {std::min(kLargestSheetBytes, left), std::min(kLargestSheetsInAll, left), kMostSheets};
}

SheetSet::SheetSet(const QUrl& pageUrl, const std::vector<QUrl>& linked, SheetLimits limits)
    : m_limits(limits)
{
    m_sheets.pageUrl = pageUrl;
    for (const QUrl& url : linked)
        want(url);
}

void SheetSet::want(const QUrl& url)
{
    const QUrl key = sheetKey(url);
    if (!sameOrigin(key, m_sheets.pageUrl) || m_known.contains(key))
        return;
    m_known.insert(key);
    if (m_wanted.size() >= size_t(m_limits.count))
        return skip(key, SheetSkip::TooMany);
    m_wanted.push_back(key);
}

void SheetSet::skip(const QUrl& url, SheetSkip why)
{
    m_sheets.skipped.append({url, why});
}

std::optional<QUrl> SheetSet::next() const
{
    return m_next < m_wanted.size() ? std::optional(m_wanted[m_next]) : std::nullopt;
}

qint64 SheetSet::room() const
{
    return std::max<qint64>(std::min(m_limits.bytesEach, m_limits.bytesInAll - m_bytes), 0);
}

void SheetSet::fetched(QByteArray bytes, QByteArrayView contentType)
{
    if (m_next >= m_wanted.size())
        return;
    if (bytes.size() > room())
        return failed(SheetSkip::TooLarge);
    const QUrl url = m_wanted[m_next++];
    m_bytes += bytes.size();
    if (!isStyleSheetType(contentType))
        m_sheets.otherTypes.insert(url);
    for (const QUrl& imported : importedStyleSheets(bytes, url, m_sheets.pageUrl))
        want(imported);
    m_sheets.sheets.insert(url, std::move(bytes));
}

void SheetSet::failed(SheetSkip why)
{
    if (m_next < m_wanted.size())
        skip(m_wanted[m_next++], why);
}

void SheetSet::giveUp(SheetSkip why)
{
    while (next())
        failed(why);
}

PageStyleSheets SheetSet::finish() &&
{
    giveUp(SheetSkip::TookTooLong);
    return std::move(m_sheets);
}

} // namespace parlowen
