// The lines of a profile file's text.
#include "profile/profilelines.h"

#include <array>

namespace parlowen {

namespace {

bool isBlank(QChar ch)
{
    return ch == u' ' || ch == u'\t';
}

bool isLineEnd(QChar ch)
{
    return ch == u'\n' || ch == u'\r';
}

bool looksQuoted(QStringView text)
{
    return text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front();
}

// A line runs to CR, LF or CRLF, as the Windows profile functions read it:
// files from old editors end their lines with a lone CR.
struct LineSpan {
    qsizetype start = 0;
    qsizetype end = 0;  // before the line end
    qsizetype next = 0; // past the line end
};

LineSpan lineAt(QStringView text, qsizetype start)
{
    qsizetype end = start;
    while (end < text.size() && !isLineEnd(text[end]))
        ++end;
    qsizetype next = end;
    if (next < text.size())
        next += text.sliced(next).startsWith(u"\r\n") ? 2 : 1;
    return {start, end, next};
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    LineKind kind = LineKind::Other;
    QStringView name;  // section or key name, trimmed
    QStringView value; // trimmed, quotes still on
};

Line parseLine(QStringView text)
{
    const QStringView line = trimBlanks(text);
    if (line.isEmpty())
        return {LineKind::Blank, {}, {}};
    if (line.front() == u';' || line.front() == u'#')
        return {LineKind::Comment, {}, {}};
    if (line.front() == u'[') {
        // The last bracket, as Wine reads it, so that "[a]b]" is section "a]b".
        const qsizetype close = line.lastIndexOf(u']');
        if (close < 0)
            return {LineKind::Other, {}, {}};
        return {LineKind::Section, trimBlanks(line.sliced(1, close - 1)), {}};
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return {LineKind::Other, {}, {}};
    return {LineKind::Key, trimBlanks(line.first(equals)), trimBlanks(line.sliced(equals + 1))};
}

// The line end most lines have, for the lines an edit adds; on a tie the
// one met first. LF in a file without any.
QStringView prevailingLineEnd(QStringView text)
{
    static constexpr std::array<QStringView, 3> ends{u"\n", u"\r\n", u"\r"};
    std::array<qsizetype, 3> counts{};
    std::array<qsizetype, 3> firstSeen{};
    firstSeen.fill(text.size());
    for (qsizetype start = 0; start < text.size();) {
        const LineSpan line = lineAt(text, start);
        const QStringView end = text.sliced(line.end, line.next - line.end);
        for (std::size_t i = 0; i < ends.size(); ++i) {
            if (end == ends[i]) {
                ++counts[i];
                firstSeen[i] = std::min(firstSeen[i], line.end);
            }
        }
        start = line.next;
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < ends.size(); ++i) {
        if (counts[i] > counts[best] || (counts[i] == counts[best] && firstSeen[i] < firstSeen[best]))
            best = i;
    }
    return ends[best];
}

// The text written after "key=", which reads back as the value itself: a
// read trims blanks and strips one pair of quotes, so a value with blanks at
// either end, or one that itself sits in quotes, gets a pair of its own.
QString storedForm(QStringView value)
{
    if (trimBlanks(value).size() != value.size() || looksQuoted(value))
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return value.toString();
}

} // namespace

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool lacksSections(QStringView text)
{
    bool content = false;
    for (qsizetype start = 0; start < text.size();) {
        const LineSpan span = lineAt(text, start);
        const LineKind kind = parseLine(text.sliced(span.start, span.end - span.start)).kind;
        if (kind == LineKind::Section)
            return false;
        content = content || kind == LineKind::Key || kind == LineKind::Other;
        start = span.next;
    }
    return content;
}

ProfileLocation locateEntry(QStringView text, QStringView section, QStringView key)
{
    ProfileLocation at;
    bool inSection = false;
    for (qsizetype start = 0; start < text.size();) {
        const LineSpan span = lineAt(text, start);
        const Line line = parseLine(text.sliced(span.start, span.end - span.start));
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            if (line.name.compare(section, Qt::CaseInsensitive) == 0) {
                inSection = at.sectionFound = true;
                at.insertAt = span.next;
            }
        } else if (inSection && (line.kind == LineKind::Key || line.kind == LineKind::Other)) {
            // A new key goes after the last line with content, so that blank
            // lines and comments ahead of the next section stay with it.
            at.insertAt = span.next;
            if (line.kind == LineKind::Key && line.name.compare(key, Qt::CaseInsensitive) == 0) {
                at.keyFound = true;
                at.keyLineStart = span.start;
                at.keyLineEnd = span.end;
                at.keyName = line.name;
                at.value = line.value;
                break;
            }
        }
        start = span.next;
    }
    return at;
}

QString valueAt(const ProfileLocation& at)
{
    if (!at.keyFound)
        return {};
    return (looksQuoted(at.value) ? at.value.sliced(1, at.value.size() - 2) : at.value).toString();
}

bool setEntry(QString& text, QStringView section, QStringView key, QStringView value)
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    const ProfileLocation at = locateEntry(text, section, key);
    if (at.keyFound && valueAt(at) == value)
        return false;

    const QString stored = storedForm(value);
    if (at.keyFound) {
        // The key keeps its spelling and its line its end; the rest of the
        // line is rewritten.
        const QString line = at.keyName.toString() + QLatin1Char('=') + stored;
        text.replace(at.keyLineStart, at.keyLineEnd - at.keyLineStart, line);
        return true;
    }
    const QStringView end = prevailingLineEnd(text);
    QString entry;
    if (!at.sectionFound)
        entry.append(u'[').append(section).append(u']').append(end);
    entry.append(key).append(u'=').append(stored).append(end);
    const qsizetype insertAt = at.sectionFound ? at.insertAt : text.size();
    // The line before may be the last of the file, without a line end.
    if (insertAt > 0 && !isLineEnd(text[insertAt - 1]))
        entry.prepend(end);
    text.insert(insertAt, entry);
    return true;
}

} // namespace parlowen
