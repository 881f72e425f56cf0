#pragma once
// Reading and writing whole files in tests, where a failure to write is a
// failure of the test.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace parlowen::test {

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
             qPrintable(file.errorString()));
}

// Empty when the file cannot be read.
inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What Windows Notepad puts before the text of a file it saves as UTF-8.
inline const QByteArray utf8Bom("\xEF\xBB\xBF");

// Text as Windows Notepad saves "Unicode" (little-endian) or "Unicode big
// endian": a byte-order mark, then UTF-16 code units.
inline QByteArray utf16(const QString& text, bool bigEndian = false)
{
    QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar ch : text) {
        const char high = char(ch.unicode() >> 8), low = char(ch.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

inline QByteArray utf16be(const QString& text)
{
    return utf16(text, true);
}

// The path as the system calls take it.
inline QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace parlowen::test
