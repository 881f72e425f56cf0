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

// The one global IPv6 address of the test's own network (see initTestCase).
const QString OwnIpv6 = QStringLiteral("2001:db8:1::10");

bool ran(const QStringList& command)
{
    return QProcess::execute(command.first(), command.mid(1)) == 0;
}

// This computer's IPv6 as support/with-ipv6-interfaces makes it.
bool giveShape(const QString& shape)
{
    return ran({PARLOWEN_IPV6_SHAPES, shape});
}

QStringList fieldsOf(const test::ProviderCase& entry)
{
    return {RouterPassword, "127.0.0.1", entry.serviceUrl, entry.userName, entry.password, entry.host};
}

// The settings file both front ends read, with the lines a case adds.
bool writeSettings(const QString& path, const QStringList& fields, const QString& extra = {})
{
    QFile settings(path);
    return settings.open(QIODevice::WriteOnly) &&
           settings.write(QString("[Router settings]\nPassword=%1\nIP=%2\n[DNS settings]\nService URL=%3\n"
                                  "User=%4\nPassword=%5\nHost=%6\n%7")
                              .arg(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], extra)
                              .toUtf8()) > 0;
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

// The router, whose log names ipv4, and the provider of a case, under its real name.
struct Peers {
    FakeHttpServer router;
    FakeHttpServer server;
    sim::ProviderSim provider;
    Peers(const test::ProviderCase& entry, const sim::ProviderRecord& record) : provider(entry.provider, record)
    {
        router.listen(80);
        serveRouter(test::RouterAddress.toUtf8());
        router.requireAuth("/doc/syslog.htm", FakeHttpServer::Auth::Basic, "admin", RouterPassword);
        server.useTls(providerTls());
        server.listen(443);
        provider.serveOn(server);
    }
    void serveRouter(const QByteArray& ipv4)
    {
        router.setRoute("/doc/syslog.htm", {.body = test::routerLogPage("WAN IP is " + ipv4)});
    }
};

// The window started with the settings file in folder and Go pressed: the box's words.
test::ShownMessage windowVerdict(const QString& folder)
{
    Form1 form(folder);
    test::MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !watcher.messages().isEmpty(); }, Patience))
        return {};
    return watcher.messages().constFirst();
}

const test::ProviderCase& dynv6()
{
    return *std::find_if(test::providerCases().begin(), test::providerCases().end(),
                         [](const test::ProviderCase& entry) { return entry.provider == QLatin1String("dynv6"); });
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
    Peers peers(entry, entry.record);
    auto& [router, server, provider] = peers;
    provider.setBlocked(entry.blocked);

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

// Every provider again, with IPv6=yes and IPv6=only: where it keeps an AAAA
// record this way, both addresses (or the IPv6 one alone) land in its
// records; where not, both front ends refuse in the same words, sending nothing.
void TestEveryProvider::bothFrontEndsKeepTheAaaaRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("mode");
    for (qsizetype i = 0; i < test::providerCases().size(); ++i) {
        const test::ProviderCase& entry = test::providerCases()[i];
        for (const char* mode : {"yes", "only"}) {
            if (entry.accepted && !entry.name.contains(':'))
                QTest::addRow("%s, IPv6=%s", entry.name.constData(), mode) << int(i) << QString(mode);
        }
    }
}

