// Page bytes to the text a browser shows for the body: the page parsed
// once (parsedpage), then read.

#include "html/pagetext.h"

#include "html/pagetext_p.h"
#include "html/parsedpage.h"

#include <utility>

namespace parlowen {

QString toString(PageTextError error)
{
    switch (error) {
    case PageTextError::TooComplex:
        return QStringLiteral("The page is too complex to read: it nests or repeats elements far beyond "
                              "what a real page does.");
    case PageTextError::Cancelled:
        return QStringLiteral("The page was no longer wanted, so it was not read to the end.");
    }
    return {};
}

Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html, TextPlaceholders placeholders,
                                               InnerTextTrace* trace)
{
    Result<PageText, PageTextError> text =
        ParsedPage::text(ParsedPage::parseUtf8(utf8Html.toByteArray(), placeholders, trace), nullptr);
    if (!text)
        return PageTextError::TooComplex;
    return std::move(text).value().text;
}

Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html)
{
    return innerTextOfHtml(utf8Html, TextPlaceholders::On, nullptr);
}

Result<PageText, PageTextError> renderPageText(QByteArray body, QByteArrayView contentType,
                                               const std::atomic<bool>* cancelled,
                                               const PageStyleSheets* sheets)
{
    return ParsedPage::text(ParsedPage::parse(std::move(body), contentType, cancelled), sheets, cancelled);
}

} // namespace parlowen
