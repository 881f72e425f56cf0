#pragma once
// When the command's output goes to the systemd journal, each line carries a
// syslog priority, so that "journalctl -p warning" shows the failed runs of
// the timer, and why, and nothing else.

#include <QByteArray>
#include <QIODevice>
#include <QTextStream>

#include <functional>

namespace parlowen::cli {

// True when the file descriptor is the journal stream that systemd names in
// JOURNAL_STREAM ("<device>:<inode>", in decimal).
bool isJournalStream(int fileDescriptor, const QByteArray& journalStream);

// The syslog priorities the command's lines carry.
enum class Priority { Error = 3, Warning = 4, Info = 6 };

// Passes each line on to target as soon as its line break comes, with a
// priority prefix: the one set for it by whoever wrote it, <6> otherwise.
// A line that says why a run failed is known to be that when it is written,
// so a run that is killed halfway loses no line. Every line gets a prefix,
// so that text from outside (a page printed by --page-text) can never set a
// priority of its own.
class JournalLines : public QIODevice {
public:
    explicit JournalLines(QIODevice& target);

    // For the next line written; later lines are <6> again.
    void setPriority(Priority priority) { m_priority = priority; }
    // Passes on a last line that has no line break.
    void finish();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    void pass(const QByteArray& line);

    QIODevice& m_target;
    QByteArray m_partial;
    Priority m_priority = Priority::Info;
};

// Runs body with streams on standard output and standard error, UTF-8, each
// going through JournalLines where it is the journal. Returns body's result.
int withConsoleStreams(const std::function<int(QTextStream& out, QTextStream& err)>& body);

} // namespace parlowen::cli
