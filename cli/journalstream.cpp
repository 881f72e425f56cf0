// Syslog priority prefixes for lines that go to the journal.
#include "cli/journalstream.h"

#include <QFile>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace parlowen::cli {

namespace {
QByteArray topicOf(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    return colon < 0 ? line : line.left(colon);
}

QByteArray priorityOf(const QByteArray& line, bool failed)
{
    // A reason is printed before the verdict it explains, so it is not the
    // last line of a failed run; it names itself instead.
    if (failed || line.startsWith("Reason:"))
        return QByteArrayLiteral("<3>");
    if (line.startsWith("Warning:"))
        return QByteArrayLiteral("<4>");
    return QByteArrayLiteral("<6>");
}
} // namespace

bool isJournalStream(int fileDescriptor, const QByteArray& journalStream)
{
    const QList<QByteArray> parts = journalStream.split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts[0].toULongLong(&deviceOk);
    const qulonglong inode = parts[1].toULongLong(&inodeOk);
    struct stat status {};
    return deviceOk && inodeOk && ::fstat(fileDescriptor, &status) == 0 && status.st_dev == device &&
           status.st_ino == inode;
}

JournalLines::JournalLines(QIODevice& target) : m_target(target)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 JournalLines::writeData(const char* data, qint64 size)
{
    m_partial.append(data, size);
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        takeLine(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
    return size;
}

void JournalLines::takeLine(const QByteArray& line)
{
    if (line.isEmpty() || !m_tail.isEmpty()) {
        m_tail.append(line);
        return;
    }
    if (!m_held.isEmpty() && topicOf(m_held.constLast()) != topicOf(line))
        release(0);
    m_held.append(line);
}

void JournalLines::finish(int exitCode)
{
    if (!m_partial.isEmpty())
        takeLine(std::exchange(m_partial, {}));
    release(exitCode);
}

void JournalLines::release(int failedExitCode)
{
    for (const QByteArray& line : std::as_const(m_held))
        m_target.write(priorityOf(line, failedExitCode != 0) + line + '\n');
    for (const QByteArray& line : std::as_const(m_tail))
        m_target.write(priorityOf(line, false) + line + '\n');
    m_held.clear();
    m_tail.clear();
}

int withConsoleStreams(const std::function<int(QTextStream& out, QTextStream& err)>& body)
{
    QFile standardOutput;
    QFile standardError;
    standardOutput.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
                        QFileDevice::DontCloseHandle);
    standardError.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
                       QFileDevice::DontCloseHandle);

    // systemd joins both to one stream; then they share one JournalLines,
    // and the last line before a failure is found across both.
    const QByteArray journalStream = qgetenv("JOURNAL_STREAM");
    std::unique_ptr<JournalLines> journal;
    QIODevice* outDevice = &standardOutput;
    QIODevice* errDevice = &standardError;
    if (isJournalStream(STDERR_FILENO, journalStream)) {
        journal = std::make_unique<JournalLines>(standardError);
        errDevice = journal.get();
        if (isJournalStream(STDOUT_FILENO, journalStream))
            outDevice = journal.get();
    }
    QTextStream out(outDevice);
    QTextStream err(errDevice);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    const int exitCode = body(out, err);
    out.flush();
    err.flush();
    if (journal)
        journal->finish(exitCode);
    return exitCode;
}

} // namespace parlowen::cli
