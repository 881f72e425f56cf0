#include "css/tokenizer.h"

#include "common/utf8.h"

#include <algorithm>
#include <optional>

namespace parlowen {

namespace {

using Type = CssToken::Type;

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || uchar(c) >= 0x80;
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

// The input stream: CR LF, CR and FF are LF, NUL is U+FFFD. The bytes
// between are copied a stretch at a time: a byte at a time, this was a
// tenth of a utility sheet's whole reading.
QByteArray preprocessed(QByteArrayView sheet)
{
    QByteArray out;
    out.reserve(sheet.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < sheet.size(); ++i) {
        const char c = sheet[i];
        if (c != '\r' && c != '\f' && c != '\0')
            continue;
        out.append(sheet.sliced(from, i - from));
        if (c == '\0') {
            out.append("\xEF\xBF\xBD");
        } else {
            out.append('\n');
            if (c == '\r' && i + 1 < sheet.size() && sheet[i + 1] == '\n')
                ++i;
        }
        from = i + 1;
    }
    out.append(sheet.sliced(from));
    return out;
}

} // namespace

CssTokenizer::CssTokenizer(QByteArrayView sheet, WorkBudget& work) : m_text(preprocessed(sheet)), m_work(work) {}

bool CssTokenizer::validEscape(qsizetype i) const
{
    return at(i) == '\\' && i + 1 < m_text.size() && m_text[i + 1] != '\n';
}

bool CssTokenizer::startsIdent(qsizetype i) const
{
    const char c = at(i);
    if (c == '-')
        return isNameStart(at(i + 1)) || at(i + 1) == '-' || validEscape(i + 1);
    return isNameStart(c) || validEscape(i);
}

bool CssTokenizer::startsNumber(qsizetype i) const
{
    char c = at(i);
    if (c == '+' || c == '-')
        c = at(++i);
    return isDigit(c) || (c == '.' && isDigit(at(i + 1)));
}

// After the backslash of a valid escape.
void CssTokenizer::escapeInto(QByteArray& out)
{
    if (m_pos >= m_text.size()) {
        appendUtf8(out, 0xFFFD);
        return;
    }
    if (hexValue(m_text[m_pos]) < 0) {
        // The character itself, all its UTF-8 bytes.
        const qsizetype start = m_pos++;
        while (m_pos < m_text.size() && (uchar(m_text[m_pos]) & 0xC0) == 0x80)
            ++m_pos;
        out.append(m_text.constData() + start, m_pos - start);
        return;
    }
    char32_t value = 0;
    for (int digits = 0; digits < 6 && hexValue(at(m_pos)) >= 0; ++digits)
        value = value * 16 + char32_t(hexValue(m_text[m_pos++]));
    if (isSpace(at(m_pos)))
        ++m_pos;
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        value = 0xFFFD;
    appendUtf8(out, value);
}

QByteArray CssTokenizer::name()
{
    // Most names hold no escape: they are copied in one piece, without
    // growing a buffer.
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && isNameChar(m_text[m_pos]))
        ++m_pos;
    if (!validEscape(m_pos))
        return QByteArray(m_text.constData() + start, m_pos - start);
    QByteArray out(m_text.constData() + start, m_pos - start);
    while (m_pos < m_text.size()) {
        if (isNameChar(m_text[m_pos])) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && isNameChar(m_text[m_pos]))
                ++m_pos;
            out.append(m_text.constData() + start, m_pos - start);
        } else if (validEscape(m_pos)) {
            ++m_pos;
            escapeInto(out);
        } else {
            break;
        }
    }
    return out;
}

void CssTokenizer::numeric(CssToken& token)
{
    const qsizetype start = m_pos;
    if (at(m_pos) == '+' || at(m_pos) == '-')
        ++m_pos;
    while (isDigit(at(m_pos)))
        ++m_pos;
    if (at(m_pos) == '.' && isDigit(at(m_pos + 1))) {
        m_pos += 2;
        while (isDigit(at(m_pos)))
            ++m_pos;
    }
    if ((at(m_pos) == 'e' || at(m_pos) == 'E') &&
        (isDigit(at(m_pos + 1)) ||
         ((at(m_pos + 1) == '+' || at(m_pos + 1) == '-') && isDigit(at(m_pos + 2))))) {
        m_pos += 2;
        while (isDigit(at(m_pos)))
            ++m_pos;
    }
    token.number = QByteArrayView(m_text.constData() + start, m_pos - start).toDouble();
    if (startsIdent(m_pos)) {
        token.type = Type::Dimension;
        token.text = name();
    } else if (at(m_pos) == '%') {
        ++m_pos;
        token.type = Type::Percentage;
    } else {
        token.type = Type::Number;
    }
}

