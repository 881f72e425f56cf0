// Syslog priority prefixes for lines that go to the journal.
#include "cli/journalstream.h"

#include <QFile>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace parlowen::cli {

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
        pass(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
    return size;
}

void JournalLines::finish()
{
    if (!m_partial.isEmpty())
        pass(std::exchange(m_partial, {}));
}

void JournalLines::pass(const QByteArray& line)
{
    m_target.write('<' + QByteArray::number(int(std::exchange(m_priority, Priority::Info))) + '>' + line +
                   '\n');
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
        journal->finish();
    return exitCode;
}

} // namespace parlowen::cli
