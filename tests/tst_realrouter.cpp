// parlowen-check against Debian's miniupnpd, the router software many real
// routers run, in the namespaces of support/in-router-network: the log page
// on the router's LAN address has no WAN line, so the check must ask the
// router's own services. upnpc and natpmpc, in the same place, show first
// that the router answers as the rows expect.
#include "support/testfiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace parlowen::test;

namespace {

// Where in-router-network puts the router and the client.
const QString RouterLan = QStringLiteral("192.168.77.1");
const QString PublicWan = QStringLiteral("203.0.113.7");

// The step lines parlowen-check prints (flow/checkrun.cpp) that the rows
// match, all in one place. An expected line matches a printed line that
// begins with it (or, ending in a line break, the whole line), and a row's
// lines must come in their order. A service
// the helper asks names itself at the start of its line: "UPnP: ...".
namespace Step {
QString askingTheRouter()
{
    return QStringLiteral("WAN address: none in the log; asking the router's NAT-PMP and UPnP services at %1")
        .arg(RouterLan);
}
QString natPmpAddress(const QString& address)
{
    return QStringLiteral("NAT-PMP: WAN address \"%1\"").arg(address);
}
// A line that ends here: the address found by a search.
QString upnpAddress(const QString& address)
{
    return QStringLiteral("UPnP: WAN address \"%1\"\n").arg(address);
}
QString rememberedUpnpAddress(const QString& address)
{
    return QStringLiteral("UPnP: WAN address \"%1\", from the gateway of last time").arg(address);
}
QString noAddress(const QString& why)
{
    return QStringLiteral("WAN address: none: %1").arg(why);
}
QString sending()
{
    return QStringLiteral("Update: sending http://%1:8080/dyn.asp?").arg(RouterLan);
}
const QString Received = QStringLiteral("The IP has been received");
} // namespace Step

// What one parlowen-check run of a row prints and sends.
struct CheckExpectation {
    int exitCode;
    QStringList lines;   // in order; each the start of a printed line
    QString sentAddress; // the myip the provider got; empty: nothing sent
};

struct Output {
    int exitCode = -1;
    QString text;      // standard output and error, with the router's log page and provider
    QString routerLog; // miniupnpd's
};

QStringList routerOptions(const char* options)
{
    return QString::fromLatin1(options).split(u' ', Qt::SkipEmptyParts);
}

// Runs the command in the client namespace of a router made with these
// options (and with --in-router and its ports, when given).
Output inRouterNetwork(const QStringList& options, const QStringList& command, const QString& inRouter = {},
                       const QStringList& ports = {})
{
    QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("miniupnpd.log"));
    QStringList arguments = options;
    arguments << QStringLiteral("--router-log") << log << QStringLiteral("--stun")
              << QStringLiteral(PARLOWEN_STUN_PROGRAM);
    if (!inRouter.isEmpty())
        arguments << QStringLiteral("--in-router") << inRouter;
    for (const QString& port : ports)
        arguments << QStringLiteral("--await-port") << port;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(PARLOWEN_ROUTER_NETWORK), arguments << QStringLiteral("--") << command);
    process.waitForFinished(120'000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll()), QString::fromUtf8(readBytes(log))};
}

// in-router-network exits 77 where it cannot make namespaces (and, outside
// CI, where miniupnpd is missing).
bool routerWasMade(const Output& output)
{
    return output.exitCode != 77;
}

// Skips outside CI when a client of the ground truth is missing.
void requireProgram(const char* program, const char* package)
{
    if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
        return;
    if (qEnvironmentVariableIsSet("CI"))
        QFAIL(qPrintable(QStringLiteral("%1 is missing; build.sh test installs %2").arg(program, package)));
    QSKIP(qPrintable(QStringLiteral("%1 is missing: apt-get install %2").arg(program, package)));
}