void CssTokenizer::string(CssToken& token, char quote)
{
    token.type = Type::String;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == quote) {
            ++m_pos;
            return;
        }
        if (c == '\n') {
            token.type = Type::BadString;
            return;
        }
        if (c == '\\') {
            if (m_pos + 1 >= m_text.size()) {
                ++m_pos;
            } else if (m_text[m_pos + 1] == '\n') {
                m_pos += 2;
            } else {
                ++m_pos;
                escapeInto(token.text);
            }
            continue;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != quote && m_text[m_pos] != '\n' &&
               m_text[m_pos] != '\\')
            ++m_pos;
        token.text.append(m_text.constData() + start, m_pos - start);
    }
}

void CssTokenizer::url(CssToken& token)
{
    token.type = Type::Url;
    while (isSpace(at(m_pos)))
        ++m_pos;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == ')') {
            ++m_pos;
            return;
        }
        if (isSpace(c)) {
            while (isSpace(at(m_pos)))
                ++m_pos;
            if (m_pos >= m_text.size() || at(m_pos) == ')') {
                m_pos = std::min(m_pos + 1, m_text.size());
                return;
            }
        } else if (c == '\\' && validEscape(m_pos)) {
            ++m_pos;
            escapeInto(token.text);
            continue;
        } else if (c != '"' && c != '\'' && c != '(' && c != '\\' && !(uchar(c) < 0x20 && c != '\t') &&
                   c != 0x7F) {
            token.text.append(c);
            ++m_pos;
            continue;
        }
        // A bad URL: what remains of it up to its parenthesis is dropped.
        token.type = Type::BadUrl;
        token.text.clear();
        while (m_pos < m_text.size() && m_text[m_pos] != ')')
            m_pos += validEscape(m_pos) ? 2 : 1;
        m_pos = std::min(m_pos + 1, m_text.size());
        return;
    }
}

void CssTokenizer::identLike(CssToken& token)
{
    token.text = name();
    if (at(m_pos) != '(') {
        token.type = Type::Ident;
        return;
    }
    ++m_pos;
    token.type = Type::Function;
    if (token.text.compare("url", Qt::CaseInsensitive) != 0)
        return;
    qsizetype peek = m_pos;
    while (isSpace(at(peek)))
        ++peek;
    if (at(peek) == '"' || at(peek) == '\'')
        return;
    token.text.clear();
    url(token);
}

CssToken CssTokenizer::next()
{
    if (!m_work.spend())
        m_pos = m_text.size();
    // Comments are nothing at all.
    while (at(m_pos) == '/' && at(m_pos + 1) == '*') {
        const qsizetype close = m_text.indexOf("*/", m_pos + 2);
        m_pos = close < 0 ? m_text.size() : close + 2;
    }
    CssToken token;
    token.begin = m_pos;
    if (m_pos >= m_text.size()) {
        token.end = m_pos;
        return token;
    }
    const char c = m_text[m_pos];
    if (isSpace(c)) {
        while (isSpace(at(m_pos)))
            ++m_pos;
        token.type = Type::Whitespace;
    } else if (c == '"' || c == '\'') {
        ++m_pos;
        string(token, c);
    } else if (c == '#' && (isNameChar(at(m_pos + 1)) || validEscape(m_pos + 1))) {
        ++m_pos;
        token.type = Type::Hash;
        token.idHash = startsIdent(m_pos);
        token.text = name();
    } else if (isDigit(c) || ((c == '+' || c == '.') && startsNumber(m_pos))) {
        numeric(token);
    } else if (c == '-' && startsNumber(m_pos)) {
        numeric(token);
    } else if (c == '-' && at(m_pos + 1) == '-' && at(m_pos + 2) == '>') {
        m_pos += 3;
        token.type = Type::Cdc;
    } else if (startsIdent(m_pos)) {
        identLike(token);
    } else if (c == '<' && m_text.sliced(m_pos).startsWith("<!--")) {
        m_pos += 4;
        token.type = Type::Cdo;
    } else if (c == '@' && startsIdent(m_pos + 1)) {
        ++m_pos;
        token.type = Type::AtKeyword;
        token.text = name();
    } else {
        ++m_pos;
        switch (c) {
        case '(':
            token.type = Type::LeftParen;
            break;
        case ')':
            token.type = Type::RightParen;
            break;
        case '[':
            token.type = Type::LeftSquare;
            break;
        case ']':
            token.type = Type::RightSquare;
            break;
        case '{':
            token.type = Type::LeftCurly;
            break;
        case '}':
            token.type = Type::RightCurly;
            break;
        case ',':
            token.type = Type::Comma;
            break;
        case ':':
            token.type = Type::Colon;
            break;
        case ';':
            token.type = Type::Semicolon;
            break;
        default:
            token.type = Type::Delim;
            token.delim = c;
            // A lone byte of a multi-byte character stays one delimiter.
            while (uchar(c) >= 0x80 && m_pos < m_text.size() && (uchar(m_text[m_pos]) & 0xC0) == 0x80)
                ++m_pos;
        }
    }
    token.end = m_pos;
    return token;
}

} // namespace parlowen
