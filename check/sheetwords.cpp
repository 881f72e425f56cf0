#include "check/sheetwords.h"

namespace parlowen {

namespace {

QString reason(SheetSkip why)
{
    switch (why) {
    case SheetSkip::NotLoaded:
        return QStringLiteral("it could not be loaded");
    case SheetSkip::TookTooLong:
        return QStringLiteral("it took too long to load");
    case SheetSkip::TooLarge:
        return QStringLiteral("it is larger than a page's style sheet may be");
    case SheetSkip::TooMany:
        return QStringLiteral("the page has more style sheets than are read");
    case SheetSkip::TooComplex:
        return QStringLiteral("the page would be too complex to read with it");
    }
    return {};
}

} // namespace

QString skippedSheetStep(const QString& shownUrl, SheetSkip why)
{
    return QStringLiteral("Router page: style sheet %1 not read: %2; the page is read without it.")
        .arg(shownUrl, reason(why));
}

} // namespace parlowen
