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

// The path as the system calls take it.
inline QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace parlowen::test
