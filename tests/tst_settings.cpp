// Settings that outlive the window: read at start, which then runs a check
// by itself, and written at every close. Runs inside a private network
// namespace: a start with a settings file loads the router page at once.
#include "app/form1.h"
#include "platform/runtime.h"
#include "platform/webbrowser.h"
#include "support/fakehttpserver.h"
#include "support/messageboxwatcher.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace parlowen;
using test::FakeHttpServer;

namespace {
constexpr int Patience = 10'000; // ms

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void settingsPathHasNoDoubledSeparator_data();
    void settingsPathHasNoDoubledSeparator();
    void withoutAFileTheDefaultsStayAndNothingLoads();
    void theFirstCloseCreatesTheFileInTheDesignedLayout();
    void aStartWithAFileFillsTheFieldsAndRunsACheck();
    void valuesAreReadAsTheFileFormatDefines_data();
    void valuesAreReadAsTheFileFormatDefines();
    void aCloseKeepsEverythingElseInTheFile();
    void theTwoPasswordsAreIndependent();
    void everyCharacterAndLengthSurvivesARestart();
    void aFailedSaveIsReportedAndTheWindowStillCloses_data();
    void aFailedSaveIsReportedAndTheWindowStillCloses();
    void settingsSurviveARestartAndTheCheckRunsByItself();

private:
    QString settingsPath() const { return m_dir->filePath("Settings.ini"); }
    static QLineEdit* field(const Form1& form, const char* name) { return form.findChild<QLineEdit*>(name); }
    static WebBrowser* browser(const Form1& form) { return form.findChild<WebBrowser*>("WebBrowser1"); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettings::settingsPathHasNoDoubledSeparator_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("path");
    QTest::newRow("the root directory") << "/"
                                        << "/Settings.ini";
    QTest::newRow("an ordinary directory") << "/opt/parlowen"
                                           << "/opt/parlowen/Settings.ini";
}

void TestSettings::settingsPathHasNoDoubledSeparator()
{
    QFETCH(QString, directory);
    QFETCH(QString, path);
    QCOMPARE(pathInDirectory(directory, "Settings.ini"), path);
}

void TestSettings::withoutAFileTheDefaultsStayAndNothingLoads()
{
    Form1 form(m_dir->path());
    QSignalSpy status(browser(form), &WebBrowser::StatusTextChange);
    QTest::qWait(300);
    QVERIFY(status.isEmpty());
    QCOMPARE(field(form, "txtRouterIP")->text(), QStringLiteral("10.0.0.2"));
    QCOMPARE(field(form, "txtService")->text(), QStringLiteral("http://ddns.example.net/dyn.asp"));
    QCOMPARE(field(form, "txtHost")->text(), QStringLiteral("myhost.example.net"));
    QVERIFY(!QFile::exists(settingsPath()));
}

void TestSettings::theFirstCloseCreatesTheFileInTheDesignedLayout()
{
    {
        Form1 form(m_dir->path());
        form.close();
    }
    QCOMPARE(readAll(settingsPath()), QByteArray("[Router settings]\n"
                                                 "Password=\n"
                                                 "IP=10.0.0.2\n"
                                                 "[DNS settings]\n"
                                                 "Service URL=http://ddns.example.net/dyn.asp\n"
                                                 "User=\n"
                                                 "Password=\n"
                                                 "Host=myhost.example.net\n"));
    // Two passwords in clear text: only the owner may read them.
    struct stat status {};
    QCOMPARE(stat(QFile::encodeName(settingsPath()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));
}

void TestSettings::aStartWithAFileFillsTheFieldsAndRunsACheck()
{
    writeFile(settingsPath(), "[Router settings]\nPassword=rpw\nIP=127.0.0.1\n"
                              "[DNS settings]\nService URL=http://127.0.0.1:9/dyn.asp\nUser=u\nPassword=spw\n"
                              "Host=h.example.net\n");
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    Form1 form(m_dir->path());
    QCOMPARE(field(form, "txtRouterPass")->text(), QStringLiteral("rpw"));
    QCOMPARE(field(form, "txtRouterIP")->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(field(form, "txtService")->text(), QStringLiteral("http://127.0.0.1:9/dyn.asp"));
    QCOMPARE(field(form, "txtUserName")->text(), QStringLiteral("u"));
    QCOMPARE(field(form, "txtServicePass")->text(), QStringLiteral("spw"));
    QCOMPARE(field(form, "txtHost")->text(), QStringLiteral("h.example.net"));
    // Nobody pressed Go.
    QTRY_COMPARE_WITH_TIMEOUT(router.requests().size(), 1, Patience);
    QCOMPARE(router.requests().constFirst().path, QStringLiteral("/doc/syslog.htm"));
}

void TestSettings::valuesAreReadAsTheFileFormatDefines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("expected");
    const QByteArray router = "[Router settings]\nIP=127.0.0.1\n";
    QTest::newRow("a missing Host empties its field rather than keeping the default")
        << router + "[DNS settings]\nUser=u\n"
        << "txtHost"
        << "";
    QTest::newRow("spaces around a value are trimmed")
        << router + "[DNS settings]\nHost=   h.example.net \t\n"
        << "txtHost"
        << "h.example.net";
    QTest::newRow("one pair of quotes is removed") << router + "[DNS settings]\nUser=\"  quoted  \"\n"
                                                   << "txtUserName"
                                                   << "  quoted  ";
    QTest::newRow("names in other letter case")
        << router + "[dns SETTINGS]\nservice url=http://127.0.0.1:9/x\n"
        << "txtService"
        << "http://127.0.0.1:9/x";
    QTest::newRow("a file with Windows line ends")
        << QByteArray("[Router settings]\r\nIP=127.0.0.1\r\n[DNS settings]\r\nHost=crlf.example.net\r\n")
        << "txtHost"
        << "crlf.example.net";
    QTest::newRow("a file in Windows-1252 keeps its accented letters")
        << router + "[DNS settings]\nUser=J\xf6rg \x80\n"
        << "txtUserName"
        << "Jörg €";
}

void TestSettings::valuesAreReadAsTheFileFormatDefines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, fieldName);
    QFETCH(QString, expected);
    writeFile(settingsPath(), file);
    Form1 form(m_dir->path());
    QCOMPARE(field(form, qPrintable(fieldName))->text(), expected);
}

