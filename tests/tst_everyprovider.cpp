// Every provider of the table, played under its real host name over TLS,
// through the window and through parlowen-check alike: the record changes
// to the router's address when the provider accepts, and both front ends
// name a refusal in the same words. Runs inside a private network and mount
// namespace whose /etc/hosts maps the providers' names to loopback and whose
// only trusted certificate is the test's own: nothing reaches a provider.
#include "app/form1.h"
#include "app/webbrowser.h"
#include "cli/checkcommand.h"
#include "cli/journalstream.h"
#include "sim/fakehttpserver.h"
#include "support/checkcases.h"
#include "support/messageboxwatcher.h"
#include "support/providercases.h"
#include "support/secretforms.h"
#include "support/testcertificate.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace parlowen;
using sim::FakeHttpServer;

namespace {
const QString RouterPassword = QStringLiteral("r0uter&pass");
constexpr int Patience = 30'000; // ms

// Every secret of a case that output must never show: the provider's own
// where it is the one typed into the URL.
QStringList secretsOf(const test::ProviderCase& entry)
{
    QStringList secrets{entry.password};
    if (entry.serviceUrl.contains(entry.record.secret))
        secrets << entry.record.secret;
    if (entry.provider == QLatin1String("porkbun") || entry.provider == QLatin1String("godaddy"))
        secrets << entry.userName;
    secrets.removeAll(QString());
    return secrets;
}
} // namespace

class TestEveryProvider : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bothFrontEndsReachTheProvidersVerdict_data();
    void bothFrontEndsReachTheProvidersVerdict();

private:
    QLineEdit* field(const Form1& form, const char* name) const { return form.findChild<QLineEdit*>(name); }
};

void TestEveryProvider::initTestCase()
{
    if (!qEnvironmentVariableIsSet("PARLOWEN_PROVIDER_NETWORK"))
        QSKIP(
            "needs the providers' names on loopback: runs in tests/support/in-private-network-as-providers");
}

void TestEveryProvider::bothFrontEndsReachTheProvidersVerdict_data()
{
    QTest::addColumn<int>("index");
    for (qsizetype i = 0; i < test::providerCases().size(); ++i)
        QTest::newRow(test::providerCases()[i].name.constData()) << int(i);
}

void TestEveryProvider::bothFrontEndsReachTheProvidersVerdict()
{
    QFETCH(int, index);
    const test::ProviderCase& entry = test::providerCases()[index];
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    router.setRoute("/doc/syslog.htm",
                    {.body = test::routerLogPage("WAN IP is " + test::RouterAddress.toUtf8())});
    router.requireAuth("/doc/syslog.htm", FakeHttpServer::Auth::Basic, "admin", RouterPassword);
    FakeHttpServer server;
    server.useTls(providerTls());
    QVERIFY(server.listen(443));
    sim::ProviderSim provider(entry.provider, entry.record);
    provider.setBlocked(entry.blocked);
    provider.serveOn(server);

    QTemporaryDir dir;
    Form1 form(dir.path());
    const QStringList fields{RouterPassword, "127.0.0.1",    entry.serviceUrl,
                             entry.userName, entry.password, entry.host};
    const char* names[] = {"txtRouterPass", "txtRouterIP",    "txtService",
                           "txtUserName",   "txtServicePass", "txtHost"};
    for (int i = 0; i < fields.size(); ++i)
        field(form, names[i])->setText(fields[i]);
    test::MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    const test::ShownMessage& message = watcher.messages().constFirst();
    const QString shown = message.text + '\n' + message.detail;
    QCOMPARE(message.text, entry.accepted ? "The IP has been received" : "Error in sending IP");
    QVERIFY2(shown.contains(entry.reason), qPrintable(shown));
    // A refusal is named: never left as an answer that merely says no yes.
    QVERIFY2(entry.accepted || !shown.contains("does not say that the update was accepted"),
             qPrintable(shown));
    const QString before = entry.record.address;
    QCOMPARE(provider.record().address, entry.accepted ? test::RouterAddress : before);
    QCOMPARE(provider.record().addressV6, entry.record.addressV6);
    const qsizetype sentByTheWindow = server.requests().size();
    for (const sim::RecordedRequest& request : server.requests())
        QVERIFY2(request.header("User-Agent").startsWith("Kestrune Parlowen/"), request.header("User-Agent"));
    QTRY_COMPARE(form.cursor().shape(), Qt::ArrowCursor);
    // The same fields as the command reads them.
    QFile settings(dir.filePath("Settings.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QString("[Router settings]\nPassword=%1\nIP=%2\n[DNS settings]\nService URL=%3\nUser=%4\n"
                           "Password=%5\nHost=%6\n")
                       .arg(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5])
                       .toUtf8());
    settings.close();

    QBuffer journal;
    QVERIFY(journal.open(QIODevice::WriteOnly));
    cli::JournalLines lines(journal);
    QTextStream out(&lines), err(&lines);
    const int exitCode =
        cli::run({"parlowen-check", "--if-changed", "--settings", dir.filePath("Settings.ini")}, out, err);
    const QString printed = QString::fromUtf8(journal.data());
    if (entry.accepted) {
        // The window recorded its update: nothing is sent again.
        QCOMPARE(exitCode, int(cli::ExitAccepted));
        QVERIFY2(printed.endsWith("<6>The IP is unchanged; nothing was sent\n"), qPrintable(printed));
        QCOMPARE(server.requests().size(), sentByTheWindow);
    } else {
        QCOMPARE(exitCode, int(cli::ExitNotAccepted));
        QVERIFY2(printed.contains("<3>Reason: ") && printed.contains(entry.reason), qPrintable(printed));
        QVERIFY2(printed.endsWith("<3>Error in sending IP\n"), qPrintable(printed));
    }
    for (const QString& output : {shown, printed}) {
        for (const QString& secret : secretsOf(entry)) {
            const QString leak = test::leakIn(output, RouterPassword, secret);
            QVERIFY2(leak.isEmpty(), qPrintable("shows " + leak + ":\n" + output));
        }
    }
}

QTEST_MAIN(TestEveryProvider)
#include "tst_everyprovider.moc"
