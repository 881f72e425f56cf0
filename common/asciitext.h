#pragma once
// Byte-level helpers for the ASCII syntax of HTTP headers, HTML and CSS.

#include <QByteArrayView>

#include <cstring>

namespace parlowen {

inline bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isAsciiAlnum(char c)
{
    return isAsciiAlpha(c) || (c >= '0' && c <= '9');
}

// White space as HTML defines it: no vertical tab, unlike isspace().
inline bool isAsciiWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline QByteArrayView trimmedAscii(QByteArrayView s)
{
    while (!s.isEmpty() && isAsciiWhitespace(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isAsciiWhitespace(s.back()))
        s.chop(1);
    return s;
}

// Whether a and b are the same, ASCII letters in either case; texts of
// other lengths are told apart without a look at their letters.
inline bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// Whether text starts with prefix, ASCII letters in either case.
inline bool startsWithIgnoringCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() &&
           text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// The first c in [from, end), or end: memchr, which looks at many bytes at
// a time, for scans that follow a byte through pages of megabytes.
inline const char* nextByte(const char* from, const char* end, char c)
{
    if (from == end)
        return end; // memchr must not see the null data of an empty view
    const void* at = std::memchr(from, c, std::size_t(end - from));
    return at ? static_cast<const char*>(at) : end;
}

} // namespace parlowen
