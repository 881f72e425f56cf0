// The command's lines as the journal receives them: each with the priority
// that lets "journalctl -p warning" pick out the failed runs.
#include "cli/journalstream.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QTest>

#include <sys/stat.h>

using namespace parlowen::cli;

class TestJournalStream : public QObject {
    Q_OBJECT
private slots:
    void linesCarryTheirPriority_data();
    void linesCarryTheirPriority();
    void theJournalIsKnownByDeviceAndInode_data();
    void theJournalIsKnownByDeviceAndInode();
};

void TestJournalStream::linesCarryTheirPriority_data()
{
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("the steps of a run that succeeds are information")
        << QStringList{"Router page: loaded (HTTP 200)\n", "The IP has been received\n"} << 0
        << QByteArray("<6>Router page: loaded (HTTP 200)\n<6>The IP has been received\n");
    QTest::newRow("a warning is a warning")
        << QStringList{"Warning: 10.0.0.7 is private\n", "The IP has been received\n"} << 0
        << QByteArray("<4>Warning: 10.0.0.7 is private\n<6>The IP has been received\n");
    QTest::newRow("the line before a failed end says why, as an error")
        << QStringList{"Router page: loaded (HTTP 200)\n", "WAN address: none: no such line\n"} << 2
        << QByteArray("<6>Router page: loaded (HTTP 200)\n<3>WAN address: none: no such line\n");
    QTest::newRow("every problem with the settings is an error")
        << QStringList{"Settings: the router address is empty.\n", "Settings: the host name is empty.\n"} << 3
        << QByteArray("<3>Settings: the router address is empty.\n<3>Settings: the host name is empty.\n");
    QTest::newRow("an earlier line on the failure's topic is an error too")
        << QStringList{"Router page: loading http://127.0.0.1/\n", "Router page: not loaded: refused\n"} << 2
        << QByteArray("<3>Router page: loading http://127.0.0.1/\n<3>Router page: not loaded: refused\n");
    QTest::newRow("lines on one topic are information when the run succeeds")
        << QStringList{"Router page: loading\n", "Router page: loaded\n", "The IP has been received\n"} << 0
        << QByteArray("<6>Router page: loading\n<6>Router page: loaded\n<6>The IP has been received\n");
    // As the command writes a refused update: the answer, why, the verdict.
    QTest::newRow("the reason before a failed verdict is an error, the answer it explains is not")
        << QStringList{"Answer: HTTP 200: \"badauth\"\n", "Reason: The provider refused the update\n",
                       "Error in sending IP\n"}
        << 1
        << QByteArray("<6>Answer: HTTP 200: \"badauth\"\n<3>Reason: The provider refused the update\n"
                      "<3>Error in sending IP\n");
    QTest::newRow("a warning that ends a failed run is an error")
        << QStringList{"Warning: disk full\n"} << 1 << QByteArray("<3>Warning: disk full\n");
    QTest::newRow("after a usage error the help text is not the error")
        << QStringList{"Unknown option 'x'.\n", "\nUsage: parlowen-check [options]\n  -h, --help\n"} << 3
        << QByteArray("<3>Unknown option 'x'.\n<6>\n<6>Usage: parlowen-check [options]\n<6>  -h, --help\n");
    QTest::newRow("a line written in pieces is one line")
        << QStringList{"Answer: HTTP ", "200: good", "\n"} << 0 << QByteArray("<6>Answer: HTTP 200: good\n");
    QTest::newRow("a last line without a line break still gets one")
        << QStringList{"Error in sending IP"} << 1 << QByteArray("<3>Error in sending IP\n");
    QTest::newRow("letters beyond ASCII pass unchanged")
        << QStringList{"Settings: no settings file at /home/jörg/Settings.ini.\n"} << 3
        << QByteArray("<3>Settings: no settings file at /home/jörg/Settings.ini.\n");
    QTest::newRow("a run that writes nothing writes nothing") << QStringList{} << 1 << QByteArray();
}

void TestJournalStream::linesCarryTheirPriority()
{
    QFETCH(QStringList, writes);
    QFETCH(int, exitCode);
    QBuffer journal;
    QVERIFY(journal.open(QIODevice::WriteOnly));
    JournalLines lines(journal);
    QTextStream stream(&lines);
    stream.setEncoding(QStringConverter::Utf8);
    for (const QString& piece : writes) {
        stream << piece;
        stream.flush();
    }
    lines.finish(exitCode);
    QTEST(journal.data(), "expected");
}

void TestJournalStream::theJournalIsKnownByDeviceAndInode_data()
{
    QTest::addColumn<QString>("journalStream");
    QTest::addColumn<bool>("expected");
    QTest::newRow("the file's own device and inode") << "{device}:{inode}" << true;
    QTest::newRow("another inode on the same device") << "{device}:{otherInode}" << false;
    QTest::newRow("not set") << "" << false;
    QTest::newRow("not two numbers") << "{device}" << false;
    QTest::newRow("a third part") << "{device}:{inode}:1" << false;
    QTest::newRow("words instead of numbers") << "dev:ino" << false;
}

void TestJournalStream::theJournalIsKnownByDeviceAndInode()
{
    QFETCH(QString, journalStream);
    QTemporaryFile file;
    QVERIFY(file.open());
    struct stat status {};
    QCOMPARE(::fstat(file.handle(), &status), 0);
    journalStream.replace("{device}", QString::number(status.st_dev))
        .replace("{inode}", QString::number(status.st_ino))
        .replace("{otherInode}", QString::number(status.st_ino + 1));
    QTEST(isJournalStream(file.handle(), journalStream.toLatin1()), "expected");
}

QTEST_GUILESS_MAIN(TestJournalStream)
#include "tst_journalstream.moc"
