// Profile (INI) file engine: a single linear pass over the bytes finds the
// section and key; a write splices one line into the untouched rest.

#include "profile/profilefile.h"

#include "common/windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

namespace parlowen {
namespace {

enum class Encoding { Utf8, Windows1252 };

constexpr QByteArrayView utf8Bom("\xEF\xBB\xBF");

// Strict UTF-8 (no overlong forms, no surrogates): anything else in a file
// means it was written by an older program in the Windows code page.
bool isValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        char32_t point = 0;
        char32_t smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, point = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, point = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, point = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (p[i] & 0x3F);
        }
        if (point < smallest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

bool hasNonAscii(QByteArrayView bytes)
{
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; });
}

QString decode(QByteArrayView bytes, Encoding encoding)
{
    if (encoding == Encoding::Windows1252)
        return fromWindows1252(bytes);
    // QString::fromUtf8() would drop a U+FEFF at the start of a value.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

std::optional<QByteArray> encode(QStringView text, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return text.toUtf8();
    return toWindows1252(text);
}

bool isBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

bool isBlank(QChar ch)
{
    return ch == u' ' || ch == u'\t';
}

// Only spaces and tabs: a name or value may end in any other character,
// a no-break space included, and keep it.
template <typename View> View trimBlanks(View text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

template <typename View> bool looksQuoted(View text)
{
    return text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
}

QByteArrayView unquoted(QByteArrayView value)
{
    return looksQuoted(value) ? value.sliced(1, value.size() - 2) : value;
}

// The text written after "key=". A value that itself sits in quotes gets one
// more pair, because a read strips one.
QString storedForm(QStringView value)
{
    const QStringView text = trimBlanks(value);
    if (looksQuoted(text))
        return QLatin1Char('"') + text.toString() + QLatin1Char('"');
    return text.toString();
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    LineKind kind = LineKind::Other;
    QByteArrayView name;  // section or key name, trimmed
    QByteArrayView value; // trimmed, quotes still on
};

// Works on bytes: every character with a meaning here is ASCII, which both
// UTF-8 and Windows-1252 keep as single bytes.
Line parseLine(QByteArrayView text)
{
    const QByteArrayView line = trimBlanks(text);
    if (line.isEmpty())
        return {LineKind::Blank, {}, {}};
    if (line.front() == ';' || line.front() == '#')
        return {LineKind::Comment, {}, {}};
    if (line.front() == '[') {
        // The last bracket, as Wine reads it, so that "[a]b]" is section "a]b".
        const qsizetype close = line.lastIndexOf(']');
        if (close < 0)
            return {LineKind::Other, {}, {}};
        return {LineKind::Section, trimBlanks(line.sliced(1, close - 1)), {}};
    }
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return {LineKind::Other, {}, {}};
    return {LineKind::Key, trimBlanks(line.first(equals)), trimBlanks(line.sliced(equals + 1))};
}

// Where a section and key are, found in one pass that stops at the key or at
// the end of the first section of that name.
struct Location {
    Encoding encoding = Encoding::Utf8;
    qsizetype bodyStart = 0; // past the byte-order mark
    bool sectionFound = false;
    qsizetype insertAt = -1; // past the last entry line of the section, or its header
    bool keyFound = false;
    qsizetype keyLineStart = -1;
    qsizetype keyLineNext = -1;
    QByteArrayView keyName;
    QByteArrayView value;
};

Location locate(QByteArrayView content, QStringView section, QStringView key)
{
    Location at;
    if (content.startsWith(utf8Bom))
        at.bodyStart = utf8Bom.size();
    at.encoding = isValidUtf8(content.sliced(at.bodyStart)) ? Encoding::Utf8 : Encoding::Windows1252;

    const auto sameName = [&](QByteArrayView raw, QStringView wanted) {
        return decode(raw, at.encoding).compare(wanted, Qt::CaseInsensitive) == 0;
    };

    bool inSection = false;
    qsizetype start = at.bodyStart;
    while (start < content.size()) {
        const qsizetype newline = content.indexOf('\n', start);
        const qsizetype next = newline < 0 ? content.size() : newline + 1;
        qsizetype end = newline < 0 ? content.size() : newline;
        if (end > start && content[end - 1] == '\r')
            --end;
        const Line line = parseLine(content.sliced(start, end - start));

        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            if (sameName(line.name, section)) {
                inSection = at.sectionFound = true;
                at.insertAt = next;
            }
        } else if (inSection && (line.kind == LineKind::Key || line.kind == LineKind::Other)) {
            // A new key goes after the last line with content, so that blank
            // lines and comments ahead of the next section stay with it.
            at.insertAt = next;
            if (line.kind == LineKind::Key && sameName(line.name, key)) {
                at.keyFound = true;
                at.keyLineStart = start;
                at.keyLineNext = next;
                at.keyName = line.name;
                at.value = line.value;
                break;
            }
        }
        start = next;
    }
    return at;
}

QString valueAt(const Location& at)
{
    return at.keyFound ? decode(unquoted(at.value), at.encoding) : QString();
}

// The file with the key set, in the given encoding; nothing when a name or
// the value has no form in it.
std::optional<QByteArray> spliced(QByteArrayView content, const Location& at, QStringView section,
                                  QStringView key, QStringView stored, Encoding encoding)
{
    const auto value = encode(stored, encoding);
    if (!value)
        return std::nullopt;

    QByteArray result;
    result.reserve(content.size() + section.size() + key.size() + value->size() + 8);
    if (at.keyFound) {
        // The key keeps its spelling in the file; only its line is rewritten.
        result.append(content.first(at.keyLineStart));
        result.append(at.keyName).append('=').append(*value).append('\n');
        result.append(content.sliced(at.keyLineNext));
        return result;
    }

    const auto keyName = encode(key, encoding);
    if (!keyName)
        return std::nullopt;
    QByteArray entry;
    if (!at.sectionFound) {
        const auto sectionName = encode(section, encoding);
        if (!sectionName)
            return std::nullopt;
        entry.append('[').append(*sectionName).append("]\n");
    }
    entry.append(*keyName).append('=').append(*value).append('\n');

    const qsizetype insertAt = at.sectionFound ? at.insertAt : content.size();
    result.append(content.first(insertAt));
    if (insertAt > at.bodyStart && content[insertAt - 1] != '\n')
        result.append('\n');
    result.append(entry);
    result.append(content.sliced(insertAt));
    return result;
}

} // namespace

