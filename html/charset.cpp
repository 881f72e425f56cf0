// Character encoding detection and decoding for fetched pages.

#include "html/charset.h"

#include "common/windows1252.h"

#include "html/asciitext.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace parlowen {

namespace {

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
    if (name.isEmpty())
        return std::nullopt;
    // Labels the Encoding standard sends to UTF-8 or to Windows-1252; pages
    // that say Latin-1 or ASCII are in practice written in Windows-1252.
    static const char* const utf8Labels[] = {"utf-8",         "utf8",          "unicode-1-1-utf-8",
                                             "unicode11utf8", "unicode20utf8", "x-unicode20utf8"};
    static const char* const windows1252Labels[] = {
        "windows-1252", "x-cp1252",        "cp1252",   "iso-8859-1", "iso8859-1",      "iso88591",
        "iso_8859-1",   "iso_8859-1:1987", "latin1",   "l1",         "cp819",          "ibm819",
        "csisolatin1",  "iso-ir-100",      "us-ascii", "ascii",      "ansi_x3.4-1968", "x-user-defined"};
    static const char* const utf16LeLabels[] = {"utf-16",    "utf-16le",        "unicode", "unicodefeff",
                                                "csunicode", "iso-10646-ucs-2", "ucs-2"};
    for (const char* l : utf8Labels) {
        if (name == l)
            return Charset{Charset::Kind::Utf8Or1252, {}};
    }
    for (const char* l : windows1252Labels) {
        if (name == l)
            return Charset{Charset::Kind::Named, "windows-1252"};
    }
    for (const char* l : utf16LeLabels) {
        if (name == l)
            return Charset{Charset::Kind::Utf16LE, {}};
    }
    if (name == "utf-16be" || name == "unicodefffe")
        return Charset{Charset::Kind::Utf16BE, {}};
    // The Encoding standard reads these Latin labels as their Windows supersets.
    if (name == "iso-8859-9" || name == "latin5" || name == "iso8859-9" || name == "l5")
        return Charset{Charset::Kind::Named, "windows-1254"};
    if (name == "iso-8859-11" || name == "tis-620")
        return Charset{Charset::Kind::Named, "windows-874"};
    if (QStringDecoder(name.constData()).isValid())
        return Charset{Charset::Kind::Named, name};
    return std::nullopt;
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
    case Charset::Kind::Named:
        break;
    }
    if (charset.name == "windows-1252") {
        // ASCII reads the same in Windows-1252 and UTF-8: no copy needed.
        if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; }))
            return bytes;
        QByteArray out;
        out.reserve(bytes.size() + bytes.size() / 4);
        for (const char c : std::as_const(bytes))
            appendUtf8(out, windows1252ToUnicode(uchar(c)));
        return out;
    }
    QStringDecoder decoder(charset.name.constData());
    if (!decoder.isValid())
        return utf8Or1252ToUtf8(std::move(bytes));
    return decodeWithQt(std::move(bytes), std::move(decoder));
}

} // namespace parlowen
