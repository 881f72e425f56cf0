// Tests of what --if-changed remembers between runs: the state file, and the
// guard that keeps it from ever being the settings file or a pipe.
#include "cli/checkcommand.h"
#include "common/filesizelimit.h"
#include "profile/atomicfile.h"
#include "profile/regularfile.h"
#include "settings/laststate.h"
#include "settings/staterecordlock.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <optional>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parlowen;
using namespace parlowen::test;
using namespace parlowen::cli;

namespace {

const QByteArray SettingsBytes = "[Router settings]\nPassword=router secret\nIP=127.0.0.1\n"
                                 "[DNS settings]\nService URL=http://127.0.0.1:9/dyn.asp\n"
                                 "User=u\nPassword=service secret\nHost=h.example.net\n";

// addresses: the IPv4 address, and after a comma the IPv6 address sent with it.
LastAcceptance acceptance(const QString& addresses)
{
    return acceptanceOf({addresses.section(u',', 0, 0), addresses.section(u',', 1)},
                        QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC), "http://127.0.0.1:9/dyn.asp", "u",
                        "h.example.net");
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
    // Whether parlowen-check --if-changed refuses the state file at path as
    // bad usage, before it loads anything; err is what it said.
    bool theCommandRefuses(const QString& path, QByteArray& err) const
    {
        QByteArray out;
        QTextStream outStream(&out), errStream(&err);
        return run({"parlowen-check", "--if-changed", "--settings", settingsPath(), "--state", path}, outStream,
                   errStream) == int(ExitBadUsage);
    }