void TestEveryProvider::bothFrontEndsKeepTheAaaaRecord()
{
    QFETCH(int, index);
    QFETCH(QString, mode);
    const test::ProviderCase& entry = test::providerCases()[index];
    const bool alone = mode == QLatin1String("only");
    sim::ProviderRecord record = entry.record;
    // The AAAA record is there already, as the JSON APIs need it to be.
    record.addressV6 = record.addressV6.isEmpty() ? QStringLiteral("2001:db8::7") : record.addressV6;
    Peers peers(entry, record);
    QTemporaryDir dir;
    QStringList fields = fieldsOf(entry);
    if (alone) // needs no router: its fields may stay empty
        fields[0] = fields[1] = QString();
    QVERIFY(writeSettings(dir.filePath("Settings.ini"), fields, "IPv6=" + mode + "\n"));
    const test::ShownMessage message = windowVerdict(dir.path());
    const QString shown = message.text + '\n' + message.detail;
    const auto [exitCode, printed] = runCommand({"--if-changed", "--settings", dir.filePath("Settings.ini")});
    if (const std::optional<QString> refusal = ipv6Refusal(*parseIpv6Mode(mode), entry.serviceUrl)) {
        QVERIFY2(shown.contains(*refusal) && printed.contains(*refusal), qPrintable(shown + printed));
        QCOMPARE(exitCode, int(cli::ExitBadUsage));
        QVERIFY(peers.server.requests().isEmpty() && peers.router.requests().isEmpty());
        return;
    }
    QCOMPARE(message.text, "The IP has been received");
    QVERIFY2(shown.contains(OwnIpv6) && printed.contains("IPv6 address: " + OwnIpv6), qPrintable(shown));
    QCOMPARE(peers.provider.record().addressV6, OwnIpv6);
    QCOMPARE(peers.provider.record().address, alone ? entry.record.address : test::RouterAddress);
    QCOMPARE(peers.router.requests().isEmpty(), alone);
    // The window recorded both addresses: the command sends nothing again.
    QCOMPARE(exitCode, int(cli::ExitAccepted));
    QVERIFY2(printed.endsWith("<6>The IP is unchanged; nothing was sent\n"), qPrintable(printed));
}

// Each shape of this computer's IPv6, told alike by both front ends: the
// address sent, or why none was (IPv6=yes still sends IPv4, only nothing).
void TestEveryProvider::bothFrontEndsTellTheAddressEachShapeGives_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("sent"); // empty: none, for the reason why
    QTest::addColumn<QString>("why");
    const auto row = [](const char* shape, const QString& sent, const QString& why = {}) {
        QTest::newRow(shape) << QString(shape) << sent << why;
    };
    row("none", {}, "This computer has no IPv6 address");
    row("global-and-temporary", "2001:db8:1:0:ffff::10");
    row("ula-only", {}, "only local IPv6 addresses (link-local or private)");
    row("link-local-only", {}, "only local IPv6 addresses");
    row("route-elsewhere", {}, "the default route leaves through d1; 2001:db8:1::10 on d0");
    row("several-global", "2001:db8:1::10");
    row("deprecated", {}, "are being given up because the router no longer offers their prefix");
    row("lower-metric-elsewhere", "2001:db8:2::10");
    row("multipath", "2001:db8:2::10");
    row("unreachable-default", {}, "no IPv6 route to the Internet");
}

void TestEveryProvider::bothFrontEndsTellTheAddressEachShapeGives()
{
    QFETCH(QString, shape);
    QFETCH(QString, sent);
    QFETCH(QString, why);
    QVERIFY(giveShape(shape));
    const auto restore = qScopeGuard([] { giveShape("one-global"); });
    Peers peers(dynv6(), dynv6().record);
    for (const QString mode : {"yes", "only"}) {
        QTemporaryDir dir;
        QVERIFY(writeSettings(dir.filePath("Settings.ini"), fieldsOf(dynv6()), "IPv6=" + mode + "\n"));
        const test::ShownMessage message = windowVerdict(dir.path());
        const auto [exitCode, printed] = runCommand({"--settings", dir.filePath("Settings.ini")});
        const bool failed = sent.isEmpty() && mode == QLatin1String("only");
        for (const QString& output : {message.text + message.detail, printed})
            QVERIFY2(output.contains(sent.isEmpty() ? why : sent), qPrintable(output));
        // Without one, IPv6=yes warns and goes on; IPv6=only has failed.
        QVERIFY2(printed.contains(!sent.isEmpty() ? "<6>IPv6 address: " + sent + ", this computer's own on d"
                                  : failed        ? QString("<3>IPv6 address: none: ")
                                                  : QString("<4>Warning: IPv6 address: none: ")),
                 qPrintable(printed));
        QVERIFY(message.text.startsWith(failed ? "No IPv6 address was sent: " : "The IP has been received"));
        QCOMPARE(exitCode, int(failed ? cli::ExitNoAddress : cli::ExitAccepted));
        QCOMPARE(peers.provider.record().addressV6, sent.isEmpty() ? dynv6().record.addressV6 : sent);
    }
}

