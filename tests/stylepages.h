#pragma once
// Router log pages built around CSS the way today's router front ends write
// it: in each, one construct decides whether a stale "WAN IP is" line stays
// hidden or the current one shows. Chromium's text of each is kept in
// tests/data/chromium-style-pages.txt, so that our text can be held against
// it without a browser.

#include "html/pagetext.h"
#include "logpagegenerator.h"

#include <QHash>
#include <QList>
#include <QUrl>

namespace parlowen::testing {

// A sheet the test's server serves for the pages that link or import it.
struct ServedSheet {
    QString path;
    QByteArray contentType;
    QByteArray body;
};

QList<GeneratedPage> stylePages();
QList<ServedSheet> stylePageSheets();

// The sheets an engine would fetch for page at pageUrl from served: those
// it links or imports, and theirs, each once.
PageStyleSheets fetchedStyleSheets(const GeneratedPage& page, const QUrl& pageUrl,
                                   const QList<ServedSheet>& served);

// Why our text of the page is known to differ from Chromium's today (the
// construct the cascade does not read yet), or nothing.
QString knownDifference(const QString& pageName);
// Why the address we find in the page differs from Chromium's today.
QString knownWrongAddress(const QString& pageName);

// The recorded texts, by page name; their line breaks are "\r\n".
QHash<QString, QByteArray> readRecordedTexts(const QString& path);
// The file of recorded texts: what recorded them, then one section per
// page, its lines as they are.
QByteArray recordedTextsFile(const QByteArray& recordedBy, const QList<QPair<QString, QByteArray>>& texts);

} // namespace parlowen::testing