void TestSettings::aCloseKeepsEverythingElseInTheFile()
{
    const QByteArray before = "; written by hand\n"
                              "[Router settings]\n"
                              "# the lab router\n"
                              "Password=old\n"
                              "IP=127.0.0.1\n"
                              "Comment=kept\n"
                              "\n"
                              "[Unknown section]\n"
                              "Key=value\n"
                              "[DNS settings]\n"
                              "Service URL=http://127.0.0.1:9/dyn.asp\n"
                              "User=u\n"
                              "Password=spw\n"
                              "Host=h.example.net\n";
    writeFile(settingsPath(), before);
    {
        Form1 form(m_dir->path());
        field(form, "txtRouterPass")->setText("new");
        form.close();
    }
    QByteArray after = before;
    after.replace("Password=old", "Password=new");
    QCOMPARE(readAll(settingsPath()), after);
}

void TestSettings::theTwoPasswordsAreIndependent()
{
    {
        Form1 form(m_dir->path());
        field(form, "txtRouterIP")->setText("127.0.0.1");
        field(form, "txtRouterPass")->setText("router-secret");
        field(form, "txtServicePass")->setText("service-secret");
        form.close();
    }
    {
        Form1 form(m_dir->path());
        QCOMPARE(field(form, "txtRouterPass")->text(), QStringLiteral("router-secret"));
        field(form, "txtServicePass")->setText("changed");
        form.close();
    }
    Form1 form(m_dir->path());
    QCOMPARE(field(form, "txtRouterPass")->text(), QStringLiteral("router-secret"));
    QCOMPARE(field(form, "txtServicePass")->text(), QStringLiteral("changed"));
}

void TestSettings::everyCharacterAndLengthSurvivesARestart()
{
    const QString longHost = QString(300, QLatin1Char('h')) + ".example.net";
    const QString password = QStringLiteral("Grüße ☃ 密码 \"x\" ;#=[]");
    {
        Form1 form(m_dir->path());
        field(form, "txtRouterIP")->setText("127.0.0.1");
        field(form, "txtHost")->setText(longHost);
        field(form, "txtServicePass")->setText(password);
        form.close();
    }
    Form1 form(m_dir->path());
    QCOMPARE(field(form, "txtHost")->text(), longHost);
    QCOMPARE(field(form, "txtServicePass")->text(), password);
}

void TestSettings::aFailedSaveIsReportedAndTheWindowStillCloses_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("the settings file's name is taken by a folder") << false;
    QTest::newRow("a folder that cannot be written to") << true;
}

void TestSettings::aFailedSaveIsReportedAndTheWindowStillCloses()
{
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder) {
        if (geteuid() == 0)
            QSKIP("root may write to read-only folders");
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QDir(m_dir->path()).mkdir("Settings.ini"));
    }
    test::MessageBoxWatcher watcher;
    Form1 form(m_dir->path());
    form.show();
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QCOMPARE(watcher.messages().size(), 1);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.icon, QMessageBox::Critical);
    QVERIFY2(message.text.contains(settingsPath()), qPrintable(message.text));
    QVERIFY2(message.text.contains("Reason: "), qPrintable(message.text));
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestSettings::settingsSurviveARestartAndTheCheckRunsByItself()
{
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    router.setRoute("/doc/syslog.htm", {.body = "<pre>\nWAN IP is 198.51.100.23\n</pre>"});
    router.requireAuth("/doc/syslog.htm", FakeHttpServer::Auth::Basic, "admin", "rpw");
    FakeHttpServer provider;
    QVERIFY(provider.listen());
    provider.setRoute("/dyn.asp", {.body = "<p>Host updated successfully</p>"});

    {
        Form1 form(m_dir->path());
        field(form, "txtRouterPass")->setText("rpw");
        field(form, "txtRouterIP")->setText("127.0.0.1");
        field(form, "txtService")->setText(provider.url("/dyn.asp"));
        field(form, "txtUserName")->setText("alice");
        field(form, "txtServicePass")->setText("spw");
        field(form, "txtHost")->setText("home.example.net");
        form.close();
    }
    QVERIFY(router.requests().isEmpty());

    test::MessageBoxWatcher watcher;
    Form1 restarted(m_dir->path());
    restarted.show();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    QCOMPARE(watcher.messages().constFirst().text, QStringLiteral("The IP has been received"));
    QCOMPARE(field(restarted, "txtWANIP")->text(), QStringLiteral("198.51.100.23"));
    QCOMPARE(provider.requests().size(), 1);
    QCOMPARE(provider.requests().constFirst().query.queryItemValue("hostname"),
             QStringLiteral("home.example.net"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