// --if-changed over both addresses: the second run sends exactly when one
// of them changed, or the refresh is due.
void TestEveryProvider::ifChangedSendsWhenEitherAddressChanges_data()
{
    QTest::addColumn<QStringList>("modes");  // of the first run and the second
    QTest::addColumn<QByteArray>("ipv4");    // the router's log the second time
    QTest::addColumn<QString>("ipv6");       // this computer's address the second time
    QTest::addColumn<int>("days");           // between the two runs
    QTest::addColumn<QString>("step");       // the second run's word on the last update; sent unless "the same"
    const QByteArray same4 = test::RouterAddress.toUtf8(), other4 = "203.0.113.8";
    const QString other6 = "2001:db8:1::20";
    const QStringList yes{"yes", "yes"};
    QTest::newRow("neither changed") << yes << same4 << OwnIpv6 << 1 << "the same address was accepted";
    QTest::newRow("the router's changed") << yes << other4 << OwnIpv6 << 1 << "the address has changed";
    QTest::newRow("the IPv6 one changed") << yes << same4 << other6 << 1 << "the IPv6 address is now " + other6;
    QTest::newRow("both changed") << yes << other4 << other6 << 1 << "both addresses have changed";
    QTest::newRow("26 days later") << yes << same4 << OwnIpv6 << 26 << "sending again so that the provider";
    QTest::newRow("IPv6 turned off") << QStringList{"yes", "no"} << same4 << OwnIpv6 << 1
                                     << "no IPv6 address goes with it now";
    // The router is not asked: its address cannot count.
    QTest::newRow("IPv6 alone, the router's changed")
        << QStringList{"only", "only"} << other4 << OwnIpv6 << 1 << "the same address was accepted";
}

void TestEveryProvider::ifChangedSendsWhenEitherAddressChanges()
{
    QFETCH(QStringList, modes);
    QFETCH(QString, ipv6);
    QFETCH(QString, step);
    Peers peers(dynv6(), dynv6().record);
    QTemporaryDir dir;
    const QString settings = dir.filePath("Settings.ini");
    QVERIFY(writeSettings(settings, fieldsOf(dynv6())));
    const QDateTime start = QDateTime::currentDateTimeUtc();
    const QStringList options{"--if-changed", "--settings", settings};
    QCOMPARE(runCommand(options + QStringList{"--ipv6=" + modes[0]}, start).first, int(cli::ExitAccepted));
    const qsizetype sentFirst = peers.server.requests().size();
    QFETCH(QByteArray, ipv4);
    peers.serveRouter(ipv4);
    const auto renumber = [](const QString& from, const QString& to) {
        return ran({"ip", "-6", "address", "del", from + "/64", "dev", "d0"}) &&
               ran({"ip", "-6", "address", "add", to + "/64", "dev", "d0", "nodad"});
    };
    QVERIFY(ipv6 == OwnIpv6 || renumber(OwnIpv6, ipv6));
    QFETCH(int, days);
    const auto [exitCode, printed] = runCommand(options + QStringList{"--ipv6=" + modes[1]}, start.addDays(days));
    QVERIFY(ipv6 == OwnIpv6 || renumber(ipv6, OwnIpv6));
    QVERIFY2(exitCode == cli::ExitAccepted && printed.contains(step), qPrintable(printed));
    const bool sent = !step.startsWith(QLatin1String("the same"));
    QCOMPARE(peers.server.requests().size() > sentFirst, sent);
    QCOMPARE(peers.provider.record().addressV6, ipv6);
}

QTEST_MAIN(TestEveryProvider)
#include "tst_everyprovider.moc"
