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
#include "check/ipv6support.h"
#include "sim/fakehttpserver.h"
#include "support/checkcases.h"
#include "support/messageboxwatcher.h"
#include "support/providercases.h"
#include "support/secretforms.h"
#include "support/testcertificate.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
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

// This computer's IPv6 address in the test's own network: the one global
// address of the interface that carries the default route.
const QString OwnIpv6 = QStringLiteral("2001:db8:1::10");

bool ran(const QStringList& command)
{
    return QProcess::execute(command.first(), command.mid(1)) == 0;
}

// This computer's IPv6 as support/with-ipv6-interfaces makes it, in the
// test's own network namespace.
bool giveShape(const QString& shape)
{
    return ran({PARLOWEN_IPV6_SHAPES, shape});
}

// The settings file both front ends read, with the lines a case adds.
bool writeSettings(const QString& path, const QStringList& fields, const QString& extra = {})
{
    QFile settings(path);
    if (!settings.open(QIODevice::WriteOnly))
        return false;
    settings.write(QString("[Router settings]\nPassword=%1\nIP=%2\n[DNS settings]\nService URL=%3\nUser=%4\n"
                           "Password=%5\nHost=%6\n%7")
                       .arg(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], extra)
                       .toUtf8());
    return true;
}

// parlowen-check with the arguments, and what it printed, with priorities.
std::pair<int, QString> runCommand(const QStringList& arguments, const QDateTime& now = {})
{
    QBuffer journal;
    journal.open(QIODevice::WriteOnly);
    cli::JournalLines lines(journal);
    QTextStream out(&lines), err(&lines);
    cli::CommandEnvironment environment;
    if (now.isValid())
        environment.now = [now] { return now; };
    const int exitCode = cli::run(QStringList{"parlowen-check"} + arguments, out, err, environment);
    return {exitCode, QString::fromUtf8(journal.data())};
}

// Gives the test's interface another global address in place of its own.
bool renumber(const QString& from, const QString& to)
{
    return ran({"ip", "-6", "address", "del", from + "/64", "dev", "d0"}) &&
           ran({"ip", "-6", "address", "add", to + "/64", "dev", "d0", "nodad"});
}

// The router of every case: its log names the WAN address.
void serveRouter(FakeHttpServer& router)
{
    router.setRoute("/doc/syslog.htm",
                    {.body = test::routerLogPage("WAN IP is " + test::RouterAddress.toUtf8())});
    router.requireAuth("/doc/syslog.htm", FakeHttpServer::Auth::Basic, "admin", RouterPassword);
}

QStringList fieldsOf(const test::ProviderCase& entry)
{
    return {RouterPassword, "127.0.0.1", entry.serviceUrl, entry.userName, entry.password, entry.host};
}
} // namespace

class TestEveryProvider : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bothFrontEndsReachTheProvidersVerdict_data();
    void bothFrontEndsReachTheProvidersVerdict();
    void bothFrontEndsKeepTheAaaaRecord_data();
    void bothFrontEndsKeepTheAaaaRecord();
    void bothFrontEndsTellTheAddressEachShapeGives_data();
    void bothFrontEndsTellTheAddressEachShapeGives();
    void ifChangedSendsWhenEitherAddressChanges_data();
    void ifChangedSendsWhenEitherAddressChanges();

private:
    QLineEdit* field(const Form1& form, const char* name) const { return form.findChild<QLineEdit*>(name); }
};

