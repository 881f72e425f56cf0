// The simulator's router page and provider answers, read back through the
// same steps a check uses, so the demo and the benchmarks exercise a check
// that can succeed. Its UPnP gateway is held against miniupnpc's upnpc and
// libnatpmp's natpmpc, inside a private network namespace.
#include "check/outcome.h"
#include "check/wanaddress.h"
#include "html/pagetext.h"
#include "sim/natpmpservice.h"
#include "sim/routersim.h"
#include "sim/ssdpchatter.h"
#include "sim/upnpgateway.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

using namespace parlowen;
using namespace parlowen::sim;

class TestRouterSim : public QObject {
    Q_OBJECT
private slots:
    void pageHasTheAskedSizeAndTheAddress_data();
    void pageHasTheAskedSizeAndTheAddress();
    void addressWithHtmlSpecialCharactersComesBackAsGiven();
    void byteSizes_data();
    void byteSizes();
    void providerAnswers_data();
    void providerAnswers();
    void maskedTargets_data();
    void maskedTargets();
    void upnpcSeesTheGateway_data();
    void upnpcSeesTheGateway();
    void natPmpAnswers_data();
    void natPmpAnswers();
    void aChattyDeviceAnswersOnlyWhereItMayAndNeverStops_data();
    void aChattyDeviceAnswersOnlyWhereItMayAndNeverStops();
};

void TestRouterSim::pageHasTheAskedSizeAndTheAddress_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<bool>("wanLine");
    QTest::newRow("a page smaller than its frame still holds the address") << qsizetype(1) << false << true;
    QTest::newRow("a 4 KiB page") << qsizetype(4096) << true << true;
    QTest::newRow("a size that no whole line fills") << qsizetype(4099) << true << true;
    QTest::newRow("a 1 MiB page") << qsizetype(1 << 20) << true << true;
    QTest::newRow("an 8 MiB page") << qsizetype(8 << 20) << true << true;
    QTest::newRow("a 4 KiB page without the WAN line") << qsizetype(4096) << true << false;
}

void TestRouterSim::pageHasTheAskedSizeAndTheAddress()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, exact);
    QFETCH(bool, wanLine);
    const QByteArray page =
        syslogPage(size, wanLine ? std::optional(QStringLiteral("203.0.113.7")) : std::nullopt);
    if (exact)
        QCOMPARE(page.size(), size);
    QCOMPARE(page.count("WAN IP is"), wanLine ? 1 : 0);
    // Other addresses come earlier on the page; only the WAN line's may be
    // found, and without it none at all.
    QCOMPARE(extractWanAddress(renderPageText(page, "text/html").value().text),
             wanLine ? std::optional(QStringLiteral("203.0.113.7")) : std::nullopt);
}

void TestRouterSim::addressWithHtmlSpecialCharactersComesBackAsGiven()
{
    const QString odd = QStringLiteral("203.0.113.7 <ppp0> & more");
    QCOMPARE(extractWanAddress(renderPageText(syslogPage(4096, odd), "text/html").value().text), odd);
}

void TestRouterSim::byteSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("bytes"); // 0: refused
    QTest::newRow("plain bytes") << "4096" << qsizetype(4096);
    QTest::newRow("kibibytes with K") << "4K" << qsizetype(4096);
    QTest::newRow("kibibytes with KiB in lower case") << "4kib" << qsizetype(4096);
    QTest::newRow("mebibytes with M") << "1M" << qsizetype(1 << 20);
    QTest::newRow("mebibytes with MiB and spaces") << " 8 MiB " << qsizetype(8 << 20);
    QTest::newRow("mebibytes with MB, read as binary") << "8MB" << qsizetype(8 << 20);
    QTest::newRow("empty text") << "" << qsizetype(0);
    QTest::newRow("zero") << "0" << qsizetype(0);
    QTest::newRow("a negative number") << "-1" << qsizetype(0);
    QTest::newRow("a fraction") << "4.5M" << qsizetype(0);
    QTest::newRow("an unknown unit") << "4X" << qsizetype(0);
    QTest::newRow("a unit without a number") << "K" << qsizetype(0);
}

void TestRouterSim::byteSizes()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, bytes);
    QCOMPARE(parseByteSize(text).value_or(0), bytes);
}

