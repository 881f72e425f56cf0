// Settings as the window saves them at every close: only what changed, in
// one replacement of the whole file that no kill can leave half done and no
// read sees half written, and a failed save told with what to do. Runs
// inside a private network namespace: a window with a settings file loads
// the router page at once.
#include "app/form1.h"
#include "profile/atomicfile.h"
#include "settings/module1.h"
#include "settings/settingkeys.h"
#include "support/settingsfields.h"
#include "support/messageboxwatcher.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>

#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parlowen;
using namespace parlowen::test;

namespace {
// The window's fields in the order of the settings table.
const char* const FieldNames[] = {"txtRouterPass", "txtRouterIP",    "txtService",
                                  "txtUserName",   "txtServicePass", "txtHost"};

// Two sets of the six settings in which every value differs, so that any mix shows.
const QStringList FirstSet{"old router pw", "127.0.0.1",      "http://127.0.0.1:9/a",
                           "alice",         "old service pw", "a.net"};
const QStringList SecondSet{"new router pw", "127.0.0.2",      "http://127.0.0.1:9/bb",
                            "bob",           "new service pw", "b.org"};

// A process that saves the two sets in turn until it is killed, or its parent ends.
pid_t startSavingInTurn(Module1& module)
{
    const pid_t saver = ::fork();
    if (saver == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        for (bool odd = true;; odd = !odd)
            [[maybe_unused]] const auto saved = module.WriteSettings(entriesOf(odd ? SecondSet : FirstSet));
    }
    return saver;
}

// Counts the renames onto a file's name in its folder, one for each save
// that replaced it, and the writes to it in place.
class ReplacementCounter {
public:
    explicit ReplacementCounter(const QString& folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          m_watch(inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_MODIFY))
    {}
    ~ReplacementCounter() { ::close(m_fd); }
    bool isValid() const { return m_fd >= 0 && m_watch >= 0; }

    // Files moved into place under that name since the start, and writes to
    // a file of that name where it stands.
    int count(const QByteArray& name)
    {
        int replacements = 0;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t size; (size = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (const char* at = buffer; at < buffer + size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && name == event->name)
                    ++replacements;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return replacements;
    }

private:
    int m_fd;
    int m_watch;
};
} // namespace

class TestSettingsSave : public QObject, private SettingsFolder {
    Q_OBJECT
private slots:
    void init() { makeFolder(); }
    void aCloseChangesOnlyItsOwnValue_data();
    void aCloseChangesOnlyItsOwnValue();
    void aCloseSavesOnceWithTheBytesOfSixSingleWrites_data();
    void aCloseSavesOnceWithTheBytesOfSixSingleWrites();
    void aSaveKilledAnyMomentLeavesTheOldSettingsOrTheNew();
    void readsDuringSavesGetOneWholeFile();
    void writeSettingIsNonzeroExactlyWhenTheValueIsStored();
    void aFailedSaveIsReportedAndTheWindowStillCloses_data();
    void aFailedSaveIsReportedAndTheWindowStillCloses();
};

void TestSettingsSave::aCloseChangesOnlyItsOwnValue_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    // The router's password changes beside the provider's of the same key.
    const QByteArray file =
        "; written by hand\n[Router settings]\n# the lab router\nPassword=old\n"
        "IP=127.0.0.1\nComment=kept\nUPnP=no\n\n[Unknown section]\nKey=value\n[DNS settings]\n"
        "Service URL=http://127.0.0.1:9/dyn.asp\nUser=u\nPassword=spw\nHost=h.example.net\n";
    const QByteArray changed = QByteArray(file).replace("Password=old", "Password=new");
    QTest::newRow("a file with LF line ends") << file << changed;
    QTest::newRow("a file with lone CR line ends")
        << QByteArray(file).replace('\n', '\r') << QByteArray(changed).replace('\n', '\r');
    QTest::newRow("a file in UTF-16")
        << utf16(QByteArray(file).replace("\n", "\r\n")) << utf16(QByteArray(changed).replace("\n", "\r\n"));
}

