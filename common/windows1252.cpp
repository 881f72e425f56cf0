// The Windows-1252 code page.
#include "common/windows1252.h"

#include <algorithm>
#include <array>

namespace parlowen {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F.
constexpr std::array<char16_t, 32> HighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char16_t windows1252ToUnicode(uchar b)
{
    return (b >= 0x80 && b <= 0x9F) ? HighHalf[b - 0x80] : char16_t(b);
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char ch : bytes)
        *out++ = QChar(windows1252ToUnicode(static_cast<uchar>(ch)));
    return text;
}

std::optional<QByteArray> toWindows1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t unit = ch.unicode();
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            bytes.append(char(unit));
            continue;
        }
        const auto hit = std::find(HighHalf.begin(), HighHalf.end(), unit);
        if (hit == HighHalf.end())
            return std::nullopt;
        bytes.append(char(0x80 + (hit - HighHalf.begin())));
    }
    return bytes;
}

} // namespace parlowen
