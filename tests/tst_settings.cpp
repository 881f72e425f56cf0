// Settings that outlive the window: read at start, which then runs a check
// by itself, and written at every close. Runs inside a private network
// namespace: a start with a settings file loads the router page at once.
#include "app/form1.h"
#include "app/webbrowser.h"
#include "settings/settingslocation.h"
#include "sim/fakehttpserver.h"
#include "support/messageboxwatcher.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace parlowen;
using sim::FakeHttpServer;

namespace {
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

QLineEdit* field(const Form1& form, const char* name)
{
    return form.findChild<QLineEdit*>(name);
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void settingsPathHasNoDoubledSeparator();
    void withoutAFileNothingLoadsAndTheFirstCloseWritesTheDefaults();
    void valuesAreReadAsTheFileFormatDefines_data();
    void valuesAreReadAsTheFileFormatDefines();
    void aCloseChangesOnlyItsOwnValue();
    void aFailedSaveIsReportedAndTheWindowStillCloses_data();
    void aFailedSaveIsReportedAndTheWindowStillCloses();
    void everyValueSurvivesARestartAndTheCheckRunsByItself();

private:
    QString settingsPath() const { return m_dir->filePath("Settings.ini"); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

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
    QCOMPARE(readAll(settingsPath()),
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
}

void TestSettings::valuesAreReadAsTheFileFormatDefines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, fieldName);
    writeFile(settingsPath(), file);
    Form1 form(m_dir->path());
    QTEST(field(form, qPrintable(fieldName))->text(), "expected");
}

void TestSettings::aCloseChangesOnlyItsOwnValue()
{
    // The router's password changes beside the provider's of the same key.
    const QByteArray before =
        "; written by hand\n[Router settings]\n# the lab router\nPassword=old\n"
        "IP=127.0.0.1\nComment=kept\n\n[Unknown section]\nKey=value\n[DNS settings]\n"
        "Service URL=http://127.0.0.1:9/dyn.asp\nUser=u\nPassword=spw\nHost=h.example.net\n";
    writeFile(settingsPath(), before);
    {
        Form1 form(m_dir->path());
        field(form, "txtRouterPass")->setText("new");
        form.close();
    }
    QCOMPARE(readAll(settingsPath()), QByteArray(before).replace("Password=old", "Password=new"));
}

void TestSettings::aFailedSaveIsReportedAndTheWindowStillCloses_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("savedAs");
    QTest::newRow("the settings file's name is taken by a folder") << false << "Settings.ini";
    // A read-only program folder sends the file to the configuration
    // folder, here inside the same read-only folder.
    QTest::newRow("folders that cannot be written to") << true << "parlowen/Settings.ini";
}

void TestSettings::aFailedSaveIsReportedAndTheWindowStillCloses()
{
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, savedAs);
    if (!readOnlyFolder)
        QVERIFY(QDir(m_dir->path()).mkdir("Settings.ini"));
    else if (geteuid() == 0)
        QSKIP("root may write to read-only folders");
    else
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
    test::MessageBoxWatcher watcher;
    Form1 form(m_dir->path());
    form.show();
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(watcher.messages().size(), 1);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.icon, QMessageBox::Critical);
    QVERIFY2(message.text.contains(m_dir->filePath(savedAs)) && message.text.contains("Reason: "),
             qPrintable(message.text));
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
