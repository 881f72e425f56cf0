#pragma once
// The style sheets a page links to, as fetched.

#include "common/skippedsheet.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUrl>

namespace parlowen {

// The page's address, and each sheet's bytes by its address (sheetKey's
// spelling). A sheet that is not there was not loaded, and is skipped.
// Only sheets from the page's own origin (scheme, host and port) are ever
// read.
struct PageStyleSheets {
    QUrl pageUrl;
    QHash<QUrl, QByteArray> sheets;
    // Those served as another type than text/css, which only a page in
    // quirks mode reads, as browsers do.
    QSet<QUrl> otherTypes;
    // The sheets the page wanted and is read without, in the order they
    // were given up.
    QList<SkippedSheet> skipped;

    qsizetype bytes() const;
    // The sheet at url as a page in this mode reads it, or null.
    const QByteArray* sheetFor(const QUrl& url, bool quirks) const;
};

} // namespace parlowen
