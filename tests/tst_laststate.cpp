// Tests of what --if-changed remembers between runs: the state file, and the
// guard that keeps it from ever being the settings file or a pipe.
#include "cli/checkcommand.h"
#include "common/filesizelimit.h"
#include "settings/laststate.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace parlowen;
using namespace parlowen::test;
using namespace parlowen::cli;

namespace {

const QByteArray SettingsBytes = "[Router settings]\nPassword=router secret\nIP=127.0.0.1\n"
                                 "[DNS settings]\nService URL=http://127.0.0.1:9/dyn.asp\n"
                                 "User=u\nPassword=service secret\nHost=h.example.net\n";

LastAcceptance acceptance(const QString& address)
{
    return {address, QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC), "h.example.net",
            updateTarget("http://127.0.0.1:9/dyn.asp", "u", "h.example.net")};
}

template <typename T> QString message(const Result<T, StateFileError>& result)
{
    return result ? QStringLiteral("no failure") : result.failure().message();
}

} // namespace

class TestLastState : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString settingsPath() const { return m_dir->filePath("Settings.ini"); }

    // Makes what kind names at path: links, pipes and folders, a state file.
    void make(const QString& kind, const QString& path)
    {
        const QByteArray to = native(path);
        if (kind == "symbolic link")
            QCOMPARE(::symlink("Settings.ini", to.constData()), 0);
        else if (kind == "link to a link") {
            QCOMPARE(::symlink(native(settingsPath()).constData(), native(path + ".first").constData()), 0);
            QCOMPARE(::symlink(native(path + ".first").constData(), to.constData()), 0);
        } else if (kind == "hard link")
            QCOMPARE(::link(native(settingsPath()).constData(), to.constData()), 0);
        else if (kind == "pipe")
            QCOMPARE(::mkfifo(to.constData(), 0600), 0);
        else if (kind == "link to a pipe") {
            QCOMPARE(::mkfifo(native(path + ".pipe").constData(), 0600), 0);
            QCOMPARE(::symlink(native(path + ".pipe").constData(), to.constData()), 0);
        } else if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == "link to nowhere")
            QCOMPARE(::symlink("absent/state", to.constData()), 0);
        else if (kind == "state file")
            QVERIFY(writeLastAcceptance(path, settingsPath(), acceptance("203.0.113.7")));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        writeBytes(settingsPath(), SettingsBytes);
    }

    void aStateFileIsRefusedWhereItWouldHarmOrWait_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("refusal"); // a StateFileError, or -1: usable
        const int settings = int(StateFileError::IsTheSettingsFile), notAFile = int(StateFileError::NotAFile);
        QTest::newRow("the settings file by another spelling") << ""
                                                               << "./Settings.ini" << settings;
        QTest::newRow("a symbolic link to the settings file") << "symbolic link"
                                                              << "state" << settings;
        QTest::newRow("a link to a link to the settings file") << "link to a link"
                                                               << "state" << settings;
        QTest::newRow("a hard link to the settings file") << "hard link"
                                                          << "state" << settings;
        QTest::newRow("a pipe, which would be waited on forever") << "pipe"
                                                                  << "state" << notAFile;
        QTest::newRow("a link to a pipe") << "link to a pipe"
                                          << "state" << notAFile;
        QTest::newRow("a folder") << "folder"
                                  << "state" << notAFile;
        QTest::newRow("no file yet") << ""
                                     << "state" << -1;
        QTest::newRow("a link to where no file is yet") << "link to nowhere"
                                                        << "state" << -1;
        QTest::newRow("a state file written before") << "state file"
                                                     << "state" << -1;
    }
    void aStateFileIsRefusedWhereItWouldHarmOrWait()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(int, refusal);
        const QString path = m_dir->path() + '/' + name;
        make(kind, path);

        const auto usable = checkStateFile(path, settingsPath());
        QVERIFY2(usable.ok() == (refusal < 0), qPrintable(message(usable)));
        if (refusal < 0)
            return;
        QVERIFY2(usable.error() == StateFileError(refusal), qPrintable(message(usable)));
        // The command refuses before it loads anything.
        QByteArray out, err;
        QTextStream outStream(&out), errStream(&err);
        const int exitCode =
            run({"parlowen-check", "--if-changed", "--settings", settingsPath(), "--state", path}, outStream,
                errStream);
        QCOMPARE(exitCode, int(ExitBadUsage));
        QVERIFY2(QString::fromUtf8(err).contains(toString(StateFileError(refusal))), err.constData());
        QCOMPARE(readBytes(settingsPath()), SettingsBytes);
    }

    // Either file may change while the check runs: the state file is checked
    // again when the address is to be remembered.
    void aStateFileThatTurnsHarmfulDuringTheCheckIsNotWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<StateFileError>("refusal");
        QTest::newRow("now a symbolic link to the settings file")
            << "symbolic link" << StateFileError::IsTheSettingsFile;
        QTest::newRow("now a hard link to the settings file")
            << "hard link" << StateFileError::IsTheSettingsFile;
        QTest::newRow("now a pipe") << "pipe" << StateFileError::NotAFile;
    }
    void aStateFileThatTurnsHarmfulDuringTheCheckIsNotWritten()
    {
        QFETCH(QString, kind);
        QFETCH(StateFileError, refusal);
        const QString path = m_dir->filePath("state");
        QVERIFY(checkStateFile(path, settingsPath()));
        make(kind, path);
        const auto written = writeLastAcceptance(path, settingsPath(), acceptance("203.0.113.7"));
        QVERIFY(!written);
        QVERIFY2(written.error() == refusal, qPrintable(message(written)));
        QCOMPARE(readBytes(settingsPath()), SettingsBytes);
    }

    void readingAPipeDoesNotWait()
    {
        const QString path = m_dir->filePath("state");
        make("pipe", path);
        const auto read = readLastAcceptance(path);
        QVERIFY(!read);
        QVERIFY2(read.error() == StateFileError::NotAFile, qPrintable(message(read)));
    }

    void whatIsWrittenIsReadBack()
    {
        const QString path = m_dir->filePath("new/folder/state");
        const mode_t oldMask = ::umask(0);
        const LastAcceptance written = acceptance("203.0.113.7\r\nx=1");
        const auto saved = writeLastAcceptance(path, settingsPath(), written);
        ::umask(oldMask);
        QVERIFY2(saved, qPrintable(message(saved)));
        // It says where the owner's host points: nobody else's business.
        struct stat status = {};
        QCOMPARE(::stat(native(path).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0600));
        const auto read = readLastAcceptance(path);
        QVERIFY(read && read.value());
        QCOMPARE(read.value()->address, written.address);
        QCOMPARE(read.value()->acceptedAt, written.acceptedAt);
        QCOMPARE(read.value()->target, written.target);
        QVERIFY(readLastAcceptance(m_dir->filePath("absent")).value() == std::nullopt);
    }

    void aFileThisProgramDidNotWriteIsNotTrusted_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("the settings file's kind of text") << SettingsBytes;
        QTest::newRow("a state file without its target") << QByteArray("accepted=2026-12-01T08:00:00Z\n");
        QTest::newRow("a huge file") << QByteArray(100'000, 'x');
    }
    void aFileThisProgramDidNotWriteIsNotTrusted()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir->filePath("state");
        writeBytes(path, content);
        const auto read = readLastAcceptance(path);
        QVERIFY(!read);
        QVERIFY2(read.error() == StateFileError::NotOurs, qPrintable(message(read)));
    }

    // A state file cut short would make the next run send again, every time
    // on a full disk: the pattern providers punish.
    void aStateFileThatCannotBeWrittenWholeKeepsTheLastOne()
    {
        const QString path = m_dir->filePath("state");
        QVERIFY(writeLastAcceptance(path, settingsPath(), acceptance("203.0.113.7")));
        const QByteArray before = readBytes(path);
        makeFileSizeLimitAnError(); // as the programs do first thing
        struct rlimit old = {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const struct rlimit limited = {16, old.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const auto written = writeLastAcceptance(path, settingsPath(), acceptance("203.0.113.8"));
        ::setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!written);
        QVERIFY2(written.error() == StateFileError::Unwritable, qPrintable(message(written)));
        QVERIFY2(written.failure().message().contains("File too large"), qPrintable(message(written)));
        QCOMPARE(readBytes(path), before);
    }
};

QTEST_GUILESS_MAIN(TestLastState)
#include "tst_laststate.moc"