void TestEveryProvider::initTestCase()
{
    if (!qEnvironmentVariableIsSet("PARLOWEN_PROVIDER_NETWORK"))
        QSKIP(
            "needs the providers' names on loopback: runs in tests/support/in-private-network-as-providers");
    // In the test's own network namespace: one global IPv6 address and the
    // default route on d0, as a home's IPv6 gives it; other rows make
    // other shapes and put this one back.
    QVERIFY(qEnvironmentVariableIsSet("PARLOWEN_PRIVATE_NETWORK"));
    QVERIFY(giveShape("one-global"));
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
    serveRouter(router);
    FakeHttpServer server;
    server.useTls(providerTls());
    QVERIFY(server.listen(443));
    sim::ProviderSim provider(entry.provider, entry.record);
    provider.setBlocked(entry.blocked);
    provider.serveOn(server);

    QTemporaryDir dir;
    Form1 form(dir.path());
    const QStringList fields = fieldsOf(entry);
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
    QVERIFY(writeSettings(dir.filePath("Settings.ini"), fields));
    const auto [exitCode, printed] = runCommand({"--if-changed", "--settings", dir.filePath("Settings.ini")});
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

// Every provider again, with IPv6=yes and IPv6=only: where the provider
// keeps an AAAA record this way, both addresses (or the IPv6 one alone)
// land in its records and nothing else changes; where it does not, both
// front ends say so in the same words and send nothing.
void TestEveryProvider::bothFrontEndsKeepTheAaaaRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("mode");
    for (qsizetype i = 0; i < test::providerCases().size(); ++i) {
        const test::ProviderCase& entry = test::providerCases()[i];
        if (!entry.accepted || entry.name.contains(':'))
            continue;
        for (const char* mode : {"yes", "only"})
            QTest::addRow("%s, IPv6=%s", entry.name.constData(), mode) << int(i) << QString(mode);
    }
}

void TestEveryProvider::bothFrontEndsKeepTheAaaaRecord()
{
    QFETCH(int, index);
    QFETCH(QString, mode);
    const test::ProviderCase& entry = test::providerCases()[index];
    const Ipv6Mode ipv6 = *parseIpv6Mode(mode);
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    serveRouter(router);
    FakeHttpServer server;
    server.useTls(providerTls());
    QVERIFY(server.listen(443));
    // The AAAA record is there already, as the JSON APIs need it to be.
    sim::ProviderRecord record = entry.record;
    if (record.addressV6.isEmpty())
        record.addressV6 = QStringLiteral("2001:db8::7");
    sim::ProviderSim provider(entry.provider, record);
    provider.serveOn(server);
    QTemporaryDir dir;
    QStringList fields = fieldsOf(entry);
    // IPv6=only needs no router: its fields may stay empty.
    if (ipv6 == Ipv6Mode::Only)
        fields[0] = fields[1] = QString();
    QVERIFY(writeSettings(dir.filePath("Settings.ini"), fields, "IPv6=" + mode + "\n"));

    Form1 form(dir.path());
    test::MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    const test::ShownMessage& message = watcher.messages().constFirst();
    const QString shown = message.text + '\n' + message.detail;
    const auto [exitCode, printed] = runCommand({"--if-changed", "--settings", dir.filePath("Settings.ini")});

    if (const std::optional<QString> refusal = ipv6Refusal(ipv6, entry.serviceUrl)) {
        QVERIFY2(shown.contains(*refusal), qPrintable(shown));
        QVERIFY2(printed.contains(*refusal), qPrintable(printed));
        QCOMPARE(exitCode, int(cli::ExitBadUsage));
        QVERIFY(server.requests().isEmpty());
        QVERIFY(router.requests().isEmpty());
        return;
    }
    QCOMPARE(message.text, "The IP has been received");
    QVERIFY2(shown.contains(OwnIpv6), qPrintable(shown));
    QCOMPARE(provider.record().addressV6, OwnIpv6);
    QCOMPARE(provider.record().address, ipv6 == Ipv6Mode::Yes ? test::RouterAddress : entry.record.address);
    // IPv6=only never asks the router.
    QCOMPARE(router.requests().isEmpty(), ipv6 == Ipv6Mode::Only);
    // The window recorded both addresses: the command sends nothing again.
    QCOMPARE(exitCode, int(cli::ExitAccepted));
    QVERIFY2(printed.contains("IPv6 address: " + OwnIpv6), qPrintable(printed));
    QVERIFY2(printed.endsWith("<6>The IP is unchanged; nothing was sent\n"), qPrintable(printed));
}

