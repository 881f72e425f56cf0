// A secret found however each of its characters was spelled.
#include "check/spelledsecret.h"

#include "check/namedreferences.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <optional>

namespace parlowen {

namespace {

int hexDigit(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'a' && unit <= u'f')
        return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return -1;
}

// The byte a "%XX" at at stands for, or -1.
int percentByte(QStringView text, qsizetype at)
{
    if (at + 2 >= text.size() || text[at] != u'%')
        return -1;
    const int high = hexDigit(text[at + 1].unicode()), low = hexDigit(text[at + 2].unicode());
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

struct Reference {
    char32_t code;
    qsizetype end;
};

// The character a reference at at stands for: "&#39;", "&#x27;" (the
// ";" left out as browsers allow it after digits) or a named one.
std::optional<Reference> referenceAt(QStringView text, qsizetype at)
{
    if (text[at] != u'&')
        return std::nullopt;
    qsizetype i = at + 1;
    if (i < text.size() && text[i] == u'#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
        i += hex ? 1 : 0;
        const qsizetype digitsStart = i;
        char32_t code = 0;
        for (; i < text.size() && i - digitsStart < 10; ++i) {
            const int digit = hexDigit(text[i].unicode());
            if (digit < 0 || (!hex && digit > 9))
                break;
            code = code * (hex ? 16 : 10) + char32_t(digit);
            if (code > 0x10FFFF)
                return std::nullopt;
        }
        if (i == digitsStart)
            return std::nullopt;
        return Reference{code, i < text.size() && text[i] == u';' ? i + 1 : i};
    }
    if (const auto named = namedReferenceAt(text.sliced(i)))
        return Reference{named->second, i + named->first};
    return std::nullopt;
}

} // namespace

SpelledSecret::SpelledSecret(const QString& secret, Qt::CaseSensitivity cs) : m_secret(secret), m_cs(cs)
{
    for (const char32_t code : secret.toUcs4())
        m_characters.push_back({code, QString::fromUcs4(&code, 1).toUtf8()});
    if (m_characters.empty())
        return;
    const char32_t first = m_characters.front().code;
    const char32_t variants[3] = {first, cs == Qt::CaseSensitive ? first : QChar::toLower(first),
                                  cs == Qt::CaseSensitive ? first : QChar::toUpper(first)};
    for (int i = 0; i < 3; ++i)
        m_firstUnits[i] = QChar::requiresSurrogates(variants[i]) ? QChar::highSurrogate(variants[i])
                                                                 : char16_t(variants[i]);
    m_spaceFirst = first == U' ';
    m_startUnits = {m_firstUnits[0], m_firstUnits[1], m_firstUnits[2], u'%', u'&'};
    if (m_spaceFirst)
        m_startUnits.push_back(u'+');
    std::sort(m_startUnits.begin(), m_startUnits.end());
    m_startUnits.erase(std::unique(m_startUnits.begin(), m_startUnits.end()), m_startUnits.end());
}

bool SpelledSecret::same(char32_t a, char32_t b) const
{
    if (a == b)
        return true;
    if (m_cs == Qt::CaseSensitive)
        return false;
    // Most characters of text and secret are ASCII, whose letters differ in one bit.
    if (a < 0x80 && b < 0x80)
        return (a ^ b) == 0x20 && (a | 0x20) >= U'a' && (a | 0x20) <= U'z';
    return QChar::toCaseFolded(a) == QChar::toCaseFolded(b);
}

SpelledSecret::Lead SpelledSecret::leadAt(QStringView text, qsizetype at)
{
    Lead lead{text[at].unicode()};
    if (lead.unit == u'%')
        lead.percentByte = percentByte(text, at);
    else if (lead.unit == u'&')
        lead.reference = referenceAt(text, at).value_or(Reference{0, 0}).code;
    return lead;
}

bool SpelledSecret::mayBeginWithEscape(const Lead& lead) const
{
    const Character& first = m_characters.front();
    if (lead.percentByte >= 0)
        return first.utf8.size() == 1 ? same(char32_t(lead.percentByte), first.code)
                                      : lead.percentByte == int(uchar(first.utf8.front()));
    return same(lead.reference, first.code);
}

// Where a spelling of c that starts at at can end: as itself, "+" for a
// space, its UTF-8 bytes as %XX escapes, or a reference.
void SpelledSecret::endsOf(const Character& c, QStringView text, qsizetype at,
                           std::vector<qsizetype>& ends) const
{
    const QChar unit = text[at];
    const bool pair = unit.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
    const char32_t code = pair ? QChar::surrogateToUcs4(unit, text[at + 1]) : unit.unicode();
    if (same(code, c.code))
        ends.push_back(at + (pair ? 2 : 1));
    if (unit == u'+' && c.code == U' ')
        ends.push_back(at + 1);
    if (unit == u'%') {
        qsizetype end = at;
        for (const char byte : c.utf8) {
            const int escaped = percentByte(text, end);
            // A byte of ASCII is a character of its own, and has its letter case.
            const bool matches = c.utf8.size() == 1 ? escaped >= 0 && same(char32_t(escaped), c.code)
                                                    : escaped == int(uchar(byte));
            if (!matches)
                return;
            end += 3;
        }
        ends.push_back(end);
    }
    if (const std::optional<Reference> reference = referenceAt(text, at);
        reference && same(reference->code, c.code))
        ends.push_back(reference->end);
}

qsizetype SpelledSecret::spelledAt(QStringView text, qsizetype start, Scratch& scratch) const
{
    if (m_characters.empty())
        return -1;
    // Where a spelling of the characters so far may end: several, since "%"
    // may be itself or begin "%25", and "&" itself or begin "&amp;".
    std::vector<qsizetype>&ends = scratch.ends, &next = scratch.next;
    ends.assign(1, start);
    for (const Character& c : m_characters) {
        next.clear();
        for (const qsizetype at : ends) {
            if (at < text.size())
                endsOf(c, text, at, next);
        }
        if (next.empty())
            return -1;
        if (next.size() > 1) {
            std::sort(next.begin(), next.end());
            next.erase(std::unique(next.begin(), next.end()), next.end());
        }
        std::swap(ends, next);
    }
    return ends.back();
}

} // namespace parlowen