QString toString(ProfileEntryProblem problem)
{
    switch (problem) {
    case ProfileEntryProblem::None:
        return {};
    case ProfileEntryProblem::EmptyName:
        return QStringLiteral("A setting needs both a section name and a key name.");
    case ProfileEntryProblem::LineBreakInName:
        return QStringLiteral("A section or key name cannot contain a line break.");
    case ProfileEntryProblem::ReservedCharacter:
        return QStringLiteral("A section name cannot contain \"]\", and a key name cannot contain \"=\" "
                              "or start with \";\", \"#\" or \"[\".");
    case ProfileEntryProblem::LineBreakInValue:
        return QStringLiteral("The value contains a line break, which a settings file cannot hold. "
                              "Enter it on one line.");
    case ProfileEntryProblem::InvalidText:
        return QStringLiteral("The text contains an incomplete character and cannot be saved.");
    }
    return {};
}

ProfileEntryProblem checkProfileEntry(QStringView section, QStringView key, QStringView value)
{
    const auto hasLineBreak = [](QStringView text) {
        return text.contains(u'\n') || text.contains(u'\r');
    };
    if (!section.isValidUtf16() || !key.isValidUtf16() || !value.isValidUtf16())
        return ProfileEntryProblem::InvalidText;
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.isEmpty() || key.isEmpty())
        return ProfileEntryProblem::EmptyName;
    if (hasLineBreak(section) || hasLineBreak(key))
        return ProfileEntryProblem::LineBreakInName;
    // Each of these would make the written line read back as something else.
    if (section.contains(u']') || key.contains(u'=') || key.front() == u';' || key.front() == u'#' ||
        key.front() == u'[')
        return ProfileEntryProblem::ReservedCharacter;
    if (hasLineBreak(value))
        return ProfileEntryProblem::LineBreakInValue;
    return ProfileEntryProblem::None;
}

