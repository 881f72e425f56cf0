#pragma once
// Placeholders for runs of page text. gumbo's tokenizer handles text one
// character at a time, at a cost per character whatever the character; the
// pre-pass shows it a placeholder of two characters instead of each run of
// four bytes or more, and the text collector puts the run's bytes back.
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

// Writes the kPlaceholderBytes of run number runNumber to out.
void writePlaceholder(char* out, qsizetype runNumber);

// The references that escape markup in logs (&amp; &lt; &gt; &quot;) may
// be inside a run: the tokenizer reads each as its one character, and the
// text collector does the same when it puts the run back.
struct BasicReference {
    qsizetype length = 0; // 0 when p starts no such reference
    char character = 0;
};
BasicReference basicReference(const char* p, const char* end);

// The run number of a well-formed placeholder at p, or -1.
qsizetype decodePlaceholder(const char* p, const char* end);

// True when the page holds plane-15 code points, literally or as numeric
// character references, so that placeholders could not be told apart.
bool mayContainPlaceholderCodePoints(QByteArrayView utf8Html);

// True when the UTF-8 text holds a code point that gumbo's tokenizer turns
// into U+FFFD (controls and noncharacters) though a browser keeps it.
bool holdsCodePointGumboReplaces(const char* p, const char* end);

} // namespace parlowen
