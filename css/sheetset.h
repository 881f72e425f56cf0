#pragma once
// The one account of a page's linked sheets, whoever fetches them: which
// sheet to fetch next (the page's links, then what each sheet that came
// imports, each once, from the page's own origin), what each fetch gave,
// and in the end the sheets the page is read with and those it goes
// without. The engine fetches over the network, the command from the files
// beside a saved page; neither decides anything about sheets itself.

#include "common/skippedsheet.h"
#include "css/pagestylesheets.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QUrl>

#include <optional>
#include <vector>

namespace parlowen {

// Whether a sheet served with this Content-Type is one for a page in any
// mode: none, or text/css.
bool isStyleSheetType(QByteArrayView contentType);

struct SheetLimits {
    qint64 bytesEach = 0;
    qint64 bytesInAll = 0;
    int count = 0;
};

// What the sheets of a page of pageBytes may hold when a load takes at
// most largestBody: no sheet more than a router's ever is, and all of them
// together no more than the page leaves of the load's limit, so that the
// page and its sheets never take more than one page may.
SheetLimits sheetLimitsBeside(qsizetype pageBytes, qint64 largestBody);

class SheetSet {
public:
    // linked: the sheets the page at pageUrl links to, in document order.
    SheetSet(const QUrl& pageUrl, const std::vector<QUrl>& linked, SheetLimits limits);

    // The sheet to fetch now, or nullopt once every sheet is in or given
    // up. The same until fetched() or failed() tells how its fetch went.
    std::optional<QUrl> next() const;
    // The most bytes the sheet next() names may have, unpacked.
    qint64 room() const;
    // The sheet next() names came; one of more than room() bytes is given up.
    void fetched(QByteArray bytes, QByteArrayView contentType);
    void failed(SheetSkip why);
    // The time for sheets is up: each sheet not in yet is given up.
    void giveUp(SheetSkip why);

    // The sheets the page is read with, and those it goes without.
    PageStyleSheets finish() &&;

private:
    void want(const QUrl& url);
    void skip(const QUrl& url, SheetSkip why);

    SheetLimits m_limits;
    PageStyleSheets m_sheets;
    std::vector<QUrl> m_wanted; // in sheetKey's spelling
    QSet<QUrl> m_known;
    size_t m_next = 0;
    qint64 m_bytes = 0;
};

} // namespace parlowen
