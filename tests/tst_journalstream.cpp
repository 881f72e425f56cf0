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
    // Each write is "N|text": the priority its writer sets first (none when
    // N is empty), then the text.
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("the steps of a run that succeeds are information")
        << QStringList{"|Router page: loaded (HTTP 200)\n", "|The IP has been received\n"}
        << QByteArray("<6>Router page: loaded (HTTP 200)\n<6>The IP has been received\n");
    QTest::newRow("a warning is a warning")
        << QStringList{"4|Warning: 10.0.0.7 is private\n", "|The IP has been received\n"}
        << QByteArray("<4>Warning: 10.0.0.7 is private\n<6>The IP has been received\n");
    QTest::newRow("the line that says why a run failed is an error")
        << QStringList{"|Router page: loaded (HTTP 200)\n", "3|WAN address: none: no such line\n"}
        << QByteArray("<6>Router page: loaded (HTTP 200)\n<3>WAN address: none: no such line\n");
    QTest::newRow("every problem with the settings is an error")
        << QStringList{"3|Settings: the router address is empty.\n", "3|Settings: the host name is empty.\n"}
        << QByteArray("<3>Settings: the router address is empty.\n<3>Settings: the host name is empty.\n");
    // As the command writes a refused update: the answer, why, the verdict.
    QTest::newRow("the reason and the failed verdict are errors, the answer they explain is not")
        << QStringList{"|Answer: HTTP 200: \"badauth\"\n", "3|Reason: The provider refused the update\n",
                       "3|Error in sending IP\n"}
        << QByteArray("<6>Answer: HTTP 200: \"badauth\"\n<3>Reason: The provider refused the update\n"
                      "<3>Error in sending IP\n");
    QTest::newRow("a priority holds for one line only")
        << QStringList{"3|Settings: unusable\nUsage: parlowen-check\n"}
        << QByteArray("<3>Settings: unusable\n<6>Usage: parlowen-check\n");
    QTest::newRow("after a usage error the help text is information")
        << QStringList{"3|Unknown option 'x'.\n", "|\nUsage: parlowen-check [options]\n  -h, --help\n"}
        << QByteArray("<3>Unknown option 'x'.\n<6>\n<6>Usage: parlowen-check [options]\n<6>  -h, --help\n");
    QTest::newRow("a line written in pieces is one line")
        << QStringList{"|Answer: HTTP ", "|200: good", "|\n"} << QByteArray("<6>Answer: HTTP 200: good\n");
    QTest::newRow("a last line without a line break still gets one")
        << QStringList{"3|Error in sending IP"} << QByteArray("<3>Error in sending IP\n");
    QTest::newRow("text from outside cannot give itself a priority")
        << QStringList{"|<0>WAN IP is 192.0.2.1\n"} << QByteArray("<6><0>WAN IP is 192.0.2.1\n");
    QTest::newRow("letters beyond ASCII pass unchanged")
        << QStringList{"3|Settings: no settings file at /home/jörg/Settings.ini.\n"}
        << QByteArray("<3>Settings: no settings file at /home/jörg/Settings.ini.\n");
    QTest::newRow("a run that writes nothing writes nothing") << QStringList{} << QByteArray();
}

void TestJournalStream::linesCarryTheirPriority()
{
    QFETCH(QStringList, writes);
    QFETCH(QByteArray, expected);
    QBuffer journal;
    QVERIFY(journal.open(QIODevice::WriteOnly));
    JournalLines lines(journal);
    QTextStream stream(&lines);
    stream.setEncoding(QStringConverter::Utf8);
    for (const QString& write : writes) {
        const QString priority = write.section(u'|', 0, 0);
        if (!priority.isEmpty())
            lines.setPriority(Priority(priority.toInt()));
        stream << write.section(u'|', 1);
        stream.flush();
    }
    // A whole line is in the journal at once, before the run ends: a run
    // killed by its unit's timeout loses nothing it said.
    if (writes.isEmpty() || writes.constLast().endsWith(u'\n'))
        QCOMPARE(journal.data(), expected);
    lines.finish();
    QCOMPARE(journal.data(), expected);
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
