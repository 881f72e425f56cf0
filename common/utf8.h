#pragma once
// UTF-8 written byte by byte, where a decoder writes its output.

#include <QByteArray>

namespace parlowen {

inline void appendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6))).append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)))
            .append(char(0x80 | ((c >> 6) & 0x3F)))
            .append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)))
            .append(char(0x80 | ((c >> 12) & 0x3F)))
            .append(char(0x80 | ((c >> 6) & 0x3F)))
            .append(char(0x80 | (c & 0x3F)));
    }
}

} // namespace parlowen