void TestSettingsSave::aCloseChangesOnlyItsOwnValue()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    writeBytes(settingsPath(), before);
    {
        Form1 form(m_dir->path());
        field(form, "txtRouterPass")->setText("new");
        form.close();
    }
    QCOMPARE(readBytes(settingsPath()), after);
}

void TestSettingsSave::aCloseSavesOnceWithTheBytesOfSixSingleWrites_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::newRow("no file yet") << QByteArray();
    QTest::newRow("a file holding some of the keys, in other sections too")
        << QByteArray("[DNS settings]\r\nHost=old\r\n[Mine]\r\nX=1\r\n[Router settings]\r\nIP=127.0.0.1\r\n");
    // The close turns the file into UTF-8 once "密码" cannot be written in
    // the Windows code page; the keys saved before that must not differ.
    QTest::newRow("a Windows-1252 file the new values move to UTF-8")
        << QByteArray("[Router settings]\nPassword=\xe9\nIP=127.0.0.1\n[DNS settings]\nUser=J\xf6rg\n");
    QTest::newRow("a UTF-16 file") << utf16("[Router settings]\r\nIP=127.0.0.1\r\n");
    // Every close saves, even one that changes nothing.
    QTest::newRow("a file that already holds all six")
        << QByteArray("[Router settings]\nPassword=rpw\nIP=127.0.0.1\n[DNS settings]\n"
                      "Service URL=http://127.0.0.1:9/dyn.asp\nUser=alice\nPassword=\xE5\xAF\x86\xE7\xA0\x81\n"
                      "Host=h.example.net\n");
}

void TestSettingsSave::aCloseSavesOnceWithTheBytesOfSixSingleWrites()
{
    QFETCH(QByteArray, before);
    const QString oneByOne = m_dir->filePath("one-by-one.ini");
    if (!before.isNull()) {
        writeBytes(settingsPath(), before);
        writeBytes(oneByOne, before);
    }
    const QStringList values{"rpw",   "127.0.0.1", "http://127.0.0.1:9/dyn.asp",
                             "alice", "密码",      "h.example.net"};
    Module1 module;
    module.SetSettingsFile(oneByOne);
    for (const ProfileEntry& entry : entriesOf(values))
        QVERIFY(module.WriteSetting(entry.value, entry.section, entry.key));

    ReplacementCounter replacements(m_dir->path());
    QVERIFY(replacements.isValid());
    {
        Form1 form(m_dir->path());
        for (int i = 0; i < 6; ++i)
            field(form, FieldNames[i])->setText(values[i]);
        form.close();
    }
    QCOMPARE(replacements.count("Settings.ini"), 1);
    QCOMPARE(readBytes(settingsPath()), readBytes(oneByOne));
}

// A save killed at any moment, a few hundred times: the file holds all of
// one set of six settings or all of the other, and the next save removes
// whatever temporary file, passwords and all, the killed one left.
void TestSettingsSave::aSaveKilledAnyMomentLeavesTheOldSettingsOrTheNew()
{
    const QStringList& first = FirstSet;
    const QStringList& second = SecondSet;
    Module1 module;
    module.SetSettingsFile(settingsPath());
    QVERIFY(module.WriteSettings(entriesOf(second)));
    const QByteArray secondBytes = readBytes(settingsPath());
    QVERIFY(module.WriteSettings(entriesOf(first)));
    const QByteArray firstBytes = readBytes(settingsPath());

    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> microseconds(0, 40'000);
    constexpr int Trials = 300;
    int killedWithATemporaryFile = 0;
    for (int trial = 0; trial < Trials; ++trial) {
        const pid_t saver = startSavingInTurn(module);
        ::usleep(useconds_t(microseconds(random)));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);

        const QByteArray now = readBytes(settingsPath());
        QVERIFY2(now == firstBytes || now == secondBytes,
                 qPrintable(QString("trial %1:\n%2").arg(trial).arg(now)));
        const QStringList left =
            QDir(m_dir->path())
                .entryList({"Settings.ini" + QString(TemporaryFileMarker) + "*"}, QDir::Files | QDir::Hidden);
        killedWithATemporaryFile += left.isEmpty() ? 0 : 1;
        // Saving what the file already holds changes nothing, but still clears up.
        QVERIFY(module.WriteSettings(entriesOf(now == firstBytes ? first : second)));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Settings.ini"});
    }
    qInfo("%d saves killed; %d of them in the middle, leaving a temporary file; none lost or mixed", Trials,
          killedWithATemporaryFile);
    QVERIFY2(killedWithATemporaryFile > 0, "no kill came during a save, so this proved nothing");
}

