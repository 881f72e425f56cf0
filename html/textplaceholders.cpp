#include "html/textplaceholders.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

namespace parlowen {

namespace {

void writeCodePoint4(char* out, char32_t cp)
{
    out[0] = char(0xF0 | (cp >> 18));
    out[1] = char(0x80 | ((cp >> 12) & 0x3F));
    out[2] = char(0x80 | ((cp >> 6) & 0x3F));
    out[3] = char(0x80 | (cp & 0x3F));
}

char32_t decodeCodePoint4(const char* p)
{
    const auto b = reinterpret_cast<const uchar*>(p);
    if ((b[0] & 0xF8) != 0xF0 || (b[1] & 0xC0) != 0x80 || (b[2] & 0xC0) != 0x80 || (b[3] & 0xC0) != 0x80)
        return 0;
    return (char32_t(b[0] & 0x07) << 18) | (char32_t(b[1] & 0x3F) << 12) | (char32_t(b[2] & 0x3F) << 6) |
           char32_t(b[3] & 0x3F);
}

} // namespace

void writePlaceholder(char* out, qsizetype runNumber)
{
    const auto index = char32_t(runNumber);
    writeCodePoint4(out, kPlaceholderHighBase + (index >> kPlaceholderBitsPerPart));
    writeCodePoint4(out + 4, kPlaceholderLowBase + (index & ((1u << kPlaceholderBitsPerPart) - 1)));
}

BasicReference basicReference(const char* p, const char* end)
{
    static constexpr std::array<std::pair<std::string_view, char>, 4> references = {{
        {"&amp;", '&'},
        {"&lt;", '<'},
        {"&gt;", '>'},
        {"&quot;", '"'},
    }};
    const std::string_view rest(p, size_t(std::min<qsizetype>(end - p, 6)));
    for (const auto& [name, character] : references) {
        if (rest.substr(0, name.size()) == name)
            return {qsizetype(name.size()), character};
    }
    return {};
}

qsizetype decodePlaceholder(const char* p, const char* end)
{
    if (end - p < kPlaceholderBytes)
        return -1;
    const char32_t high = decodeCodePoint4(p);
    const char32_t low = decodeCodePoint4(p + 4);
    constexpr char32_t span = 1u << kPlaceholderBitsPerPart;
    if (high < kPlaceholderHighBase || high >= kPlaceholderHighBase + span || low < kPlaceholderLowBase ||
        low >= kPlaceholderLowBase + span)
        return -1;
    return (qsizetype(high - kPlaceholderHighBase) << kPlaceholderBitsPerPart) |
           qsizetype(low - kPlaceholderLowBase);
}

bool mayContainPlaceholderCodePoints(QByteArrayView utf8Html)
{
    const char* const begin = utf8Html.data();
    const char* const end = begin + utf8Html.size();
    auto next = [end](const char* from, char c) {
        return from < end ? static_cast<const char*>(std::memchr(from, c, size_t(end - from))) : nullptr;
    };
    for (const char* p = next(begin, char(0xF3)); p; p = next(p + 1, char(0xF3))) {
        if (isPlane15Lead(p, end))
            return true;
    }
    // A numeric character reference can name a plane-15 code point too.
    for (const char* p = next(begin, '&'); p; p = next(p + 1, '&')) {
        if (end - p < 3 || p[1] != '#')
            continue;
        const char* q = p + 2;
        const bool hex = *q == 'x' || *q == 'X';
        if (hex)
            ++q;
        uint32_t value = 0;
        for (; q < end; ++q) {
            int digit;
            if (*q >= '0' && *q <= '9')
                digit = *q - '0';
            else if (hex && *q >= 'a' && *q <= 'f')
                digit = *q - 'a' + 10;
            else if (hex && *q >= 'A' && *q <= 'F')
                digit = *q - 'A' + 10;
            else
                break;
            value = std::min<uint32_t>(value * (hex ? 16 : 10) + uint32_t(digit), 0x110000);
        }
        if (value >= 0xF0000 && value <= 0xFFFFF)
            return true;
    }
    return false;
}

bool holdsCodePointGumboReplaces(const char* p, const char* end)
{
    const auto* b = reinterpret_cast<const uchar*>(p);
    const auto* e = reinterpret_cast<const uchar*>(end);
    for (; b < e; ++b) {
        const uchar c = *b;
        if ((c >= 0x01 && c <= 0x08) || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F)
            return true;
        if (c == 0xC2 && e - b >= 2 && b[1] >= 0x80 && b[1] <= 0x9F) // U+0080 to U+009F
            return true;
        if (c == 0xEF && e - b >= 3 &&
            ((b[1] == 0xB7 && b[2] >= 0x90 && b[2] <= 0xAF) || (b[1] == 0xBF && b[2] >= 0xBE)))
            return true; // U+FDD0 to U+FDEF, U+FFFE, U+FFFF
        if (c >= 0xF0 && e - b >= 4 && (b[1] & 0x0F) == 0x0F && b[2] == 0xBF && b[3] >= 0xBE)
            return true; // U+1FFFE, U+1FFFF, ... U+10FFFF
    }
    return false;
}

} // namespace parlowen