// The lines, each found in order as the start of a line of the text; the
// first one missing, or nothing.
std::optional<QString> missingLine(const QString& text, const QStringList& expected)
{
    const QStringList lines = text.split(u'\n');
    qsizetype at = 0;
    for (const QString& line : expected) {
        while (at < lines.size() && !(lines[at] + u'\n').startsWith(line))
            ++at;
        if (at == lines.size())
            return line;
        ++at;
    }
    return std::nullopt;
}

// The shell command that runs parlowen-check so many times in the client
// namespace. Each run begins with a line of its own and ends with its exit
// status, so that the router's and provider's lines fall in the run they
// belong to. A chatty neighbour, at 192.168.77.3 beside the client, answers
// every search from then on.
QStringList checkRuns(int runs, const QString& settings, bool chattyNeighbour)
{
    return {QStringLiteral("sh"),
            QStringLiteral("-c"),
            QStringLiteral("if [ -n \"$4\" ]; then ip addr add 192.168.77.3/24 dev eth0; "
                           "\"$4\" --listen 127.0.0.1 --router-port 18080 --provider-port 18081 "
                           "--chatty-device 192.168.77.3 2>&1 & "
                           "until ss -Hlnu 'sport = :1900' | grep -q .; do sleep 0.1; done; fi; "
                           "for n in $(seq \"$1\"); do echo \"=== check $n\"; \"$2\" --settings \"$3\" 2>&1; "
                           "echo \"=== exit $?\"; done"),
            QStringLiteral("sh"),
            QString::number(runs),
            QStringLiteral(PARLOWEN_CHECK_PROGRAM),
            settings,
            chattyNeighbour ? QStringLiteral(PARLOWEN_SIMULATOR_PROGRAM) : QString()};
}

} // namespace

Q_DECLARE_METATYPE(CheckExpectation)

class TestRealRouter : public QObject {
    Q_OBJECT
private slots:
    void clientsSeeTheRouter_data();
    void clientsSeeTheRouter();
    void theCheckAsksTheRouter_data();
    void theCheckAsksTheRouter();
};

// What miniupnpc's and libnatpmp's own clients see is the ground truth of
// the router each row of theCheckAsksTheRouter stands on. upnpc -i goes on
// where miniupnpc takes the router for one not connected, as it does for a
// documentation address.
void TestRealRouter::clientsSeeTheRouter_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<QString>("routerLogLine"); // what miniupnpd logs, or nothing
    const QString upnp = QStringLiteral("ExternalIPAddress = %1").arg(PublicWan);
    const QString natPmp = QStringLiteral("Public IP address : %1").arg(PublicWan);
    const QString noUpnp = QStringLiteral("GetExternalIPAddress failed. (empty string)");
    const QString noNatPmp = QStringLiteral("readnatpmpresponseorretry() failed : network failure");
    const QString reserved = QStringLiteral("is not suitable for external IP");
    QTest::newRow("a public WAN address, IGD v2")
        << routerOptions("--wan public --igd v2") << QStringList{upnp, natPmp}
        << QStringLiteral("WANIPConnection:2#GetExternalIPAddress");
    QTest::newRow("a public WAN address, IGD v1")
        << routerOptions("--wan public --igd v1") << QStringList{upnp, natPmp}
        << QStringLiteral("WANIPConnection:1#GetExternalIPAddress");
    QTest::newRow("a reserved WAN address")
        << routerOptions("--wan reserved") << QStringList{noUpnp, noNatPmp}
        << QStringLiteral("address 100.64.0.2 ") + reserved;
    QTest::newRow("a public WAN address the router was never told")
        << routerOptions("--wan public --no-stun") << QStringList{noUpnp, noNatPmp}
        << QStringLiteral("address %1 ").arg(PublicWan) + reserved;
    QTest::newRow("NAT-PMP alone") << routerOptions("--no-upnp")
                                   << QStringList{QStringLiteral("No IGD UPnP Device found on the network !"),
                                                  natPmp}
                                   << QString();
}

