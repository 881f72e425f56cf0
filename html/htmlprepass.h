#pragma once
// A linear scan over an HTML page, run before gumbo parses it, that keeps
// gumbo's cost linear: it drops tags nested deeper than a browser would ever
// nest them, and it hides long runs of plain text behind short placeholders
// so that gumbo's per-character tokenizer does not see them.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace parlowen {

// Deeper start tags (and their end tags) are dropped, their text kept.
// Chromium caps its tree at 512; real pages stay far below this.
inline constexpr int kMaxHtmlNesting = 256;

// Shorter runs are not worth a placeholder.
inline constexpr qsizetype kMinPlaceholderRun = 16;

// Bytes [offset, offset + length) of the scanned page.
struct TextRun {
    qsizetype offset = 0;
    qsizetype length = 0;
};

struct PreparedHtml {
    // The page as gumbo should see it, when the page needed a change.
    bool changed = false;
    QByteArray rewritten;
    // Placeholder i in rewritten stands for runs[i].
    std::vector<TextRun> runs;
    bool tagsDropped = false;
};

enum class TextPlaceholders { Off, On };

PreparedHtml prepareHtml(QByteArrayView utf8Html, TextPlaceholders placeholders);

// A placeholder is two code points from Unicode plane 15 (private use),
// 4 UTF-8 bytes each; the first carries the high bits of the run number.
inline constexpr char32_t kPlaceholderHighBase = 0xF0000;
inline constexpr char32_t kPlaceholderLowBase = 0xF8000;
inline constexpr int kPlaceholderBitsPerPart = 14;
inline constexpr qsizetype kPlaceholderBytes = 8;
inline constexpr qsizetype kMaxPlaceholders = qsizetype(1) << (2 * kPlaceholderBitsPerPart);

// The lead bytes every plane-15 code point starts with in UTF-8.
inline bool isPlane15Lead(const char* p, const char* end)
{
    return end - p >= 2 && uchar(p[0]) == 0xF3 && uchar(p[1]) >= 0xB0 && uchar(p[1]) <= 0xBF;
}

// The run number of a well-formed placeholder at p, or -1.
qsizetype decodePlaceholder(const char* p, const char* end);

// True when the page holds plane-15 code points, literally or as numeric
// character references, so that placeholders could not be told apart.
bool mayContainPlaceholderCodePoints(QByteArrayView utf8Html);

} // namespace parlowen