QString profileValue(QByteArrayView content, QStringView section, QStringView key)
{
    return valueAt(locate(content, trimBlanks(section), trimBlanks(key)));
}

std::optional<QByteArray> withProfileValue(QByteArrayView content, QStringView section, QStringView key,
                                           QStringView value)
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    const Location at = locate(content, section, key);
    if (at.keyFound && valueAt(at) == trimBlanks(value))
        return std::nullopt;

    const QString stored = storedForm(value);
    if (at.encoding == Encoding::Windows1252) {
        // Stay in the file's own code page while that keeps every line's
        // meaning: the text must fit it, and the result must not turn into
        // valid UTF-8, which the next read would decode differently.
        auto result = spliced(content, at, section, key, stored, Encoding::Windows1252);
        const QByteArrayView body = result ? QByteArrayView(*result).sliced(at.bodyStart) : QByteArrayView();
        if (result && !(hasNonAscii(body) && isValidUtf8(body)))
            return result;
        // Otherwise the whole file moves to UTF-8, every character kept.
        QByteArray utf8 = content.first(at.bodyStart).toByteArray();
        utf8.append(fromWindows1252(content.sliced(at.bodyStart)).toUtf8());
        return spliced(utf8, locate(utf8, section, key), section, key, stored, Encoding::Utf8);
    }
    return spliced(content, at, section, key, stored, Encoding::Utf8);
}

QString readProfileString(const QString& path, QStringView section, QStringView key)
{
    // Not a pipe or device, whose read could wait forever.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return profileValue(file.readAll(), section, key);
}

ProfileWriteResult writeProfileString(const QString& path, QStringView section, QStringView key,
                                      const QString& value)
{
    if (const auto problem = checkProfileEntry(section, key, value); problem != ProfileEntryProblem::None)
        return ProfileWriteResult::failure(toString(problem));

    struct stat existing = {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return ProfileWriteResult::failure(qt_error_string(errno));
    if (exists && S_ISDIR(existing.st_mode))
        return ProfileWriteResult::failure(qt_error_string(EISDIR));
    // A pipe or device would block the read or refuse the rename.
    if (exists && !S_ISREG(existing.st_mode))
        return ProfileWriteResult::failure(QStringLiteral("Not a regular file"));

    QByteArray content;
    if (exists) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return ProfileWriteResult::failure(file.errorString());
        content = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return ProfileWriteResult::failure(file.errorString());
    }

    const auto updated = withProfileValue(content, section, key, value);
    if (!updated)
        return ProfileWriteResult::success();

    QSaveFile out(path);
    // Unbuffered, so that every write reaches the file here and the loop
    // below sees its failure.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return ProfileWriteResult::failure(out.errorString());
    // QSaveFile makes a new file with the umask's mode, and copies an existing
    // file's mode only as far as QFile::Permissions can say it. Set the exact
    // mode before a password is written: owner-only for a new file.
    if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Run with more rights (sudo), keep the file its owner's so they can
        // still read it. A plain user cannot give a file away; then it stays
        // theirs, as with any editor.
        if (::fchown(out.handle(), existing.st_uid, existing.st_gid) != 0) {
        }
    }
    if (::fchmod(out.handle(), exists ? existing.st_mode & 07777 : S_IRUSR | S_IWUSR) != 0) {
        const QString reason = qt_error_string(errno);
        out.cancelWriting();
        return ProfileWriteResult::failure(reason);
    }
    // QSaveFile takes a short write (file size limit, disk full) as success
    // and would commit a truncated file; only a second attempt reports why.
    for (qsizetype written = 0; written < updated->size();) {
        const qint64 count = out.write(updated->constData() + written, updated->size() - written);
        if (count <= 0) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return ProfileWriteResult::failure(reason);
        }
        written += count;
    }
    // commit() flushes, syncs to disk and renames; on any failure it removes
    // the temporary file and the old file stays as it was.
    if (!out.commit())
        return ProfileWriteResult::failure(out.errorString());
    return ProfileWriteResult::success();
}

} // namespace parlowen
