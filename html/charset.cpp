// Character encoding detection and decoding for fetched pages.

#include "html/charset.h"

#include "common/asciitext.h"
#include "common/utf8.h"
#include "common/windows1252.h"
#include "html/charsetlabels.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace parlowen {

namespace {


// Qt's ICU has no ISO-8859-16, which browsers read; its upper half. Below
// 0xA0 it is Latin-1.
constexpr std::array<char16_t, 96> kIso885916UpperHalf = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF};

char16_t iso885916ToUnicode(uchar b)
{
    return b >= 0xA0 ? kIso885916UpperHalf[b - 0xA0] : char16_t(b);
}

// Where ICU's table of a single-byte encoding differs from the browsers'.
struct ByteCorrection {
    std::string_view encoding;
    uchar byte;
    char16_t browser;
};
constexpr ByteCorrection kIcuCorrections[] = {
    {"KOI8-U", 0xAE, 0x045E},       {"KOI8-U", 0xBE, 0x040E},      {"windows-1253", 0xAA, 0xFFFD},
    {"windows-1255", 0xCA, 0x05BA}, {"windows-874", 0xDB, 0xFFFD}, {"windows-874", 0xDC, 0xFFFD},
    {"windows-874", 0xDD, 0xFFFD},  {"windows-874", 0xDE, 0xFFFD}, {"windows-874", 0xFC, 0xFFFD},
    {"windows-874", 0xFD, 0xFFFD},  {"windows-874", 0xFE, 0xFFFD}, {"windows-874", 0xFF, 0xFFFD},
};

// ICU's upper half of the encoding with the browsers' corrections, or
// nothing when there are none to make.
std::optional<std::array<char16_t, 128>> correctedUpperHalf(const QByteArray& encoding)
{
    const std::string_view name(encoding.constData(), size_t(encoding.size()));
    const auto corrects = [&](const ByteCorrection& c) {
        return c.encoding == name;
    };
    if (std::none_of(std::begin(kIcuCorrections), std::end(kIcuCorrections), corrects))
        return std::nullopt;
    QByteArray high(128, Qt::Uninitialized);
    for (int b = 0; b < 128; ++b)
        high[b] = char(0x80 + b);
    const QString icu = QStringDecoder(encoding.constData()).decode(high);
    if (icu.size() != 128)
        return std::nullopt;
    std::array<char16_t, 128> table;
    std::copy(icu.utf16(), icu.utf16() + 128, table.begin());
    for (const ByteCorrection& c : kIcuCorrections) {
        if (corrects(c))
            table[c.byte - 0x80] = c.browser;
    }
    return table;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

QByteArray lowered(QByteArrayView s)
{
    QByteArray out(s.size(), Qt::Uninitialized);
    std::transform(s.begin(), s.end(), out.begin(), asciiLower);
    return out;
}

bool startsWithNoCase(QByteArrayView s, std::string_view prefix)
{
    if (s.size() < qsizetype(prefix.size()))
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(s[i]) != prefix[i])
            return false;
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at p, or 0 when the byte there
// does not start one (overlong forms, surrogates and values past U+10FFFF
// are not well-formed).
int utf8SequenceLength(const uchar* p, const uchar* end)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    auto cont = [&](qsizetype i, uchar lo = 0x80, uchar hi = 0xBF) {
        return p + i < end && p[i] >= lo && p[i] <= hi;
    };
    if (b >= 0xC2 && b <= 0xDF)
        return cont(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const uchar lo = b == 0xE0 ? 0xA0 : 0x80;
        const uchar hi = b == 0xED ? 0x9F : 0xBF;
        return cont(1, lo, hi) && cont(2) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const uchar lo = b == 0xF0 ? 0x90 : 0x80;
        const uchar hi = b == 0xF4 ? 0x8F : 0xBF;
        return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

QByteArray utf8Or1252ToUtf8(QByteArray bytes)
{
    if (QByteArrayView(bytes).isValidUtf8())
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const auto* runStart = p;
        int len = 0;
        while (p < end && (len = utf8SequenceLength(p, end)) > 0)
            p += len;
        out.append(reinterpret_cast<const char*>(runStart), p - runStart);
        if (p < end)
            appendUtf8(out, windows1252ToUnicode(*p++));
    }
    return out;
}

// An encoding that keeps ASCII and gives each other byte one character.
template <typename HighByte> QByteArray byteByByteToUtf8(QByteArray bytes, HighByte high)
{
    // ASCII reads the same in UTF-8: no copy needed.
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; }))
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : std::as_const(bytes))
        appendUtf8(out, uchar(c) < 0x80 ? char16_t(uchar(c)) : high(uchar(c)));
    return out;
}

// Decodes in slices so that the page is never held as UTF-16 in full.
QByteArray decodeWithQt(QByteArray bytes, QStringDecoder decoder)
{
    constexpr qsizetype kSlice = 256 * 1024;
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size(); at += kSlice) {
        const QString part =
            decoder.decode(QByteArrayView(bytes).sliced(at, std::min(kSlice, bytes.size() - at)));
        out.append(part.toUtf8());
    }
    bytes = QByteArray();
    out.append(QString(decoder.decode(QByteArrayView())).toUtf8());
    return out;
}

