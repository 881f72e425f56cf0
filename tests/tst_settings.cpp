// Settings that outlive the window: read at start, which then runs a check
// by itself, and the defaults a first close writes where there were none.
// Runs inside a private network namespace: a start with a settings file
// loads the router page at once. How every close saves them is in
// tst_settingssave.
#include "app/form1.h"
#include "app/webbrowser.h"
#include "settings/module1.h"
#include "settings/settingslocation.h"
#include "sim/fakehttpserver.h"
#include "support/settingsfields.h"
#include "support/messageboxwatcher.h"
#include "support/testfiles.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace parlowen;
using namespace parlowen::test;
using sim::FakeHttpServer;

class TestSettings : public QObject, private SettingsFolder {
    Q_OBJECT
private slots:
    void init() { makeFolder(); }
    void settingsPathHasNoDoubledSeparator();
    void withoutAFileNothingLoadsAndTheFirstCloseWritesTheDefaults();
    void valuesAreReadAsTheFileFormatDefines_data();
    void valuesAreReadAsTheFileFormatDefines();
    void onlyNoTurnsUpnpOff_data();
    void onlyNoTurnsUpnpOff();
    void everyValueSurvivesARestartAndTheCheckRunsByItself();
};

void TestSettings::settingsPathHasNoDoubledSeparator()
{
    QCOMPARE(pathInDirectory("/", "Settings.ini"), QStringLiteral("/Settings.ini"));
    QCOMPARE(pathInDirectory("/opt/parlowen", "Settings.ini"), QStringLiteral("/opt/parlowen/Settings.ini"));
}

void TestSettings::withoutAFileNothingLoadsAndTheFirstCloseWritesTheDefaults()
{
    {
        Form1 form(m_dir->path());
        QSignalSpy status(form.findChild<WebBrowser*>("WebBrowser1"), &WebBrowser::StatusTextChange);
        QTest::qWait(300);
        QVERIFY(status.isEmpty());
        QVERIFY(!QFile::exists(settingsPath()));
        form.close();
    }
    QCOMPARE(readBytes(settingsPath()),
             QByteArray("[Router settings]\nPassword=\nIP=10.0.0.2\n"
                        "[DNS settings]\nService URL=http://ddns.example.net/dyn.asp\n"
                        "User=\nPassword=\nHost=myhost.example.net\n"));
    // Two passwords in clear text: only the owner may read them.
    struct stat status {};
    QCOMPARE(stat(QFile::encodeName(settingsPath()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
}

void TestSettings::valuesAreReadAsTheFileFormatDefines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QByteArray& file, const QString& fieldName,
                        const QString& text) {
        QTest::newRow(name) << file << fieldName << text;
    };
    const QByteArray router = "[Router settings]\nIP=127.0.0.1\n";
    row("a missing Host empties its field rather than keeping the default",
        router + "[DNS settings]\nUser=u\n", "txtHost", "");
    row("spaces around a value are trimmed", router + "[DNS settings]\nHost=   h.example.net \t\n", "txtHost",
        "h.example.net");
    row("one pair of quotes is removed", router + "[DNS settings]\nUser=\"  quoted  \"\n", "txtUserName",
        "  quoted  ");
    row("names in other letter case", router + "[dns SETTINGS]\nservice url=http://127.0.0.1:9/x\n",
        "txtService", "http://127.0.0.1:9/x");
    row("a file with Windows line ends",
        "[Router settings]\r\nIP=127.0.0.1\r\n[DNS settings]\r\nHost=h.net\r\n", "txtHost", "h.net");
    row("a file in Windows-1252 keeps its accented letters", router + "[DNS settings]\nUser=J\xf6rg \x80\n",
        "txtUserName", "Jörg €");
    row("a UTF-16 file as Notepad saves it",
        utf16(router + "[DNS settings]\r\nUser=J\xc3\xb6rg \xe2\x82\xac\r\n"), "txtUserName", "Jörg €");
    row("a file with lone CR line ends", "[Router settings]\rIP=127.0.0.1\r[DNS settings]\rHost=h.net\r",
        "txtHost", "h.net");
}

void TestSettings::valuesAreReadAsTheFileFormatDefines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, fieldName);
    writeBytes(settingsPath(), file);
    Form1 form(m_dir->path());
    QTEST(field(form, qPrintable(fieldName))->text(), "expected");
}

void TestSettings::onlyNoTurnsUpnpOff_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("askUpnp");
    QTest::newRow("no key") << QByteArray() << true;
    QTest::newRow("no") << QByteArray("UPnP=no") << false;
    QTest::newRow("NO, key in another case, spaces around") << QByteArray("upnp =  NO ") << false;
    QTest::newRow("quoted") << QByteArray("UPnP=\"no\"") << false;
    QTest::newRow("yes") << QByteArray("UPnP=yes") << true;
    QTest::newRow("0 is not no") << QByteArray("UPnP=0") << true;
    QTest::newRow("empty") << QByteArray("UPnP=") << true;
    QTest::newRow("no, in the other section") << QByteArray("[DNS settings]\nUPnP=no") << true;
}

void TestSettings::onlyNoTurnsUpnpOff()
{
    QFETCH(QByteArray, line);
    writeBytes(settingsPath(), "[Router settings]\nIP=127.0.0.1\n" + line + "\n");
    Module1 module;
    module.SetSettingsFile(settingsPath());
    const auto read = module.ReadSettings();
    QVERIFY(read && read.value());
    QTEST(read.value()->askUpnp, "askUpnp");
}

void TestSettings::everyValueSurvivesARestartAndTheCheckRunsByItself()
{
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    router.setRoute("/doc/syslog.htm", {.body = "<pre>\nWAN IP is 198.51.100.23\n</pre>"});
    router.requireAuth("/doc/syslog.htm", FakeHttpServer::Auth::Basic, "admin", "rpw");
    FakeHttpServer provider;
    QVERIFY(provider.listen());
    provider.setRoute("/dyn.asp", {.body = "<p>Host updated successfully</p>"});
    // Two different passwords under the same key name, a long value and
    // characters beyond ASCII or with a meaning in the file.
    const QString password = QStringLiteral("Grüße ☃ 密码 \"x\" ;#=[]");
    const QString host = QString(300, QLatin1Char('h')) + ".example.net";
    const QStringList values{"rpw", "127.0.0.1", provider.url("/dyn.asp"), "alice", password, host};
    const char* const names[] = {"txtRouterPass", "txtRouterIP",    "txtService",
                                 "txtUserName",   "txtServicePass", "txtHost"};
    {
        Form1 form(m_dir->path());
        for (int i = 0; i < 6; ++i)
            field(form, names[i])->setText(values[i]);
        form.close();
    }
    QVERIFY(router.requests().isEmpty());

    test::MessageBoxWatcher watcher;
    Form1 restarted(m_dir->path());
    for (int i = 0; i < 6; ++i)
        QCOMPARE(field(restarted, names[i])->text(), values[i]);
    restarted.show();
    // Nobody pressed Go.
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, 10'000);
    QCOMPARE(watcher.messages().constFirst().text, QStringLiteral("The IP has been received"));
    QCOMPARE(field(restarted, "txtWANIP")->text(), QStringLiteral("198.51.100.23"));
    QCOMPARE(provider.requests().size(), 1);
    const QUrlQuery query = provider.requests().constFirst().query;
    QCOMPARE(query.queryItemValue("password", QUrl::FullyDecoded), password);
    QCOMPARE(query.queryItemValue("hostname", QUrl::FullyDecoded), host);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