void TestSettingsSave::readsDuringSavesGetOneWholeFile()
{
    const QStringList& first = FirstSet;
    const QStringList& second = SecondSet;
    Module1 module;
    module.SetSettingsFile(settingsPath());
    QVERIFY(module.WriteSettings(entriesOf(first)));
    const pid_t saver = startSavingInTurn(module);
    // Read as parlowen-check and the window read, and for comparison a key
    // at a time, as they once did.
    constexpr int Reads = 1500;
    int wholeFirst = 0, wholeSecond = 0, mixed = 0, mixedByKey = 0;
    for (int read = 0; read < Reads; ++read) {
        const auto values = module.ReadSettings();
        QStringList got;
        if (values && values.value()) {
            for (const SettingKey& key : SettingKeys)
                got << (*values.value())[key.setting];
        }
        wholeFirst += got == first;
        wholeSecond += got == second;
        mixed += got != first && got != second;
        QStringList byKey;
        for (const SettingKey& key : SettingKeys)
            byKey << module.ReadSetting(key.section.toString(), key.key.toString());
        mixedByKey += byKey != first && byKey != second;
    }
    ::kill(saver, SIGKILL);
    ::waitpid(saver, nullptr, 0);
    qInfo("%d reads during saves: %d of the first file, %d of the second, %d mixed (%d a key at a time)",
          Reads, wholeFirst, wholeSecond, mixed, mixedByKey);
    QCOMPARE(mixed, 0);
    QVERIFY2(wholeFirst > 0 && wholeSecond > 0,
             "the saves never landed between reads, so this proved nothing");
}

void TestSettingsSave::writeSettingIsNonzeroExactlyWhenTheValueIsStored()
{
    Module1 module;
    module.SetSettingsFile(settingsPath());
    QVERIFY(module.WriteSetting(" v ", "Router settings", "IP") != 0);
    QCOMPARE(module.ReadSetting("router SETTINGS", "ip"), QStringLiteral(" v "));
    QCOMPARE(module.WriteSetting("a\nb", "Router settings", "IP"), qint16(0));
    QCOMPARE(module.ReadSetting("Router settings", "IP"), QStringLiteral(" v "));
    // A missing folder is made, but not where a file stands in its way.
    QVERIFY(QFile(m_dir->filePath("a-file")).open(QIODevice::WriteOnly));
    module.SetSettingsFile(m_dir->filePath("a-file/Settings.ini"));
    QCOMPARE(module.WriteSetting("v", "Router settings", "IP"), qint16(0));
    module.SetSettingsFile(m_dir->filePath("absent/Settings.ini"));
    QVERIFY(module.WriteSetting("v", "Router settings", "IP") != 0);
}

