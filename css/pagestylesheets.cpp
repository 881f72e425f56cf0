#include "css/pagestylesheets.h"

namespace parlowen {

qsizetype PageStyleSheets::bytes() const
{
    qsizetype total = 0;
    for (const QByteArray& sheet : sheets)
        total += sheet.size();
    return total;
}

const QByteArray* PageStyleSheets::sheetFor(const QUrl& url, bool quirks) const
{
    const auto found = sheets.constFind(url);
    if (found == sheets.constEnd() || (!quirks && otherTypes.contains(url)))
        return nullptr;
    return &*found;
}

} // namespace parlowen