void TestRouterSim::providerAnswers_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("basicUser");
    QTest::addColumn<QString>("basicPassword");
    QTest::addColumn<bool>("accepting");
    QTest::addColumn<QByteArray>("expected"); // "updated successfully" for an accepted update
    const QString good =
        QStringLiteral("username=demo&password=s%26cret&hostname=home.example.net&myip=203.0.113.7");
    QTest::newRow("the right account is accepted")
        << good << QString() << QString() << true << QByteArray("updated successfully");
    QTest::newRow("the right account is refused when refusing")
        << good << QString() << QString() << false << QByteArray("abuse");
    QTest::newRow("a wrong user") << QString(good).replace("username=demo", "username=Demo") << QString()
                                  << QString() << true << QByteArray("badauth");
    QTest::newRow("a password not decoded as sent")
        << QString(good).replace("s%26cret", "s&cret") << QString() << QString() << true
        << QByteArray("badauth");
    QTest::newRow("no host name") << QString(good).replace("home.example.net", "") << QString() << QString()
                                  << true << QByteArray("notfqdn");
    QTest::newRow("a host name the provider does not keep")
        << QString(good).replace("home.", "work.") << QString() << QString() << true << QByteArray("nohost");
    const QString dyndns2 = QStringLiteral("system=dyndns&hostname=home.example.net&myip=203.0.113.7");
    QTest::newRow("the account in Basic authentication, as dyndns2 clients send it")
        << dyndns2 << QStringLiteral("demo") << QStringLiteral("s&cret") << true
        << QByteArray("updated successfully");
    QTest::newRow("a wrong password in Basic authentication")
        << dyndns2 << QStringLiteral("demo") << QStringLiteral("secret") << true << QByteArray("badauth");
    QTest::newRow("the query's account wins over Basic authentication")
        << good << QStringLiteral("demo") << QStringLiteral("wrong") << true
        << QByteArray("updated successfully");
}

void TestRouterSim::providerAnswers()
{
    QFETCH(QString, query);
    QFETCH(QString, basicUser);
    QFETCH(QString, basicPassword);
    QFETCH(bool, accepting);
    QFETCH(QByteArray, expected);
    const ProviderAccount account{QStringLiteral("demo"), QStringLiteral("s&cret"),
                                  QStringLiteral("home.example.net")};
    const QByteArray answer = providerAnswer(QUrlQuery(query), basicUser, basicPassword, account, accepting);
    const bool accepted = judgeAnswer({200, {}, renderPageText(answer, "text/plain").value().text}).outcome ==
                          UpdateOutcome::Accepted;
    QCOMPARE(accepted, expected == "updated successfully");
    if (!accepted)
        QCOMPARE(answer, expected);
}

void TestRouterSim::maskedTargets_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no query") << QByteArray("/doc/syslog.htm") << QByteArray("/doc/syslog.htm");
    QTest::newRow("a password among other values")
        << QByteArray("/dyn.asp?username=u&password=p%26q&hostname=h")
        << QByteArray("/dyn.asp?username=u&password=***&hostname=h");
    QTest::newRow("a password key in capitals")
        << QByteArray("/dyn.asp?PassWord=x") << QByteArray("/dyn.asp?PassWord=***");
    QTest::newRow("a password given twice")
        << QByteArray("/d?password=a&password=b") << QByteArray("/d?password=***&password=***");
    QTest::newRow("an absolute target, as to a proxy")
        << QByteArray("http://127.0.0.1:8080/dyn.asp?password=x&myip=1")
        << QByteArray("http://127.0.0.1:8080/dyn.asp?password=***&myip=1");
}

void TestRouterSim::maskedTargets()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, expected);
    QCOMPARE(maskedTarget(target), expected);
}

Q_DECLARE_METATYPE(parlowen::sim::UpnpBehaviour)
Q_DECLARE_METATYPE(parlowen::sim::DescriptionShape)

namespace {
// The ground truth's clients: upnpc searching, or reading the description
// it is given; natpmpc asking for the address, or a mapping too.
enum class Client { UpnpcSearch, UpnpcDescription, Natpmpc, NatpmpcMapping };
} // namespace
Q_DECLARE_METATYPE(Client)

