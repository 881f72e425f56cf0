// Fuzzes page bytes to page text: the charset sniffing, the pre-pass, gumbo
// within its memory budget and the innerText walk. Besides crashes and
// sanitizer reports it checks that the text placeholders never change the
// text: with and without them, the text must be the same, but for the
// controls and noncharacters that gumbo alone turns into U+FFFD.
//
// How to run it: README.md beside this file.
//
// The first byte of an input picks the Content-Type; the rest is the page.

#include "html/htmlprepass.h"
#include "html/pagetext.h"
#include "html/pagetext_p.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

const char* const kContentTypes[] = {
    "text/html", "text/html; charset=windows-1252", "text/html; charset=utf-16le", "text/plain", "",
};

// The text as gumbo alone would have it.
QString withGumboReplacements(const QString& text)
{
    QString out;
    for (const char32_t cp : text.toUcs4()) {
        const bool replaced = (cp >= 0x01 && cp <= 0x08) || cp == 0x0B || (cp >= 0x0E && cp <= 0x1F) ||
                              (cp >= 0x7F && cp <= 0x9F) || (cp >= 0xFDD0 && cp <= 0xFDEF) ||
                              (cp & 0xFFFE) == 0xFFFE;
        const char32_t kept = replaced ? char32_t(0xFFFD) : cp;
        // Not QString::fromUcs4, which takes a leading U+FEFF for a byte order mark.
        if (QChar::requiresSurrogates(kept)) {
            out.append(QChar(QChar::highSurrogate(kept)));
            out.append(QChar(QChar::lowSurrogate(kept)));
        } else {
            out.append(QChar(char16_t(kept)));
        }
    }
    return out;
}

[[noreturn]] void fail(const char* what, const QByteArray& page, const QString& a, const QString& b)
{
    std::fprintf(stderr, "%s\npage: %s\none:   %s\nother: %s\n", what,
                 page.toPercentEncoding(" <>/=").constData(), a.toUtf8().toPercentEncoding(" ").constData(),
                 b.toUtf8().toPercentEncoding(" ").constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char* contentType = kContentTypes[data[0] % std::size(kContentTypes)];
    const QByteArray page(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const Result<PageText, PageTextError> text = renderPageText(page, contentType);
    if (!text)
        fail("a small page was too complex", page, {}, {});
    if (page.isValidUtf8()) {
        const Result<QString, PageTextError> fast = innerTextOfHtml(page, TextPlaceholders::On, nullptr);
        const Result<QString, PageTextError> plain = innerTextOfHtml(page, TextPlaceholders::Off, nullptr);
        // gumbo keeps the same characters when a numeric reference names them,
        // so both sides are compared with them replaced.
        const QString fastText = withGumboReplacements(fast.value());
        const QString plainText = withGumboReplacements(plain.value());
        if (fastText != plainText)
            fail("placeholders changed the text", page, fastText, plainText);
    }
    return 0;
}
