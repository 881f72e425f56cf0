#include "css/pagestylesheets.h"

#include "css/sheeturls.h"

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
    const QUrl key = sheetKey(url);
    const auto found = sheets.constFind(key);
    if (found == sheets.constEnd() || (!quirks && otherTypes.contains(key)))
        return nullptr;
    return &*found;
}

} // namespace parlowen
