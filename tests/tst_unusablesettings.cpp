// Settings the window cannot check as it starts: the examples, and a file
// that holds no settings, which a close never damages nor replaces unasked.
// Runs inside a private network namespace, where a check would stay on
// loopback if one were started.
#include "app/form1.h"
#include "settings/module1.h"
#include "settings/settingkeys.h"
#include "sim/fakehttpserver.h"
#include "support/messageboxwatcher.h"
#include "support/settingsfields.h"
#include "support/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace parlowen;
using namespace parlowen::test;
using sim::FakeHttpServer;

class TestUnusableSettings : public QObject, private SettingsFolder {
    Q_OBJECT
private slots:
    void init() { makeFolder(); }
    void aStartWithTheExamplesSaysWhatToFillIn_data();
    void aStartWithTheExamplesSaysWhatToFillIn();
    void aFileWithNoSettingsInItIsReplacedOnlyWhenAsked_data();
    void aFileWithNoSettingsInItIsReplacedOnlyWhenAsked();
};

void TestUnusableSettings::aStartWithTheExamplesSaysWhatToFillIn_data()
{
    QTest::addColumn<QStringList>("values"); // the six, in the table's order
    QTest::addColumn<QStringList>("toFill"); // the fields named in the box
    QTest::addColumn<QString>("focus");
    const QStringList all{
        "Router Admin Password:", "Router IP:", "Service URL:", "User Name:", "Password:", "Hostname:"};
    // The router on loopback: its address is the user's, whatever the rest.
    QTest::newRow("the examples as a first close saves them")
        << QStringList{"", "127.0.0.1", "http://ddns.example.net/dyn.asp", "", "", "myhost.example.net"}
        << QStringList{all[0], all[2], all[3], all[4], all[5]} << "txtRouterPass";
    QTest::newRow("an example.com URL in capitals and with a final dot, the rest filled in")
        << QStringList{"rpw",   "127.0.0.1", "HTTPS://Update.EXAMPLE.com./nic/update",
                       "alice", "spw",       "home.example.org"}
        << QStringList{all[2], all[5]} << "txtService";
    QTest::newRow("a URL under .invalid and a host of the user's")
        << QStringList{"rpw", "127.0.0.1", "http://dyn.provider.invalid/u", "alice", "spw", "home.dedyn.io"}
        << QStringList{all[2]} << "txtService";
}

void TestUnusableSettings::aStartWithTheExamplesSaysWhatToFillIn()
{
    QFETCH(QStringList, values);
    QFETCH(QStringList, toFill);
    QFETCH(QString, focus);
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    Module1 module;
    module.SetSettingsFile(settingsPath());
    QVERIFY(module.WriteSettings(entriesOf(values)));
    test::MessageBoxWatcher watcher;
    Form1 form(m_dir->path());
    form.show();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, 10'000);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.icon, QMessageBox::Information);
    QVERIFY2(message.text.startsWith("No check was run: the Service URL points at"),
             qPrintable(message.text));
    for (const char* name :
         {"Router Admin Password:", "Router IP:", "Service URL:", "User Name:", "Password:", "Hostname:"}) {
        QCOMPARE(message.detail.contains(QString("• ") + name), toFill.contains(name));
    }
    QVERIFY(message.detail.contains(
        "• Service URL: your provider's update URL, from its page for update clients"));
    QTRY_COMPARE(form.focusWidget() ? form.focusWidget()->objectName() : QString(), focus);
    QTest::qWait(300); // room for a load to start, were one asked for
    QVERIFY(router.requests().isEmpty());
    QCOMPARE(watcher.messages().size(), 1);
}

void TestUnusableSettings::aFileWithNoSettingsInItIsReplacedOnlyWhenAsked_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("answer"); // to the question on closing; 0: none is asked
    QTest::addColumn<bool>("replaced");
    const QByteArray settings = "[Router settings]\r\nIP=127.0.0.1\r\n";
    const struct {
        const char* name;
        QByteArray content;
    } files[] = {
        {"UTF-16 without its byte-order mark", utf16(settings).sliced(2)},
        {"binary bytes", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
        {"text without a section", "IP=127.0.0.1\n"},
    };
    for (const auto& file : files) {
        QTest::addRow("%s, nothing typed", file.name) << file.content << false << 0 << false;
        QTest::addRow("%s, typed, kept open", file.name)
            << file.content << true << int(QMessageBox::Cancel) << false;
        QTest::addRow("%s, typed, closed without saving", file.name)
            << file.content << true << int(QMessageBox::Discard) << false;
        QTest::addRow("%s, typed, replaced", file.name)
            << file.content << true << int(QMessageBox::Save) << true;
    }
}

void TestUnusableSettings::aFileWithNoSettingsInItIsReplacedOnlyWhenAsked()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, typed);
    QFETCH(int, answer);
    QFETCH(bool, replaced);
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    writeBytes(settingsPath(), content);
    test::MessageBoxWatcher watcher;
    watcher.setAnswer(QMessageBox::StandardButton(answer));
    Form1 form(m_dir->path());
    form.show();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, 10'000);
    // At start: what is wrong, and what the window does about it.
    const test::ShownMessage& started = watcher.messages().constFirst();
    QVERIFY2(started.text.startsWith("Your settings could not be read from"), qPrintable(started.text));
    QVERIFY2(started.detail.startsWith("Reason: ") && started.detail.contains("runs no check") &&
                 started.detail.contains("asks before it replaces the file"),
             qPrintable(started.detail));
    if (typed) {
        field(form, "txtRouterIP")->setText("127.0.0.1");
        field(form, "txtHost")->setText("home.dedyn.io");
    }
    QCOMPARE(form.close(), answer != int(QMessageBox::Cancel));
    QCOMPARE(watcher.messages().size(), answer ? 2 : 1);
    if (answer) {
        const test::ShownMessage& asked = watcher.messages().constLast();
        QCOMPARE(asked.icon, QMessageBox::Warning);
        QVERIFY2(asked.text.contains("saving would replace it") && asked.detail.contains("is lost"),
                 qPrintable(asked.text + "\n" + asked.detail));
        QCOMPARE(asked.buttons.size(), 3);
    }
    const QByteArray now = readBytes(settingsPath());
    QCOMPARE(now == content, !replaced);
    if (replaced)
        QVERIFY2(now.startsWith("[Router settings]\nPassword=\nIP=127.0.0.1\n") &&
                     now.contains("Host=home.dedyn.io\n"),
                 now.constData());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Settings.ini"});
    QVERIFY(router.requests().isEmpty());
}

QTEST_MAIN(TestUnusableSettings)
#include "tst_unusablesettings.moc"
