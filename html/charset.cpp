// Character encoding detection and decoding for fetched pages.

#include "html/charset.h"

#include "common/windows1252.h"

#include "common/asciitext.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace parlowen {

namespace {

struct Label {
    std::string_view label;
    std::string_view encoding;
};

// Every label browsers accept for an encoding, and the encoding's name, by
// which Qt's ICU decodes it. Labels missing here (utf-7, utf-32, EBCDIC)
// are ignored by browsers even where ICU could decode them.
constexpr Label kLabels[] = {
    {"unicode-1-1-utf-8", "UTF-8"},
    {"unicode11utf8", "UTF-8"},
    {"unicode20utf8", "UTF-8"},
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"x-unicode20utf8", "UTF-8"},
    {"866", "IBM866"},
    {"cp866", "IBM866"},
    {"csibm866", "IBM866"},
    {"ibm866", "IBM866"},
    {"csisolatin2", "ISO-8859-2"},
    {"iso-8859-2", "ISO-8859-2"},
    {"iso-ir-101", "ISO-8859-2"},
    {"iso8859-2", "ISO-8859-2"},
    {"iso88592", "ISO-8859-2"},
    {"iso_8859-2", "ISO-8859-2"},
    {"iso_8859-2:1987", "ISO-8859-2"},
    {"l2", "ISO-8859-2"},
    {"latin2", "ISO-8859-2"},
    {"csisolatin3", "ISO-8859-3"},
    {"iso-8859-3", "ISO-8859-3"},
    {"iso-ir-109", "ISO-8859-3"},
    {"iso8859-3", "ISO-8859-3"},
    {"iso88593", "ISO-8859-3"},
    {"iso_8859-3", "ISO-8859-3"},
    {"iso_8859-3:1988", "ISO-8859-3"},
    {"l3", "ISO-8859-3"},
    {"latin3", "ISO-8859-3"},
    {"csisolatin4", "ISO-8859-4"},
    {"iso-8859-4", "ISO-8859-4"},
    {"iso-ir-110", "ISO-8859-4"},
    {"iso8859-4", "ISO-8859-4"},
    {"iso88594", "ISO-8859-4"},
    {"iso_8859-4", "ISO-8859-4"},
    {"iso_8859-4:1988", "ISO-8859-4"},
    {"l4", "ISO-8859-4"},
    {"latin4", "ISO-8859-4"},
    {"csisolatincyrillic", "ISO-8859-5"},
    {"cyrillic", "ISO-8859-5"},
    {"iso-8859-5", "ISO-8859-5"},
    {"iso-ir-144", "ISO-8859-5"},
    {"iso8859-5", "ISO-8859-5"},
    {"iso88595", "ISO-8859-5"},
    {"iso_8859-5", "ISO-8859-5"},
    {"iso_8859-5:1988", "ISO-8859-5"},
    {"arabic", "ISO-8859-6"},
    {"asmo-708", "ISO-8859-6"},
    {"csiso88596e", "ISO-8859-6"},
    {"csiso88596i", "ISO-8859-6"},
    {"csisolatinarabic", "ISO-8859-6"},
    {"ecma-114", "ISO-8859-6"},
    {"iso-8859-6", "ISO-8859-6"},
    {"iso-8859-6-e", "ISO-8859-6"},
    {"iso-8859-6-i", "ISO-8859-6"},
    {"iso-ir-127", "ISO-8859-6"},
    {"iso8859-6", "ISO-8859-6"},
    {"iso88596", "ISO-8859-6"},
    {"iso_8859-6", "ISO-8859-6"},
    {"iso_8859-6:1987", "ISO-8859-6"},
    {"csisolatingreek", "ISO-8859-7"},
    {"ecma-118", "ISO-8859-7"},
    {"elot_928", "ISO-8859-7"},
    {"greek", "ISO-8859-7"},
    {"greek8", "ISO-8859-7"},
    {"iso-8859-7", "ISO-8859-7"},
    {"iso-ir-126", "ISO-8859-7"},
    {"iso8859-7", "ISO-8859-7"},
    {"iso88597", "ISO-8859-7"},
    {"iso_8859-7", "ISO-8859-7"},
    {"iso_8859-7:1987", "ISO-8859-7"},
    {"sun_eu_greek", "ISO-8859-7"},
    {"csiso88598e", "ISO-8859-8"},
    {"csisolatinhebrew", "ISO-8859-8"},
    {"hebrew", "ISO-8859-8"},
    {"iso-8859-8", "ISO-8859-8"},
    {"iso-8859-8-e", "ISO-8859-8"},
    {"iso-ir-138", "ISO-8859-8"},
    {"iso8859-8", "ISO-8859-8"},
    {"iso88598", "ISO-8859-8"},
    {"iso_8859-8", "ISO-8859-8"},
    {"iso_8859-8:1988", "ISO-8859-8"},
    {"visual", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8-I"},
    {"iso-8859-8-i", "ISO-8859-8-I"},
    {"logical", "ISO-8859-8-I"},
    {"csisolatin6", "ISO-8859-10"},
    {"iso-8859-10", "ISO-8859-10"},
    {"iso-ir-157", "ISO-8859-10"},
    {"iso8859-10", "ISO-8859-10"},
    {"iso885910", "ISO-8859-10"},
    {"l6", "ISO-8859-10"},
    {"latin6", "ISO-8859-10"},
    {"iso-8859-13", "ISO-8859-13"},
    {"iso8859-13", "ISO-8859-13"},
    {"iso885913", "ISO-8859-13"},
    {"iso-8859-14", "ISO-8859-14"},
    {"iso8859-14", "ISO-8859-14"},
    {"iso885914", "ISO-8859-14"},
    {"csisolatin9", "ISO-8859-15"},
    {"iso-8859-15", "ISO-8859-15"},
    {"iso8859-15", "ISO-8859-15"},
    {"iso885915", "ISO-8859-15"},
    {"iso_8859-15", "ISO-8859-15"},
    {"l9", "ISO-8859-15"},
    {"iso-8859-16", "ISO-8859-16"},
    {"cskoi8r", "KOI8-R"},
    {"koi", "KOI8-R"},
    {"koi8", "KOI8-R"},
    {"koi8-r", "KOI8-R"},
    {"koi8_r", "KOI8-R"},
    {"koi8-ru", "KOI8-U"},
    {"koi8-u", "KOI8-U"},
    {"csmacintosh", "macintosh"},
    {"mac", "macintosh"},
    {"macintosh", "macintosh"},
    {"x-mac-roman", "macintosh"},
    {"dos-874", "windows-874"},
    {"iso-8859-11", "windows-874"},
    {"iso8859-11", "windows-874"},
    {"iso885911", "windows-874"},
    {"tis-620", "windows-874"},
    {"windows-874", "windows-874"},
    {"cp1250", "windows-1250"},
    {"windows-1250", "windows-1250"},
    {"x-cp1250", "windows-1250"},
    {"cp1251", "windows-1251"},
    {"windows-1251", "windows-1251"},
    {"x-cp1251", "windows-1251"},
    // Pages that say Latin-1 or ASCII are in practice written in Windows-1252.
    {"ansi_x3.4-1968", "windows-1252"},
    {"ascii", "windows-1252"},
    {"cp1252", "windows-1252"},
    {"cp819", "windows-1252"},
    {"csisolatin1", "windows-1252"},
    {"ibm819", "windows-1252"},
    {"iso-8859-1", "windows-1252"},
    {"iso-ir-100", "windows-1252"},
    {"iso8859-1", "windows-1252"},
    {"iso88591", "windows-1252"},
    {"iso_8859-1", "windows-1252"},
    {"iso_8859-1:1987", "windows-1252"},
    {"l1", "windows-1252"},
    {"latin1", "windows-1252"},
    {"us-ascii", "windows-1252"},
    {"windows-1252", "windows-1252"},
    {"x-cp1252", "windows-1252"},
    {"cp1253", "windows-1253"},
    {"windows-1253", "windows-1253"},
    {"x-cp1253", "windows-1253"},
    {"cp1254", "windows-1254"},
    {"csisolatin5", "windows-1254"},
    {"iso-8859-9", "windows-1254"},
    {"iso-ir-148", "windows-1254"},
    {"iso8859-9", "windows-1254"},
    {"iso88599", "windows-1254"},
    {"iso_8859-9", "windows-1254"},
    {"iso_8859-9:1989", "windows-1254"},
    {"l5", "windows-1254"},
    {"latin5", "windows-1254"},
    {"windows-1254", "windows-1254"},
    {"x-cp1254", "windows-1254"},
    {"cp1255", "windows-1255"},
    {"windows-1255", "windows-1255"},
    {"x-cp1255", "windows-1255"},
    {"cp1256", "windows-1256"},
    {"windows-1256", "windows-1256"},
    {"x-cp1256", "windows-1256"},
    {"cp1257", "windows-1257"},
    {"windows-1257", "windows-1257"},
    {"x-cp1257", "windows-1257"},
    {"cp1258", "windows-1258"},
    {"windows-1258", "windows-1258"},
    {"x-cp1258", "windows-1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic"},
    {"x-mac-ukrainian", "x-mac-cyrillic"},
    {"chinese", "GBK"},
    {"csgb2312", "GBK"},
    {"csiso58gb231280", "GBK"},
    {"gb2312", "GBK"},
    {"gb_2312", "GBK"},
    {"gb_2312-80", "GBK"},
    {"gbk", "GBK"},
    {"iso-ir-58", "GBK"},
    {"x-gbk", "GBK"},
    {"gb18030", "gb18030"},
    {"big5", "Big5"},
    {"big5-hkscs", "Big5"},
    {"cn-big5", "Big5"},
    {"csbig5", "Big5"},
    {"x-x-big5", "Big5"},
    {"cseucpkdfmtjapanese", "EUC-JP"},
    {"euc-jp", "EUC-JP"},
    {"x-euc-jp", "EUC-JP"},
    {"csiso2022jp", "ISO-2022-JP"},
    {"iso-2022-jp", "ISO-2022-JP"},
    {"csshiftjis", "Shift_JIS"},
    {"ms932", "Shift_JIS"},
    {"ms_kanji", "Shift_JIS"},
    {"shift-jis", "Shift_JIS"},
    {"shift_jis", "Shift_JIS"},
    {"sjis", "Shift_JIS"},
    {"windows-31j", "Shift_JIS"},
    {"x-sjis", "Shift_JIS"},
    {"cseuckr", "EUC-KR"},
    {"csksc56011987", "EUC-KR"},
    {"euc-kr", "EUC-KR"},
    {"iso-ir-149", "EUC-KR"},
    {"korean", "EUC-KR"},
    {"ks_c_5601-1987", "EUC-KR"},
    {"ks_c_5601-1989", "EUC-KR"},
    {"ksc5601", "EUC-KR"},
    {"ksc_5601", "EUC-KR"},
    {"windows-949", "EUC-KR"},
    // Browsers refuse these: their escapes could hide markup from a filter.
    {"csiso2022kr", "replacement"},
    {"hz-gb-2312", "replacement"},
    {"iso-2022-cn", "replacement"},
    {"iso-2022-cn-ext", "replacement"},
    {"iso-2022-kr", "replacement"},
    {"replacement", "replacement"},
    {"unicodefffe", "UTF-16BE"},
    {"utf-16be", "UTF-16BE"},
    {"csunicode", "UTF-16LE"},
    {"iso-10646-ucs-2", "UTF-16LE"},
    {"ucs-2", "UTF-16LE"},
    {"unicode", "UTF-16LE"},
    {"unicodefeff", "UTF-16LE"},
    {"utf-16", "UTF-16LE"},
    {"utf-16le", "UTF-16LE"},
    {"x-user-defined", "x-user-defined"},
};

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

void appendUtf8(QByteArray& out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
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
    const auto hit =
        std::find_if(std::begin(kLabels), std::end(kLabels), [&](const Label& l) { return l.label == key; });
    if (hit == std::end(kLabels))
        return std::nullopt;
    const std::string_view encoding = hit->encoding;
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
