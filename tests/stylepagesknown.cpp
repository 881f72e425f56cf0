// The style pages whose text differs from Chromium's today, each with the
// construct the cascade does not read yet. Whoever teaches it one removes
// its pages here; a page that starts to match fails its test until then.
#include "stylepages.h"

namespace parlowen::testing {

namespace {

struct Known {
    const char* page; // a page's name, or a construct's for all its layouts
    const char* construct;
};

const Known kDifferent[] = {
    {"@layer: revert-layer", "cascade layers"},
    {"@container", "@container"},
    {"@container named", "@container"},
    {"display table-cell alone", "blockification"},
    {"sheet's @charset", "sheet encodings"},
    {"sheet in the page's encoding", "sheet encodings"},
    {"sheet in UTF-16 with a BOM", "sheet encodings"},
    {"::first-line uppercase / pre", "::first-line and ::first-letter"},
    {"::first-line uppercase / div lines", "::first-line and ::first-letter"},
    {"::first-letter lowercase / pre", "::first-line and ::first-letter"},
    {"::first-letter lowercase / div lines", "::first-line and ::first-letter"},
};

// Of those, the pages where the address we read is not Chromium's: where the
// check would send the stale one, or none.
const Known kWrongAddress[] = {
    {"@layer: revert-layer", "cascade layers"},
    {"@container", "@container"},
    {"@container named", "@container"},
    {"sheet's @charset", "sheet encodings"},
    {"sheet in the page's encoding", "sheet encodings"},
    {"sheet in UTF-16 with a BOM", "sheet encodings"},
};

template <size_t N> QString reasonFor(const Known (&known)[N], const QString& pageName)
{
    for (const Known& entry : known) {
        const QString name = QString::fromUtf8(entry.page);
        if (pageName == name || pageName.startsWith(name + QStringLiteral(" / ")))
            return QString::fromUtf8(entry.construct);
    }
    return {};
}

} // namespace

QString knownDifference(const QString& pageName)
{
    return reasonFor(kDifferent, pageName);
}

QString knownWrongAddress(const QString& pageName)
{
    return reasonFor(kWrongAddress, pageName);
}

} // namespace parlowen::testing