// What each shape of this computer's IPv6 gives, told alike by both front
// ends: the address sent, or why none was, with IPv4 still sent for
// IPv6=yes and nothing at all for IPv6=only.
void TestEveryProvider::bothFrontEndsTellTheAddressEachShapeGives_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("sent"); // the IPv6 address; empty: none
    QTest::addColumn<QString>("why");  // where none is sent
    const QString local = "only local IPv6 addresses";
    const struct {
        const char* shape;
        QString sent;
        QString why;
    } shapes[] = {
        {"none", {}, "This computer has no IPv6 address"},
        {"global-and-temporary", "2001:db8:1:0:ffff::10", {}},
        {"ula-only", {}, local + " (link-local or private)"},
        {"link-local-only", {}, local},
        {"route-elsewhere", {}, "the default route leaves through d1; 2001:db8:1::10 on d0"},
        {"several-global", "2001:db8:1::10", {}},
        {"deprecated", {}, "are being given up because the router no longer offers their prefix"},
        {"lower-metric-elsewhere", "2001:db8:2::10", {}},
        {"multipath", "2001:db8:2::10", {}},
        {"unreachable-default", {}, "no IPv6 route to the Internet"},
    };
    for (const auto& [shape, sent, why] : shapes)
        QTest::newRow(shape) << QString(shape) << sent << why;
}

void TestEveryProvider::bothFrontEndsTellTheAddressEachShapeGives()
{
    QFETCH(QString, shape);
    QFETCH(QString, sent);
    QFETCH(QString, why);
    const test::ProviderCase& entry = *std::find_if(
        test::providerCases().begin(), test::providerCases().end(),
        [](const test::ProviderCase& entry) { return entry.provider == QLatin1String("dynv6"); });
    QVERIFY(giveShape(shape));
    const auto restore = qScopeGuard([] { giveShape("one-global"); });
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    serveRouter(router);
    FakeHttpServer server;
    server.useTls(providerTls());
    QVERIFY(server.listen(443));
    sim::ProviderSim provider(entry.provider, entry.record);
    provider.serveOn(server);
    for (const char* mode : {"yes", "only"}) {
        QTemporaryDir dir;
        QVERIFY(writeSettings(dir.filePath("Settings.ini"), fieldsOf(entry), QString("IPv6=%1\n").arg(mode)));
        Form1 form(dir.path());
        test::MessageBoxWatcher watcher;
        QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
        const test::ShownMessage& message = watcher.messages().constFirst();
        const QString shown = message.text + '\n' + message.detail;
        const auto [exitCode, printed] = runCommand({"--settings", dir.filePath("Settings.ini")});
        const bool none = sent.isEmpty();
        const bool alone = mode == QLatin1String("only");
        for (const QString& output : {shown, printed})
            QVERIFY2(output.contains(none ? why : sent), qPrintable(output));
        // Without one, IPv6=yes warns and goes on; IPv6=only has failed.
        QVERIFY2(printed.contains(!none ? "<6>IPv6 address: " + sent + ", this computer's own on d"
                                  : alone ? QString("<3>IPv6 address: none: ")
                                          : QString("<4>Warning: IPv6 address: none: ")),
                 qPrintable(printed));
        QCOMPARE(message.text, none && alone ? "No IPv6 address was sent: " + message.text.section(": ", 1)
                                             : QString("The IP has been received"));
        QCOMPARE(exitCode, int(none && alone ? cli::ExitNoAddress : cli::ExitAccepted));
        QCOMPARE(provider.record().addressV6, none ? entry.record.addressV6 : sent);
    }
}

