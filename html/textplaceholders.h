#pragma once
// Placeholders for runs of page text. gumbo's tokenizer handles text one
// character at a time; the pre-pass shows it a short placeholder instead of
// each long run, and the text collector puts the run's bytes back.
//
// A placeholder is two code points from Unicode plane 15 (private use),
// 4 UTF-8 bytes each; the first carries the high bits of the run number.

#include <QByteArray>
#include <QByteArrayView>

namespace parlowen {

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

void appendPlaceholder(QByteArray& out, qsizetype runNumber);

// The run number of a well-formed placeholder at p, or -1.
qsizetype decodePlaceholder(const char* p, const char* end);

// True when the page holds plane-15 code points, literally or as numeric
// character references, so that placeholders could not be told apart.
bool mayContainPlaceholderCodePoints(QByteArrayView utf8Html);

// True when the UTF-8 text holds a code point that gumbo's tokenizer turns
// into U+FFFD (controls and noncharacters) though a browser keeps it.
bool holdsCodePointGumboReplaces(const char* p, const char* end);

} // namespace parlowen