// What upnpc and natpmpc print is the ground truth of what a client of
// miniupnpc or libnatpmp sees. miniupnpc takes a gateway whose external
// address is reserved, as the documentation addresses are, for one that is
// not connected: -i goes on.
void TestRouterSim::upnpcSeesTheGateway_data()
{
    QTest::addColumn<UpnpBehaviour>("behaviour");
    QTest::addColumn<QString>("address");
    QTest::addColumn<DescriptionShape>("shape");
    QTest::addColumn<Client>("client");
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<bool>("soap");
    const auto lines = [](std::initializer_list<const char*> texts) {
        QStringList list;
        for (const char* text : texts)
            list.append(QString::fromUtf8(text));
        return list;
    };
    const auto standard = DescriptionShape::Standard;
    const auto search = Client::UpnpcSearch;
    QTest::newRow("an address") << UpnpBehaviour::Address << "203.0.113.7" << standard << search
                                << lines({"Found a (not connected?) IGD : http://127.0.0.1:",
                                          "ExternalIPAddress = 203.0.113.7"})
                                << true;
    QTest::newRow("an address, from the description")
        << UpnpBehaviour::Address << "198.51.100.20" << standard << Client::UpnpcDescription
        << lines({"Found valid IGD : http://127.0.0.1:", "ExternalIPAddress = 198.51.100.20"}) << true;
    QTest::newRow("no address") << UpnpBehaviour::Address << "" << standard << search
                                << lines({"GetExternalIPAddress failed. (empty string)"}) << true;
    QTest::newRow("a failing action")
        << UpnpBehaviour::Error << "203.0.113.7" << standard << search
        << lines({"Status : Connected", "GetExternalIPAddress failed. (errorcode=501)"}) << true;
    QTest::newRow("a silent gateway") << UpnpBehaviour::Silent << "203.0.113.7" << standard << search
                                      << lines({"No IGD UPnP Device found on the network !"}) << false;
    QTest::newRow("a media server") << UpnpBehaviour::NotGateway << "203.0.113.7" << standard << search
                                    << lines({"UPnP device found. Is it an IGD ? : http://127.0.0.1:",
                                              "GetExternalIPAddress failed. (errorcode=-1)"})
                                    << false;
    QTest::newRow("a gateway described from elsewhere")
        << UpnpBehaviour::Elsewhere << "203.0.113.7" << standard << search
        << lines({" desc: http://127.0.0.2:", "ExternalIPAddress = 203.0.113.7"}) << true;
    QTest::newRow("the connection in the second of two WAN devices")
        << UpnpBehaviour::Address << "203.0.113.7" << DescriptionShape::SecondWanDevice << search
        << lines({"Status : Connected", "ExternalIPAddress = 203.0.113.7"}) << true;
    QTest::newRow("a PPP connection alone")
        << UpnpBehaviour::Address << "203.0.113.7" << DescriptionShape::PppOnly << search
        << lines({"IGD : http://127.0.0.1:", "/ctl/PPPConn", "ExternalIPAddress = 203.0.113.7"}) << true;
    QTest::newRow("a version 2 gateway, found by a search for version 1")
        << UpnpBehaviour::Address << "203.0.113.7" << DescriptionShape::IgdV2 << search
        << lines(
               {"st: urn:schemas-upnp-org:device:InternetGatewayDevice:1", "ExternalIPAddress = 203.0.113.7"})
        << true;
    QTest::newRow("control on the port the URLBase names")
        << UpnpBehaviour::Address << "198.51.100.20" << DescriptionShape::UrlBaseOtherPort
        << Client::UpnpcDescription << lines({"Found valid IGD", "ExternalIPAddress = 198.51.100.20"})
        << true;
    QTest::newRow("NAT-PMP's public address")
        << UpnpBehaviour::Address << "203.0.113.7" << standard << Client::Natpmpc
        << lines({"Public IP address : 203.0.113.7"}) << false;
    QTest::newRow("NAT-PMP without a public address")
        << UpnpBehaviour::Address << "" << standard << Client::Natpmpc
        << lines({"readnatpmpresponseorretry() failed : network failure"}) << false;
    QTest::newRow("NAT-PMP with text where the address goes")
        << UpnpBehaviour::Address << "pending" << standard << Client::Natpmpc
        << lines({"readnatpmpresponseorretry() failed : network failure"}) << false;
    QTest::newRow("NAT-PMP from a gateway whose UPnP fails, refusing a mapping")
        << UpnpBehaviour::Error << "203.0.113.7" << standard << Client::NatpmpcMapping
        << lines({"Public IP address : 203.0.113.7", "failed : unsupported nat-pmp opcode error from server"})
        << false;
}