// The Encoding standard's "extract a character encoding from a meta element".
QByteArray charsetFromMetaContent(QByteArrayView content)
{
    const QByteArray lower = lowered(content);
    qsizetype at = 0;
    for (;;) {
        at = lower.indexOf("charset", at);
        if (at < 0)
            return {};
        at += 7;
        qsizetype p = at;
        while (p < content.size() && isAsciiWhitespace(content[p]))
            ++p;
        if (p >= content.size() || content[p] != '=')
            continue;
        ++p;
        while (p < content.size() && isAsciiWhitespace(content[p]))
            ++p;
        if (p >= content.size())
            return {};
        const char q = content[p];
        if (q == '"' || q == '\'') {
            const qsizetype close = content.indexOf(q, p + 1);
            return close < 0 ? QByteArray() : content.sliced(p + 1, close - p - 1).toByteArray();
        }
        qsizetype e = p;
        while (e < content.size() && !isAsciiWhitespace(content[e]) && content[e] != ';')
            ++e;
        return content.sliced(p, e - p).toByteArray();
    }
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

// The prescan's "get an attribute": false when the tag ends instead.
bool nextAttribute(QByteArrayView s, qsizetype& p, Attribute& attr)
{
    attr = {};
    while (p < s.size() && (isAsciiWhitespace(s[p]) || s[p] == '/'))
        ++p;
    if (p >= s.size() || s[p] == '>')
        return false;
    for (;; ++p) {
        if (p >= s.size())
            return false;
        const char c = s[p];
        if (c == '=' && !attr.name.isEmpty())
            break;
        if (isAsciiWhitespace(c)) {
            while (p < s.size() && isAsciiWhitespace(s[p]))
                ++p;
            if (p >= s.size() || s[p] != '=')
                return true;
            break;
        }
        if (c == '/' || c == '>')
            return true;
        attr.name.append(asciiLower(c));
    }
    ++p; // past '='
    while (p < s.size() && isAsciiWhitespace(s[p]))
        ++p;
    if (p >= s.size())
        return false;
    const char q = s[p];
    if (q == '"' || q == '\'') {
        const qsizetype close = s.indexOf(q, p + 1);
        if (close < 0)
            return false;
        attr.value = lowered(s.sliced(p + 1, close - p - 1));
        p = close + 1;
        return true;
    }
    if (q == '>')
        return true;
    const qsizetype start = p;
    while (p < s.size() && !isAsciiWhitespace(s[p]) && s[p] != '>')
        ++p;
    attr.value = lowered(s.sliced(start, p - start));
    return true;
}

} // namespace