    // A process that takes the record's lock and is killed holding it.
    static void holdInAProcessThatIsKilled(const QString& path)
    {
        int held[2];
        QCOMPARE(::pipe(held), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            const auto lock = StateRecordLock::take(path, std::chrono::milliseconds{0});
            [[maybe_unused]] const ssize_t told = ::write(held[1], lock ? "y" : "n", 1);
            ::pause();
            ::_exit(0);
        }
        char taken = 0;
        QCOMPARE(::read(held[0], &taken, 1), ssize_t(1));
        ::close(held[0]);
        ::close(held[1]);
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        QCOMPARE(taken, 'y');
    }

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
        else if (kind == "link to a file")
            QCOMPARE(::symlink(native(m_dir->filePath("victim")).constData(), to.constData()), 0);
        else if (kind == "open folder" || kind == "sticky folder" || kind == "someone else's") {
            const QString folder = QFileInfo(path).absolutePath();
            QVERIFY(QDir().mkdir(folder));
            QCOMPARE(::chmod(native(folder).constData(), kind == "open folder" ? 0777 : 01777), 0);
            if (kind == "someone else's") {
                writeBytes(path, "planted");
                QCOMPARE(::chown(to.constData(), 65534, 65534), 0); // nobody
            }
        } else if (kind == "own group's folder" || kind == "shared group's folder") {
            const QString folder = QFileInfo(path).absolutePath();
            QVERIFY(QDir().mkdir(folder));
            QCOMPARE(::chmod(native(folder).constData(), 0770), 0);
            if (kind == "shared group's folder")
                QCOMPARE(::chown(native(folder).constData(), uid_t(-1), 65534), 0); // nogroup
        } else if (kind == "state file")
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
                                                        << "state" << int(StateFileError::IsALink);
        QTest::newRow("a link to another file, which stays as it is")
            << "link to a file"
            << "state" << int(StateFileError::IsALink);
        QTest::newRow("a folder others may write to")
            << "open folder"
            << "open/state" << int(StateFileError::FolderOpenToOthers);
        // With a group of one's own, umask 002 leaves every new folder so
        // (root's group is root's own).
        QTest::newRow("a folder only the user's own group may also write to") << "own group's folder"
                                                                              << "group/state" << -1;
        QTest::newRow("a folder a shared group may write to")
            << "shared group's folder"
            << "group/state" << int(StateFileError::FolderOpenToOthers);
        QTest::newRow("a sticky shared folder, no file yet") << "sticky folder"
                                                             << "shared/state" << -1;
        QTest::newRow("a sticky shared folder, the file another user's")
            << "someone else's"
            << "shared/state" << int(StateFileError::SomeoneElses);
        QTest::newRow("a state file written before") << "state file"
                                                     << "state" << -1;
    }
    void aStateFileIsRefusedWhereItWouldHarmOrWait()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(int, refusal);
        const QString path = m_dir->path() + '/' + name;
        if ((kind.contains("group's folder") || kind == "someone else's") && ::geteuid() != 0)
            QSKIP("only root can give a file or folder to another user or group");
        writeBytes(m_dir->filePath("victim"), "victim");
        make(kind, path);
        // As a killed save leaves them: unlocked, with our name pattern.
        const QStringList killedSaves{settingsPath() + TemporaryFileMarker + "a1B2c3",
                                      path + TemporaryFileMarker + "b2C3d4"};
        for (const QString& killed : killedSaves)
            writeBytes(killed, "Password=router secret");

        const auto usable = checkStateFile(path, settingsPath());
        QVERIFY2(usable.ok() == (refusal < 0), qPrintable(message(usable)));
        if (refusal < 0)
            return;
        QVERIFY2(usable.error() == StateFileError(refusal), qPrintable(message(usable)));
        // The command refuses before it loads anything.
        QByteArray err;
        QVERIFY2(theCommandRefuses(path, err), err.constData());
        QVERIFY2(QString::fromUtf8(err).contains(toString(StateFileError(refusal))), err.constData());
        for (const QString& killed : killedSaves)
            QVERIFY2(!QFileInfo::exists(killed), qPrintable(killed + " is still there"));
        // The window's write is refused alike.
        const auto written = writeLastAcceptance(path, settingsPath(), acceptance("203.0.113.8"));
        QVERIFY2(!written && written.error() == StateFileError(refusal), qPrintable(message(written)));
        QCOMPARE(readBytes(settingsPath()), SettingsBytes);
        QCOMPARE(readBytes(m_dir->filePath("victim")), QByteArray("victim"));
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
        QTest::newRow("now a link to another file") << "link to a file" << StateFileError::IsALink;
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

    // The rename replaces whatever has the name at that moment; nothing is
    // followed, however the name changes during the write.
    void aLinkSwappedInAndOutNeverLeadsToTheSettingsFile()
    {
        const QString path = m_dir->filePath("state");
        // Counts the swaps, so that every write overlaps one.
        auto* const swaps = static_cast<std::atomic<int>*>(::mmap(
            nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        QVERIFY(swaps != MAP_FAILED);
        const pid_t swapper = ::fork();
        if (swapper == 0) {
            const QByteArray state = native(path), link = state + ".link", plain = state + ".plain";
            for (;; ++*swaps) {
                // The link stays for a moment only, between two checks.
                ::symlink("Settings.ini", link.constData());
                ::close(::open(plain.constData(), O_WRONLY | O_CREAT, 0600));
                ::rename(link.constData(), state.constData());
                ::rename(plain.constData(), state.constData());
            }
        }
        for (int run = 0; run < 200; ++run) {
            for (const int seen = *swaps; *swaps == seen;)
                ::sched_yield();
            [[maybe_unused]] const auto written =
                writeLastAcceptance(path, settingsPath(), acceptance("203.0.113.7"));
        }
        ::kill(swapper, SIGKILL);
        ::waitpid(swapper, nullptr, 0);
        ::munmap(swaps, sizeof(std::atomic<int>));
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
        for (const char* folder : {"new", "new/folder"}) {
            QCOMPARE(::stat(native(m_dir->filePath(folder)).constData(), &status), 0);
            QCOMPARE(status.st_mode & 07777, mode_t(0700));
        }
        const auto read = readLastAcceptance(path);
        QVERIFY(read && read.value());
        QCOMPARE(read.value()->address, written.address);
        QCOMPARE(read.value()->acceptedAt, written.acceptedAt);
        QCOMPARE(read.value()->target, written.target);
        QVERIFY(readLastAcceptance(m_dir->filePath("absent")).value() == std::nullopt);
    }

    // The window and the command each save their half: the accepted update
    // and the gateway that answered. Neither save may cost the other's, and
    // a gateway's text from the network may not add a line of its own.
    void theUpdateAndTheGatewayAreKeptApart_data()
    {
        QTest::addColumn<QStringList>("saves"); // "update ADDRESS" or "gateway URL", in turn
        QTest::addColumn<QString>("address");   // of the accepted update read back; empty: none
        QTest::addColumn<QString>("gateway");
        QTest::newRow("a gateway alone") << QStringList{"gateway http://192.0.2.1:5000/ctl/IPConn"} << ""
                                         << "http://192.0.2.1:5000/ctl/IPConn";
        QTest::newRow("an update, then the gateway")
            << QStringList{"update 203.0.113.7", "gateway http://192.0.2.1:5000/ctl/IPConn"} << "203.0.113.7"
            << "http://192.0.2.1:5000/ctl/IPConn";
        QTest::newRow("the gateway, then an update")
            << QStringList{"gateway http://192.0.2.1:5000/ctl/IPConn", "update 203.0.113.7"} << "203.0.113.7"
            << "http://192.0.2.1:5000/ctl/IPConn";
        QTest::newRow("a new gateway replaces the old one")
            << QStringList{"gateway http://192.0.2.1:5000/a", "update 203.0.113.7",
                           "gateway http://192.0.2.1:80/b"}
            << "203.0.113.7"
            << "http://192.0.2.1:80/b";
        QTest::newRow("a gateway's line break and a key after it")
            << QStringList{"update 203.0.113.7",
                           "gateway http://192.0.2.1/x\ntarget=forged\naddress=198.51.100.1"}
            << "203.0.113.7"
            << "http://192.0.2.1/x\ntarget=forged\naddress=198.51.100.1";
        // A check holds the record from its decision to its save: the
        // window's save and a gateway's are not made meanwhile.
        QTest::newRow("neither half is saved while a check holds the record")
            << QStringList{"update 203.0.113.7", "gateway http://192.0.2.1:5000/a", "hold", "update 203.0.113.8",
                           "gateway http://192.0.2.1:80/b"}
            << "203.0.113.7"
            << "http://192.0.2.1:5000/a";
        QTest::newRow("both are saved once the check lets go")
            << QStringList{"hold", "update 203.0.113.7", "let go", "update 203.0.113.8",
                           "gateway http://192.0.2.1:80/b"}
            << "203.0.113.8"
            << "http://192.0.2.1:80/b";
        QTest::newRow("both addresses of an update, then the gateway")
            << QStringList{"update 203.0.113.7,2001:db8:1::10", "gateway http://192.0.2.1:80/b"}
            << "203.0.113.7,2001:db8:1::10"
            << "http://192.0.2.1:80/b";
        QTest::newRow("an update of IPv6 alone")
            << QStringList{"gateway http://192.0.2.1:80/b", "update ,2001:db8:1::10"} << ",2001:db8:1::10"
            << "http://192.0.2.1:80/b";
        QTest::newRow("an update without IPv6 forgets the IPv6 address of the one before")
            << QStringList{"update 203.0.113.7,2001:db8:1::10", "update 203.0.113.8"} << "203.0.113.8"
            << "";
        QTest::newRow("an IPv6 address's line break and a key after it")
            << QStringList{"update 203.0.113.7,2001:db8::1\naddress=198.51.100.1"}
            << "203.0.113.7,2001:db8::1\naddress=198.51.100.1"
            << "";
        QTest::newRow("a check killed while it held the record holds it no more")
            << QStringList{"hold and be killed", "update 203.0.113.7", "gateway http://192.0.2.1:80/b"}
            << "203.0.113.7"
            << "http://192.0.2.1:80/b";
    }
    void theUpdateAndTheGatewayAreKeptApart()
    {
        QFETCH(QStringList, saves);
        const QString path = m_dir->filePath("state");
        const QString serviceType = QStringLiteral("urn:schemas-upnp-org:service:WANIPConnection:1");
        std::optional<StateRecordLock> otherCheck; // a lock of its own, as another process's would be
        for (const QString& save : saves) {
            if (save == "hold") {
                otherCheck.emplace(StateRecordLock::take(path, std::chrono::milliseconds{0}).value());
                continue;
            }
            if (save == "let go") {
                otherCheck.reset();
                continue;
            }
            if (save == "hold and be killed") {
                holdInAProcessThatIsKilled(path);
                continue;
            }
            const QString value = save.section(u' ', 1);
            const auto saved = save.startsWith(QStringLiteral("update"))
                                   ? writeLastAcceptance(path, settingsPath(), acceptance(value))
                                   : rememberGateway(path, settingsPath(), value, serviceType);
            if (otherCheck) {
                QVERIFY2(!saved && saved.error() == StateFileError::Busy, qPrintable(message(saved)));
                QVERIFY2(notRememberedWarning(saved.failure()).contains("another check was sending an update"),
                         qPrintable(notRememberedWarning(saved.failure())));
            } else {
                QVERIFY2(saved, qPrintable(message(saved)));
            }
        }
        const auto read = readLastAcceptance(path);
        QVERIFY2(read && read.value(), qPrintable(QString::fromUtf8(readBytes(path))));
        const LastAcceptance& last = *read.value();
        QFETCH(QString, address);
        QCOMPARE(last.hasAcceptance(), !address.isEmpty());
        QCOMPARE(last.address, address.section(u',', 0, 0));
        QCOMPARE(last.ipv6Address, address.section(u',', 1));
        if (last.hasAcceptance())
            QCOMPARE(last.target, acceptance(address).target);
        QTEST(last.gatewayControlUrl, "gateway");
        QCOMPARE(last.gatewayServiceType, last.gatewayControlUrl.isEmpty() ? QString() : serviceType);
    }

    void aFileThisProgramDidNotWriteIsNotTrusted_data()
    {
        QTest::addColumn<QByteArray>("content"); // or else a record this program wrote
        QTest::addColumn<qint64>("size");        // made so large, sparse, after content; or 0
        QTest::addColumn<QString>("reason");
        QTest::newRow("the settings file's kind of text") << SettingsBytes << qint64(0) << "";
        QTest::newRow("a state file without its target")
            << QByteArray("accepted=2026-12-01T08:00:00Z\n") << qint64(0) << "";
        QTest::newRow("a large file") << QByteArray(100'000, 'x') << qint64(0) << "";
        // A record at its start would be read were the file read at all.
        QTest::newRow("a file larger than any settings file, left unread")
            << QByteArray() << LargestSettingsFile + 1 << "more than the 1 MiB read here";
        QTest::newRow("a file of 1 GiB, left unread")
            << QByteArray() << (qint64(1) << 30) << "it holds 1,073,741,824 bytes";
    }
    void aFileThisProgramDidNotWriteIsNotTrusted()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, size);
        QFETCH(QString, reason);
        const QString path = m_dir->filePath("state");
        if (content.isEmpty())
            make("state file", path);
        else
            writeBytes(path, content);
        if (size > 0)
            QCOMPARE(::truncate(native(path).constData(), size), 0);
        const auto read = readLastAcceptance(path);
        QVERIFY(!read);
        QVERIFY2(read.error() == StateFileError::NotOurs, qPrintable(message(read)));
        QVERIFY2(message(read).contains(reason), qPrintable(message(read)));
        // The command names it and what to do, in two lines, before it
        // loads anything, and leaves it as it is.
        QByteArray err;
        QVERIFY2(theCommandRefuses(path, err), err.constData());
        const QString advice = "If it is the state file, remove it: the next accepted update writes it anew. "
                               "Otherwise give --state another file.\n";
        const QString named = "parlowen-check: --if-changed: " + QString::fromLocal8Bit(native(path));
        if (reason.isEmpty())
            QCOMPARE(QString::fromUtf8(err),
                     named + " is damaged, or is not a state file this program wrote.\n" + advice);
        else
            QVERIFY2(QString::fromUtf8(err).startsWith(named + ": ") && QString::fromUtf8(err).contains(reason) &&
                         QString::fromUtf8(err).endsWith(")\n" + advice),
                     err.constData());
        // Compared by size alone where reading it back would cost its size.
        if (size == 0)
            QCOMPARE(readBytes(path), content);
        else
            QCOMPARE(QFileInfo(path).size(), size);
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
