#pragma once
// A style sheet a page was read without, and why: the sheet set decides it
// (css/), the engine hands it on with the document (web/), and the check
// tells it in its own words (check/sheetwords).

#include <QUrl>

namespace parlowen {

enum class SheetSkip {
    NotLoaded,   // an error, a status other than 200, a redirect, a sign-in refused
    TookTooLong, // the time the page's sheets have together ran out
    TooLarge,    // over what one sheet, or the page's sheets together, may hold
    TooMany,     // past the number of sheets a page may have
    TooComplex,  // read, but reading the page with it took more than the page may
};

struct SkippedSheet {
    QUrl url;
    SheetSkip why = SheetSkip::NotLoaded;
    friend bool operator==(const SkippedSheet&, const SkippedSheet&) = default;
};

} // namespace parlowen