QByteArray charsetParameter(QByteArrayView contentType)
{
    qsizetype at = contentType.indexOf(';');
    while (at >= 0) {
        QByteArrayView param = contentType.sliced(at + 1);
        const qsizetype next = param.indexOf(';');
        if (next >= 0)
            param = param.first(next);
        const qsizetype eq = param.indexOf('=');
        if (eq > 0 && lowered(trimmedAscii(param.first(eq))) == "charset") {
            QByteArrayView value = trimmedAscii(param.sliced(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.sliced(1, value.size() - 2);
            return value.toByteArray();
        }
        at = next >= 0 ? at + 1 + next : -1;
    }
    return {};
}

std::optional<Charset> prescanMetaCharset(QByteArrayView html)
{
    const QByteArrayView s = html.first(std::min<qsizetype>(html.size(), 1024));
    qsizetype p = 0;
    while (p < s.size()) {
        if (s[p] != '<') {
            ++p;
            continue;
        }
        const QByteArrayView rest = s.sliced(p);
        if (rest.startsWith("<!--")) {
            const qsizetype close = s.indexOf("-->", p + 4);
            if (close < 0)
                return std::nullopt;
            p = close + 3;
        } else if (startsWithNoCase(rest, "<meta") && rest.size() > 5 &&
                   (isAsciiWhitespace(rest[5]) || rest[5] == '/')) {
            p += 5;
            Attribute attr;
            bool httpEquivContentType = false;
            QByteArray charset, content;
            while (nextAttribute(s, p, attr)) {
                if (attr.name == "http-equiv")
                    httpEquivContentType = attr.value == "content-type";
                else if (attr.name == "content" && content.isNull())
                    content = attr.value.isNull() ? QByteArray("") : attr.value;
                else if (attr.name == "charset" && charset.isNull())
                    charset = attr.value.isNull() ? QByteArray("") : attr.value;
            }
            std::optional<Charset> found;
            if (!charset.isEmpty())
                found = charsetForLabel(charset);
            else if (httpEquivContentType && !content.isEmpty())
                found = charsetForLabel(charsetFromMetaContent(content));
            if (found) {
                // A page whose ASCII meta element could be read is not UTF-16.
                if (found->kind == Charset::Kind::Utf16LE || found->kind == Charset::Kind::Utf16BE)
                    return Charset{};
                // Only a server may ask for bytes to be kept apart from text.
                if (found->kind == Charset::Kind::UserDefined)
                    return Charset{Charset::Kind::Named, "windows-1252"};
                return found;
            }
        } else if (rest.size() > 2 && (rest[1] == '/' || std::isalpha(uchar(rest[1])))) {
            p += rest[1] == '/' ? 2 : 1;
            while (p < s.size() && !isAsciiWhitespace(s[p]) && s[p] != '>')
                ++p;
            Attribute attr;
            while (nextAttribute(s, p, attr)) {
            }
        } else if (rest.startsWith("<!") || rest.startsWith("</") || rest.startsWith("<?")) {
            const qsizetype close = s.indexOf('>', p + 2);
            if (close < 0)
                return std::nullopt;
            p = close + 1;
        } else {
            ++p;
        }
    }
    return std::nullopt;
}

std::optional<Charset> charsetForLabel(QByteArrayView label)
{
    const QByteArray name = lowered(trimmedAscii(label));
    const std::string_view key(name.constData(), size_t(name.size()));
    const std::optional<std::string_view> known = encodingOfLabel(key);
    if (!known)
        return std::nullopt;
    const std::string_view encoding = *known;
    if (encoding == "UTF-8")
        return Charset{Charset::Kind::Utf8Or1252, {}};
    if (encoding == "UTF-16LE")
        return Charset{Charset::Kind::Utf16LE, {}};
    if (encoding == "UTF-16BE")
        return Charset{Charset::Kind::Utf16BE, {}};
    if (encoding == "x-user-defined")
        return Charset{Charset::Kind::UserDefined, {}};
    if (encoding == "replacement")
        return Charset{Charset::Kind::Replacement, {}};
    // ICU's converters of these names lack the extensions browsers read
    // (Hong Kong characters, Korean syllables outside KS X 1001).
    const std::string_view icuName = encoding == "Big5"     ? "big5-hkscs"
                                     : encoding == "EUC-KR" ? "windows-949"
                                                            : encoding;
    return Charset{Charset::Kind::Named, QByteArray(icuName.data(), qsizetype(icuName.size()))};
}

Charset sniffCharset(QByteArray& body, QByteArrayView contentType, bool plainText)
{
    qsizetype bomLength = 0;
    const Charset fromBom = charsetFromBom(body, &bomLength);
    if (bomLength > 0) {
        body.remove(0, bomLength);
        return fromBom;
    }
    if (std::optional<Charset> fromHeader = charsetForLabel(charsetParameter(contentType)))
        return *fromHeader;
    if (plainText)
        return {};
    return prescanMetaCharset(body).value_or(Charset{});
}

Charset charsetFromBom(QByteArrayView data, qsizetype* bomLength)
{
    *bomLength = 0;
    if (data.startsWith("\xEF\xBB\xBF")) {
        *bomLength = 3;
        return {Charset::Kind::Utf8Or1252, {}};
    }
    if (data.startsWith("\xFE\xFF")) {
        *bomLength = 2;
        return {Charset::Kind::Utf16BE, {}};
    }
    if (data.startsWith("\xFF\xFE")) {
        *bomLength = 2;
        return {Charset::Kind::Utf16LE, {}};
    }
    return {};
}

QByteArray decodeToUtf8(QByteArray bytes, const Charset& charset)
{
    switch (charset.kind) {
    case Charset::Kind::Utf8Or1252:
        return utf8Or1252ToUtf8(std::move(bytes));
    case Charset::Kind::Utf16LE:
        return decodeWithQt(std::move(bytes), QStringDecoder(QStringConverter::Utf16LE));
    case Charset::Kind::Utf16BE:
        return decodeWithQt(std::move(bytes), QStringDecoder(QStringConverter::Utf16BE));
    case Charset::Kind::Replacement:
        return bytes.isEmpty() ? QByteArray() : QByteArray("\xEF\xBF\xBD");
    case Charset::Kind::UserDefined:
        return byteByByteToUtf8(std::move(bytes), [](uchar b) { return char16_t(0xF780 + b - 0x80); });
    case Charset::Kind::Named:
        break;
    }
    if (charset.name == "windows-1252")
        return byteByByteToUtf8(std::move(bytes), windows1252ToUnicode);
    if (charset.name == "ISO-8859-16")
        return byteByByteToUtf8(std::move(bytes), iso885916ToUnicode);
    if (const std::optional<std::array<char16_t, 128>> upper = correctedUpperHalf(charset.name))
        return byteByByteToUtf8(std::move(bytes), [&](uchar b) { return (*upper)[b - 0x80]; });
    QStringDecoder decoder(charset.name.constData());
    if (!decoder.isValid())
        return utf8Or1252ToUtf8(std::move(bytes));
    return decodeWithQt(std::move(bytes), std::move(decoder));
}

} // namespace parlowen