// --if-changed with both addresses: a second run sends exactly when one of
// them changed, or when the refresh is due.
void TestEveryProvider::ifChangedSendsWhenEitherAddressChanges_data()
{
    QTest::addColumn<QString>("firstMode");
    QTest::addColumn<QString>("secondMode");
    QTest::addColumn<QByteArray>("secondIpv4"); // what the router's log says the second time
    QTest::addColumn<QString>("secondIpv6");    // this computer's address the second time
    QTest::addColumn<int>("days");              // between the two runs
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("step");
    const QByteArray ipv4 = test::RouterAddress.toUtf8();
    QTest::newRow("neither changed") << "yes" << "yes" << ipv4 << OwnIpv6 << 1 << false
                                     << "the same address was accepted";
    QTest::newRow("the router's address changed")
        << "yes" << "yes" << QByteArray("203.0.113.8") << OwnIpv6 << 1 << true << "the address has changed";
    QTest::newRow("this computer's IPv6 address changed") << "yes" << "yes" << ipv4 << "2001:db8:1::20" << 1
                                                          << true << "the IPv6 address is now 2001:db8:1::20";
    QTest::newRow("both changed") << "yes" << "yes" << QByteArray("203.0.113.8") << "2001:db8:1::20" << 1
                                  << true << "both addresses have changed";
    QTest::newRow("neither changed, 26 days later")
        << "yes" << "yes" << ipv4 << OwnIpv6 << 26 << true << "sending again so that the provider keeps";
    QTest::newRow("IPv6 turned off") << "yes" << "no" << ipv4 << OwnIpv6 << 1 << true
                                     << "no IPv6 address goes with it now";
    QTest::newRow("IPv6 turned on") << "no" << "yes" << ipv4 << OwnIpv6 << 1 << true
                                    << "the IPv6 address is now " + OwnIpv6;
    // The router is not asked, so its address cannot count.
    QTest::newRow("IPv6 alone, the router's address changed")
        << "only" << "only" << QByteArray("203.0.113.8") << OwnIpv6 << 1 << false
        << "the same address was accepted";
    QTest::newRow("IPv6 alone, changed")
        << "only" << "only" << ipv4 << "2001:db8:1::20" << 1 << true << "the IPv6 address is now 2001:db8:1::20";
}

void TestEveryProvider::ifChangedSendsWhenEitherAddressChanges()
{
    QFETCH(QString, firstMode);
    QFETCH(QString, secondMode);
    QFETCH(QByteArray, secondIpv4);
    QFETCH(QString, secondIpv6);
    QFETCH(int, days);
    const test::ProviderCase& entry = *std::find_if(
        test::providerCases().begin(), test::providerCases().end(),
        [](const test::ProviderCase& entry) { return entry.provider == QLatin1String("dynv6"); });
    FakeHttpServer router;
    QVERIFY(router.listen(80));
    serveRouter(router);
    FakeHttpServer server;
    server.useTls(providerTls());
    QVERIFY(server.listen(443));
    sim::ProviderSim provider(entry.provider, entry.record);
    provider.serveOn(server);
    QTemporaryDir dir;
    const QString settings = dir.filePath("Settings.ini");
    QVERIFY(writeSettings(settings, fieldsOf(entry)));
    const QDateTime start = QDateTime::currentDateTimeUtc();
    const auto first = runCommand({"--if-changed", "--ipv6=" + firstMode, "--settings", settings}, start);
    QVERIFY2(first.first == cli::ExitAccepted, qPrintable(first.second));
    const qsizetype sentFirst = server.requests().size();

    router.setRoute("/doc/syslog.htm", {.body = test::routerLogPage("WAN IP is " + secondIpv4)});
    const bool renumbered = secondIpv6 != OwnIpv6;
    if (renumbered)
        QVERIFY(renumber(OwnIpv6, secondIpv6));
    const auto second =
        runCommand({"--if-changed", "--ipv6=" + secondMode, "--settings", settings}, start.addDays(days));
    if (renumbered)
        QVERIFY(renumber(secondIpv6, OwnIpv6));
    QFETCH(bool, sent);
    QFETCH(QString, step);
    QVERIFY2(second.first == cli::ExitAccepted, qPrintable(second.second));
    QVERIFY2(second.second.contains(step), qPrintable(second.second));
    QCOMPARE(server.requests().size() > sentFirst, sent);
    if (sent && secondMode != QLatin1String("no"))
        QCOMPARE(provider.record().addressV6, secondIpv6);
}

QTEST_MAIN(TestEveryProvider)
#include "tst_everyprovider.moc"