void TestRealRouter::clientsSeeTheRouter()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, expectedLines);
    QFETCH(QString, routerLogLine);
    requireProgram("upnpc", "miniupnpc");
    requireProgram("natpmpc", "natpmpc");
    const Output output = inRouterNetwork(
        options, {QStringLiteral("sh"), QStringLiteral("-c"),
                  QStringLiteral("upnpc -i -s 2>&1; natpmpc -g \"$PARLOWEN_ROUTER_LAN\" 2>&1; exit 0")});
    if (!routerWasMade(output))
        QSKIP("in-router-network could not make the router's namespaces");
    QVERIFY2(output.exitCode == 0, qPrintable(output.text));
    for (const QString& line : expectedLines)
        QVERIFY2(output.text.contains(line), qPrintable(line + QStringLiteral("\nnot in:\n") + output.text));
    QVERIFY2(output.routerLog.contains(routerLogLine), qPrintable(routerLogLine + u'\n' + output.routerLog));
}

void TestRealRouter::theCheckAsksTheRouter_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<CheckExpectation>>("checks"); // the runs, in turn, against one router
    QTest::addColumn<QString>("routerLogLine");
    QTest::addColumn<QString>("remembered"); // the gateway the state file names before the first run
    QTest::addColumn<bool>("chattyNeighbour"); // a LAN device that repeats its SSDP answer for ever
    const auto sent = [](const QString& found) {
        return CheckExpectation{0, {Step::askingTheRouter(), found, Step::sending(), Step::Received}, PublicWan};
    };
    const CheckExpectation byNatPmp = sent(Step::natPmpAddress(PublicWan));
    const CheckExpectation bySearch = sent(Step::upnpAddress(PublicWan));
    const CheckExpectation byRememberedGateway = sent(Step::rememberedUpnpAddress(PublicWan));
    // miniupnpd tells no address it takes for a private or reserved one: the
    // router sits behind another NAT, and the words must say so.
    const auto noPublicAddress = [](const QString& found, const char* service) {
        return CheckExpectation{
            2,
            {Step::askingTheRouter(), found,
             Step::noAddress(QStringLiteral("the router's %1 service answered with no address: the router has "
                                            "no public address of its own")
                                 .arg(QLatin1String(service)))},
            {}};
    };
    QTest::newRow("NAT-PMP answers first") << routerOptions("--wan public") << QList{byNatPmp, byNatPmp}
                                           << QStringLiteral("NAT-PMP request received from 192.168.77.2") << QString() << false;
    QTest::newRow("NAT-PMP alone") << routerOptions("--no-upnp") << QList{byNatPmp} << QString() << QString() << false;
    // The second check asks the gateway the first one found, without a search.
    QTest::newRow("UPnP alone, IGD v2")
        << routerOptions("--no-natpmp --igd v2") << QList{bySearch, byRememberedGateway}
        << QStringLiteral("WANIPConnection:2#GetExternalIPAddress") << QString() << false;
    QTest::newRow("UPnP alone, IGD v1")
        << routerOptions("--no-natpmp --igd v1") << QList{bySearch, byRememberedGateway}
        << QStringLiteral("WANIPConnection:1#GetExternalIPAddress") << QString() << false;
    QTest::newRow("a reserved WAN address, by NAT-PMP")
        << routerOptions("--wan reserved") << QList{noPublicAddress(Step::natPmpAddress({}), "NAT-PMP")}
        << QStringLiteral("NAT-PMP request received from 192.168.77.2") << QString() << false;
    QTest::newRow("a reserved WAN address, by UPnP")
        << routerOptions("--wan reserved --no-natpmp") << QList{noPublicAddress(Step::upnpAddress({}), "UPnP")}
        << QStringLiteral("WANIPConnection:2#GetExternalIPAddress") << QString() << false;
    QTest::newRow("a public WAN address the router was never told")
        << routerOptions("--wan public --no-stun") << QList{noPublicAddress(Step::natPmpAddress({}), "NAT-PMP")}
        << QStringLiteral("NAT-PMP request received from 192.168.77.2") << QString() << false;
    // A gateway of last time that no longer answers leaves the search to
    // find the router's.
    QTest::newRow("the gateway of last time is gone")
        << routerOptions("--no-natpmp") << QList{bySearch, byRememberedGateway}
        << QStringLiteral("WANIPConnection:2#GetExternalIPAddress")
        << QStringLiteral("http://%1:5999/ctl/IPConn").arg(RouterLan) << false;
    // The search ends at the router's answer, however long another device
    // goes on answering.
    QTest::newRow("a LAN device that never stops answering the search")
        << routerOptions("--no-natpmp") << QList{bySearch, byRememberedGateway}
        << QStringLiteral("WANIPConnection:2#GetExternalIPAddress") << QString() << true;
}