void TestSettingsSave::aFailedSaveIsReportedAndTheWindowStillCloses_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("savedAs"); // "{dir}" stands for the test's folder
    QTest::addColumn<QString>("reason");  // said once
    QTest::addColumn<QString>("advice");
    QTest::addColumn<bool>("closeAnyway");
    for (const bool closeAnyway : {true, false}) {
        const char* const choice = closeAnyway ? "closed without saving" : "kept open";
        QTest::addRow("the settings file's name is taken by a folder, %s", choice)
            << "folder" << "{dir}/Settings.ini" << "A folder has the file's name." << "Move it away" << closeAnyway;
        // A read-only program folder sends the file to the configuration
        // folder, here inside the same read-only folder.
        QTest::addRow("folders of your own that cannot be written to, %s", choice)
            << "read-only folder" << "{dir}/parlowen/Settings.ini" << "You do not have permission"
            << "is yours, but marked so that nothing may be saved in it. Allow it:\n    chmod u+w '{dir}'"
            << closeAnyway;
        QTest::addRow("a read-only file of your own, %s", choice)
            << "read-only file" << "{dir}/Settings.ini" << "The file is marked read-only."
            << "Allow yourself to change it:\n    chmod u+w '{dir}/Settings.ini'" << closeAnyway;
    }
    // Nothing to give back here: the advice is a folder of one's own.
    QTest::addRow("a folder of root's outside your home")
        << "root's folder" << "/parlowen/Settings.ini" << "You do not have permission"
        << "The folder '/' belongs to root, who has not let you save in it. Run Parlowen from a copy in a "
           "folder of your own"
        << true;
}

void TestSettingsSave::aFailedSaveIsReportedAndTheWindowStillCloses()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, savedAs);
    QFETCH(QString, reason);
    QFETCH(QString, advice);
    QFETCH(bool, closeAnyway);
    savedAs.replace("{dir}", m_dir->path());
    advice.replace("{dir}", m_dir->path());
    if (obstacle != "folder" && geteuid() == 0)
        QSKIP("root may write to read-only files and folders");
    if (obstacle == "folder")
        QVERIFY(QDir(m_dir->path()).mkdir("Settings.ini"));
    if (obstacle == "read-only file") {
        writeBytes(settingsPath(), "[Router settings]\nIP=127.0.0.1\n");
        QVERIFY(QFile::setPermissions(settingsPath(), QFile::ReadOwner));
    }
    if (obstacle == "read-only folder" || obstacle == "root's folder")
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    qputenv("XDG_CONFIG_HOME", obstacle == "root's folder" ? QByteArray("/") : QFile::encodeName(m_dir->path()));
    test::MessageBoxWatcher watcher;
    watcher.setAnswer(closeAnyway ? QMessageBox::Discard : QMessageBox::Cancel);
    Form1 form(m_dir->path());
    form.show();
    field(form, "txtUserName")->setText("typed, not saved");
    QCOMPARE(form.close(), closeAnyway);
    QCOMPARE(form.isVisible(), !closeAnyway);
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(watcher.messages().size(), 1);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.icon, QMessageBox::Critical);
    QVERIFY2(message.text.contains(savedAs), qPrintable(message.text));
    QVERIFY2(message.detail.startsWith("Reason: " + reason) && message.detail.count(reason) == 1 &&
                 message.detail.contains(advice),
             qPrintable(message.detail));
    QCOMPARE(message.buttons.size(), 2);
    QVERIFY(message.buttons.contains(QMessageBox::Cancel) && message.buttons.contains(QMessageBox::Discard));
    if (closeAnyway)
        return;
    // Kept open, nothing typed is lost, and a close once the cause is gone saves it.
    QCOMPARE(field(form, "txtUserName")->text(), QStringLiteral("typed, not saved"));
    if (obstacle == "folder")
        QVERIFY(QDir(m_dir->path()).rmdir("Settings.ini"));
    if (obstacle == "read-only file")
        QVERIFY(QFile::setPermissions(settingsPath(), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(form.close());
    QCOMPARE(watcher.messages().size(), 1);
    QVERIFY(readBytes(savedAs).contains("User=typed, not saved\n"));
}

QTEST_MAIN(TestSettingsSave)
#include "tst_settingssave.moc"
