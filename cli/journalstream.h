#pragma once
// When the command's output goes to the systemd journal, each line carries a
// syslog priority, so that "journalctl -p warning" shows the failed runs of
// the timer and nothing else.

#include <QByteArray>
#include <QIODevice>
#include <QTextStream>

#include <functional>

namespace parlowen::cli {

// True when the file descriptor is the journal stream that systemd names in
// JOURNAL_STREAM ("<device>:<inode>", in decimal).
bool isJournalStream(int fileDescriptor, const QByteArray& journalStream);

// Passes lines on to target with a priority prefix: <4> for a warning, <6>
// for a step or a result, and <3> for the lines that say why a run failed.
// Those are the lines that begin "Reason:", the last line written before a
// failed end (the help text after
// a usage error aside) and the lines just before it on the same topic (the
// words before the first colon, as in "Settings: ..."). So lines wait until
// one on another topic comes or finish() tells how the run ended.
class JournalLines : public QIODevice {
public:
    explicit JournalLines(QIODevice& target);

    void finish(int exitCode);

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    void takeLine(const QByteArray& line);
    void release(int failedExitCode);

    QIODevice& m_target;
    QByteArray m_partial;
    QList<QByteArray> m_held; // lines on one topic
    QList<QByteArray> m_tail; // the lines from a blank line on: help text
};

// Runs body with streams on standard output and standard error, UTF-8, each
// going through JournalLines where it is the journal. Returns body's result.
int withConsoleStreams(const std::function<int(QTextStream& out, QTextStream& err)>& body);

} // namespace parlowen::cli