void TestRealRouter::theCheckAsksTheRouter()
{
    QFETCH(QStringList, options);
    QFETCH(QList<CheckExpectation>, checks);
    QFETCH(QString, routerLogLine);
    QTemporaryDir folder;
    const QString settings = folder.filePath(QStringLiteral("Settings.ini"));
    writeBytes(settings, "[Router settings]\nPassword=admin\nIP=" + RouterLan.toUtf8() +
                             "\n[DNS settings]\nService URL=http://" + RouterLan.toUtf8() +
                             ":8080/dyn.asp\nUser=u\nPassword=p\nHost=home.example.net\n");
    QFETCH(QString, remembered);
    if (!remembered.isEmpty())
        writeBytes(folder.filePath(QStringLiteral("parlowen-check.state")),
                   "gateway=" + QUrl::toPercentEncoding(remembered, ".:") +
                       "\ngateway-service=urn%3Aschemas-upnp-org%3Aservice%3AWANIPConnection%3A2\n");
    QFETCH(bool, chattyNeighbour);
    const QStringList command = checkRuns(int(checks.size()), settings, chattyNeighbour);
    const QString simulator = QStringLiteral("exec '%1' --listen %2 --router-port 80 --no-wan-line")
                                  .arg(QStringLiteral(PARLOWEN_SIMULATOR_PROGRAM), RouterLan);
    const Output output =
        inRouterNetwork(options, command, simulator, {QStringLiteral("80"), QStringLiteral("8080")});
    if (!routerWasMade(output))
        QSKIP("in-router-network could not make the router's namespaces");
    QVERIFY2(output.exitCode == 0, qPrintable(output.text));
    const QStringList runs = output.text.split(QStringLiteral("=== check "));
    QCOMPARE(runs.size() - 1, checks.size());
    for (qsizetype n = 0; n < checks.size(); ++n) {
        const QString& run = runs[n + 1];
        const CheckExpectation& expected = checks[n];
        const QString context = QStringLiteral("check %1:\n").arg(n + 1) + run;
        QVERIFY2(run.contains(QStringLiteral("=== exit %1\n").arg(expected.exitCode)), qPrintable(context));
        const std::optional<QString> missing = missingLine(run, expected.lines);
        QVERIFY2(!missing, qPrintable(missing.value_or(QString()) + QStringLiteral("\nnot in ") + context));
        static const QRegularExpression sent(QStringLiteral("provider: GET /dyn.asp\\?\\S*&myip=(\\S*)"));
        const QRegularExpressionMatch match = sent.match(run);
        QVERIFY2(match.hasMatch() == !expected.sentAddress.isEmpty(), qPrintable(context));
        QCOMPARE(match.captured(1), expected.sentAddress);
    }
    QVERIFY2(output.routerLog.contains(routerLogLine), qPrintable(routerLogLine + u'\n' + output.routerLog));
    QVERIFY2(output.text.contains(QStringLiteral("chatty:   M-SEARCH")) == chattyNeighbour, qPrintable(output.text));
}

QTEST_GUILESS_MAIN(TestRealRouter)
#include "tst_realrouter.moc"
