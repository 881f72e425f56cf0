#pragma once
// Byte-level helpers for the ASCII syntax of HTTP headers, HTML and CSS.

#include <QByteArrayView>

namespace parlowen {

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

// Whether text starts with prefix, ASCII letters in either case.
inline bool startsWithIgnoringCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() &&
           text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

} // namespace parlowen
