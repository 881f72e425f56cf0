// Fuzzes the profile-file engine: arbitrary bytes as a file, reads of the
// names found in it, one write, which must read back as the value written,
// and checks of what the write may change; then two entries saved together,
// which must give the bytes of two saves.
//
// How to run it: README.md beside this file.
//
// New inputs go to the first folder; the seeds in corpus/fuzz_profilefile start as
// "section\ key\ value\ value2\ " then the file, then five bytes read from
// the end: the second entry's key and section, on disk or not, which key and
// which section (0: the ones given at the start).

#include "profile/profilefile.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace parlowen;

namespace {

// The file is global so that a failure can show it.
QByteArray g_before;
QByteArray g_after;

[[noreturn]] void fail(const char* what, const QString& section, const QString& key)
{
    std::fprintf(stderr, "invariant broken: %s\n[%s] %s\nbefore: %s\nafter:  %s\n", what,
                 qUtf8Printable(section), qUtf8Printable(key),
                 g_before.toPercentEncoding(" =[];").constData(),
                 g_after.toPercentEncoding(" =[];").constData());
    std::abort();
}

QStringView trimmed(QStringView text)
{
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    return text;
}

bool sameName(const QString& a, const QString& b)
{
    return trimmed(a).compare(trimmed(b), Qt::CaseInsensitive) == 0;
}

// Names that may be in the file, so that reads and the write hit existing
// sections and keys. Rough on purpose: a wrong guess only makes a probe miss.
void collectNames(QByteArrayView content, std::vector<QString>& sections, std::vector<QString>& keys)
{
    const auto add = [](std::vector<QString>& names, QByteArrayView raw) {
        if (names.size() < 12) {
            names.push_back(QString::fromUtf8(raw));
            names.push_back(QString::fromLatin1(raw));
        }
    };
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = start;
        while (end < content.size() && content[end] != '\n' && content[end] != '\r')
            ++end;
        const QByteArrayView line = content.sliced(start, end - start);
        const qsizetype open = line.indexOf('[');
        const qsizetype close = line.lastIndexOf(']');
        if (open >= 0 && close > open)
            add(sections, line.sliced(open + 1, close - open - 1));
        if (const qsizetype equals = line.indexOf('='); equals >= 0)
            add(keys, line.first(equals));
        start = end + 1;
    }
}

bool isUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // decode() is lazy: only turning its result into a string decodes.
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// Apart from common ends, the old bytes may differ from the new in at most
// the one line the write replaced.
bool touchesAtMostOneLine(QByteArrayView before, QByteArrayView after)
{
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(before.size(), after.size());
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (prefix + suffix < shorter &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QByteArrayView changed = before.sliced(prefix, before.size() - prefix - suffix);
    return changed.count('\n') + changed.count('\r') <= 2;
}

QString scratchFile()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        // Memory-backed when possible: every save syncs to disk.
        const QString base =
            QFile::exists("/dev/shm") ? QStringLiteral("/dev/shm/fuzz-profile-XXXXXX") : QString();
        return base.isEmpty() ? std::make_unique<QTemporaryDir>() : std::make_unique<QTemporaryDir>(base);
    }();
    return dir->filePath("Settings.ini");
}

QString consumeText(FuzzedDataProvider& data)
{
    return QString::fromUtf8(data.ConsumeRandomLengthString(64));
}

// Two entries saved together give the bytes of two saves one after the other.
void checkTwoEntries(QByteArrayView content, const ProfileEntry& first, const ProfileEntry& second)
{
    if (checkProfileEntry(second.section, second.key, second.value))
        return;
    const QByteArray once = withProfileValues(content, {first}).value_or(content.toByteArray());
    const QByteArray twice = withProfileValues(once, {second}).value_or(once);
    if (withProfileValues(content, {first, second}).value_or(content.toByteArray()) != twice) {
        g_after = twice;
        fail("two entries together differ from two writes", second.section, second.key);
    }
}

// The same write through a real file: it must read as its bytes do and be
// saved with the bytes the in-memory edit gives.
void checkOnDisk(const QByteArray& content, const ProfileEntry& entry, const QByteArray& expected)
{
    const QString path = scratchFile();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        std::abort();
    file.close();
    if (readProfileString(path, entry.section, entry.key) != profileValue(content, entry.section, entry.key))
        fail("the file reads differently from its bytes", entry.section, entry.key);
    // A file with no settings in it is left as it is; only a replacing save writes over it.
    const std::optional<FileError> problem = profileContentProblem(content);
    const auto written = writeProfileStrings(path, {entry});
    if (written.ok() == problem.has_value())
        fail(problem ? "a file with no settings in it was written to" : "the write to a scratch file failed",
             entry.section, entry.key);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != (problem ? content : expected))
        fail("the saved file differs from the edited bytes", entry.section, entry.key);
    file.close();
    if (!writeProfileStrings(path, {entry}, ProfileSave::Replacing).ok() ||
        readProfileString(path, entry.section, entry.key) != entry.value)
        fail("a replaced file does not read back the value", entry.section, entry.key);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const uint8_t sectionChoice = data.ConsumeIntegral<uint8_t>();
    const uint8_t keyChoice = data.ConsumeIntegral<uint8_t>();
    const bool onDisk = data.ConsumeBool();
    const uint8_t secondSectionChoice = data.ConsumeIntegral<uint8_t>();
    const uint8_t secondKeyChoice = data.ConsumeIntegral<uint8_t>();
    QString section = consumeText(data);
    QString key = consumeText(data);
    const QString value = consumeText(data);
    const QString secondValue = consumeText(data);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray content(rest.data(), qsizetype(rest.size()));
    g_before = content;
    g_after.clear();

    std::vector<QString> sections{section};
    std::vector<QString> keys{key};
    collectNames(content, sections, keys);
    const ProfileEntry second{sections[secondSectionChoice % sections.size()],
                              keys[secondKeyChoice % keys.size()], secondValue};
    section = sections[sectionChoice % sections.size()];
    key = keys[keyChoice % keys.size()];

    std::vector<QString> before;
    for (const QString& s : sections)
        for (const QString& k : keys)
            before.push_back(profileValue(content, s, k));

    if (checkProfileEntry(section, key, value))
        return 0;
    // Every value reads back as itself, blanks at its ends and quotes included.
    const QString& expected = value;
    const std::optional<QByteArray> after = withProfileValues(content, {{section, key, value}});
    g_after = after.value_or(content);
    if (!after) {
        if (profileValue(content, section, key) != expected)
            fail("a different value counted as unchanged", section, key);
    } else {
        if (profileValue(*after, section, key) != expected)
            fail("the written value does not read back", section, key);
        if (withProfileValues(*after, {{section, key, value}}))
            fail("a second write of the same value changes the file", section, key);
        std::size_t probe = 0;
        for (const QString& s : sections)
            for (const QString& k : keys) {
                const bool written = sameName(s, section) && sameName(k, key);
                if (!written && profileValue(*after, s, k) != before[probe])
                    fail("another key changed", s, k);
                ++probe;
            }
        if (isUtf8(content) && !touchesAtMostOneLine(content, *after))
            fail("more than one line changed", section, key);
    }
    checkTwoEntries(content, {section, key, value}, second);

    if (onDisk)
        checkOnDisk(content, {section, key, value}, after.value_or(content));
    return 0;
}