void TestRouterSim::upnpcSeesTheGateway()
{
    if (qEnvironmentVariable("PARLOWEN_PRIVATE_NETWORK") != u"1")
        QSKIP("SSDP and NAT-PMP go out only inside a private network namespace: ctest runs this as "
              "tst_routersim_private_network");
    QFETCH(UpnpBehaviour, behaviour);
    QFETCH(QString, address);
    QFETCH(DescriptionShape, shape);
    QFETCH(Client, client);
    QFETCH(QStringList, expectedLines);
    QFETCH(bool, soap);
    const bool natPmp = client == Client::Natpmpc || client == Client::NatpmpcMapping;
    const QString program = natPmp ? QStringLiteral("natpmpc") : QStringLiteral("upnpc");
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty() && qEnvironmentVariableIsSet("CI"))
        QFAIL(qPrintable(program + " is missing; build.sh test installs it"));
    if (found.isEmpty())
        QSKIP(qPrintable(program + " is missing: apt-get install " + (natPmp ? "natpmpc" : "miniupnpc")));

    UpnpGateway gateway(behaviour, address, GatewayFeatures{shape, natPmp});
    QVERIFY2(gateway.start(), qPrintable(gateway.errorString()));
    const QMap<Client, QStringList> arguments{
        {Client::UpnpcSearch, {"-i", "-s"}},
        {Client::UpnpcDescription, {"-u", gateway.descriptionUrl(), "-s"}},
        {Client::Natpmpc, {"-g", "127.0.0.1"}},
        {Client::NatpmpcMapping, {"-g", "127.0.0.1", "-a", "40000", "40000", "udp", "60"}},
    };
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(found, arguments.value(client));
    // The gateway answers from this event loop, so the wait must run it.
    QVERIFY(finished.wait(60'000));
    const QString output = QString::fromUtf8(process.readAll());
    for (const QString& expected : expectedLines)
        QVERIFY2(output.contains(expected), qPrintable(expected + QStringLiteral("\nnot in:\n") + output));
    QCOMPARE(gateway.searchCount() > 0, client == Client::UpnpcSearch);
    QCOMPARE(gateway.soapRequestCount() > 0, soap);
    QCOMPARE(gateway.natPmpRequestCount() > 0, natPmp);
}

// The answers RFC 6886 gives, byte for byte: version, opcode + 128, result,
// seconds since the gateway started, and for the public address the address.
void TestRouterSim::natPmpAnswers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("answer"); // empty: none at all
    QTest::newRow("the public address")
        << QByteArray::fromHex("0000") << "203.0.113.7" << QByteArray::fromHex("008000000000002acb007107");
    QTest::newRow("no address: network failure")
        << QByteArray::fromHex("0000") << "" << QByteArray::fromHex("008000030000002a00000000");
    QTest::newRow("an IPv6 address is none NAT-PMP can tell")
        << QByteArray::fromHex("0000") << "2001:db8::7" << QByteArray::fromHex("008000030000002a00000000");
    QTest::newRow("another version") << QByteArray::fromHex("0100") << "203.0.113.7"
                                     << QByteArray::fromHex("008000010000002a");
    QTest::newRow("a mapping, which this gateway does not make")
        << QByteArray::fromHex("000100009c409c4000000e10") << "203.0.113.7"
        << QByteArray::fromHex("008100050000002a");
    QTest::newRow("an opcode no version has")
        << QByteArray::fromHex("0063") << "203.0.113.7" << QByteArray::fromHex("00e300050000002a");
    QTest::newRow("an answer, which is not answered")
        << QByteArray::fromHex("008000000000002acb007107") << "203.0.113.7" << QByteArray();
    QTest::newRow("a single byte") << QByteArray::fromHex("00") << "203.0.113.7" << QByteArray();
}

void TestRouterSim::natPmpAnswers()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, address);
    QFETCH(QByteArray, answer);
    QCOMPARE(natPmpAnswer(request, address, 42).toHex(), answer.toHex());
}

void TestRouterSim::aChattyDeviceAnswersOnlyWhereItMayAndNeverStops_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("starts");
    QTest::newRow("a loopback address") << "127.0.0.3" << true;
    QTest::newRow("a public address") << "203.0.113.5" << false;
    QTest::newRow("the IPv6 loopback, where the group is not joined") << "::1" << false;
    QTest::newRow("a test LAN address no interface here holds") << "192.168.77.3" << false;
}

// Three answers to one search: the first, and repeats that no search asked for.
void TestRouterSim::aChattyDeviceAnswersOnlyWhereItMayAndNeverStops()
{
    if (qEnvironmentVariable("PARLOWEN_PRIVATE_NETWORK") != u"1")
        QSKIP("SSDP goes out only inside a private network namespace: ctest runs this as "
              "tst_routersim_private_network");
    QFETCH(QString, address);
    QFETCH(bool, starts);
    SsdpChatter chatter{QHostAddress(address)};
    QCOMPARE(chatter.start(), starts);
    if (!starts)
        return;
    QUdpSocket searcher;
    QVERIFY(searcher.bind(QHostAddress::LocalHost, 0));
    QVERIFY(searcher.writeDatagram("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
                                   "MAN: \"ssdp:discover\"\r\nMX: 1\r\n"
                                   "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n",
                                   QHostAddress(QStringLiteral("239.255.255.250")), 1900) > 0);
    QList<QNetworkDatagram> answers;
    connect(&searcher, &QUdpSocket::readyRead, this, [&] {
        while (searcher.hasPendingDatagrams())
            answers.append(searcher.receiveDatagram());
    });
    QTRY_VERIFY_WITH_TIMEOUT(answers.size() >= 3, 30'000);
    for (const QNetworkDatagram& answer : std::as_const(answers)) {
        QCOMPARE(answer.senderAddress(), QHostAddress(address));
        QVERIFY2(answer.data().contains("\r\nLOCATION: " + chatter.descriptionUrl().toUtf8() + "\r\n"),
                 answer.data().constData());
        QVERIFY(chatter.descriptionUrl().startsWith("http://" + address + ':'));
    }
}

QTEST_GUILESS_MAIN(TestRouterSim)
#include "tst_routersim.moc"
