#pragma once
// Turns the bytes of a fetched page into the text a browser shows for its
// body (innerText), with every line break written as "\r\n".
//
// Every function here is a pure function of its arguments: safe to call from
// any thread, several at once, so that a caller can keep a large page's
// parse off its GUI thread.

#include "common/doubtfultext.h"
#include "common/result.h"
#include "css/pagestylesheets.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <atomic>

namespace parlowen {

enum class PageTextError {
    // The page would need more memory to parse than a page of its size may
    // take: it nests or repeats elements far beyond any real page.
    TooComplex,
    // Whoever asked for the text no longer wants it.
    Cancelled,
};

QString toString(PageTextError error);

// The most bytes a page may have for its text to be read, and so the most
// a load takes (web/BrowserLimits) and a saved page may have. A larger one
// is refused as too complex before gumbo sees it.
inline constexpr qsizetype kLargestPageBytes = 32 * 1024 * 1024;

// The text a browser shows for a page, and where a style rule the cascade
// could not read might make it show otherwise.
struct PageText {
    QString text;
    DoubtfulText doubt;
    // The page's linked sheets were too much to read it with: it was read
    // as it would have been without them, every line of it in doubt.
    bool withoutLinkedSheets = false;
};

// contentType is the raw Content-Type header value, possibly empty.
// text/plain is shown as preformatted text; anything else is parsed as HTML,
// with its <style> elements and the linked sheets in sheets. The body is
// taken by value so that a large page is not kept twice. Setting cancelled,
// from any thread, ends a long parse within milliseconds.
Result<PageText, PageTextError> renderPageText(QByteArray body, QByteArrayView contentType,
                                               const std::atomic<bool>* cancelled = nullptr,
                                               const PageStyleSheets* sheets = nullptr);

// innerText of the body of an HTML document already decoded to UTF-8.
Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html);

} // namespace parlowen
