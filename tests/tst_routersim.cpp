// The simulator's router page and provider answers, read back through the
// same steps a check uses, so the demo and the benchmarks exercise a check
// that can succeed. Its UPnP gateway is held against miniupnpc's upnpc,
// inside a private network namespace.
#include "check/outcome.h"
#include "check/wanaddress.h"
#include "html/pagetext.h"
#include "sim/routersim.h"
#include "sim/upnpgateway.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

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
    QCOMPARE(extractWanAddress(renderPageText(page, "text/html").value()),
             wanLine ? std::optional(QStringLiteral("203.0.113.7")) : std::nullopt);
}

void TestRouterSim::addressWithHtmlSpecialCharactersComesBackAsGiven()
{
    const QString odd = QStringLiteral("203.0.113.7 <ppp0> & more");
    QCOMPARE(extractWanAddress(renderPageText(syslogPage(4096, odd), "text/html").value()), odd);
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
    const bool accepted = judgeAnswer({200, {}, renderPageText(answer, "text/plain").value()}).outcome ==
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

// What upnpc prints is the ground truth of what a miniupnpc client sees.
// miniupnpc takes a gateway whose external address is reserved, as the
// documentation addresses are, for one that is not connected: -i goes on.
void TestRouterSim::upnpcSeesTheGateway_data()
{
    QTest::addColumn<UpnpBehaviour>("behaviour");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("byDescription"); // upnpc -u, without discovery
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<bool>("soap");
    const auto lines = [](std::initializer_list<const char*> texts) {
        QStringList list;
        for (const char* text : texts)
            list.append(QString::fromUtf8(text));
        return list;
    };
    QTest::newRow("an address") << UpnpBehaviour::Address << "203.0.113.7" << false
                                << lines({"Found a (not connected?) IGD : http://127.0.0.1:",
                                          "ExternalIPAddress = 203.0.113.7"})
                                << true;
    QTest::newRow("an address, from the description")
        << UpnpBehaviour::Address << "198.51.100.20" << true
        << lines({"Found valid IGD : http://127.0.0.1:", "ExternalIPAddress = 198.51.100.20"}) << true;
    QTest::newRow("no address") << UpnpBehaviour::Address << "" << false
                                << lines({"GetExternalIPAddress failed. (empty string)"}) << true;
    QTest::newRow("a failing action")
        << UpnpBehaviour::Error << "203.0.113.7" << false
        << lines({"Status : Connected", "GetExternalIPAddress failed. (errorcode=501)"}) << true;
    QTest::newRow("a silent gateway") << UpnpBehaviour::Silent << "203.0.113.7" << false
                                      << lines({"No IGD UPnP Device found on the network !"}) << false;
    QTest::newRow("a media server") << UpnpBehaviour::NotGateway << "203.0.113.7" << false
                                    << lines({"UPnP device found. Is it an IGD ? : http://127.0.0.1:",
                                              "GetExternalIPAddress failed. (errorcode=-1)"})
                                    << false;
    QTest::newRow("a gateway described from elsewhere")
        << UpnpBehaviour::Elsewhere << "203.0.113.7" << false
        << lines({" desc: http://127.0.0.2:", "ExternalIPAddress = 203.0.113.7"}) << true;
}

void TestRouterSim::upnpcSeesTheGateway()
{
    if (qEnvironmentVariable("PARLOWEN_PRIVATE_NETWORK") != u"1")
        QSKIP("SSDP goes out only inside a private network namespace: ctest runs this as "
              "tst_routersim_private_network");
    const QString upnpc = QStandardPaths::findExecutable(QStringLiteral("upnpc"));
    if (upnpc.isEmpty() && qEnvironmentVariableIsSet("CI"))
        QFAIL("upnpc is missing; build.sh test installs miniupnpc");
    if (upnpc.isEmpty())
        QSKIP("upnpc is missing: apt-get install miniupnpc");
    QFETCH(UpnpBehaviour, behaviour);
    QFETCH(QString, address);
    QFETCH(bool, byDescription);
    QFETCH(QStringList, expectedLines);
    QFETCH(bool, soap);

    UpnpGateway gateway(behaviour, address);
    QVERIFY2(gateway.start(), qPrintable(gateway.errorString()));
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    QSignalSpy finished(&client, &QProcess::finished);
    client.start(upnpc, byDescription ? QStringList{QStringLiteral("-u"), gateway.descriptionUrl(),
                                                    QStringLiteral("-s")}
                                      : QStringList{QStringLiteral("-i"), QStringLiteral("-s")});
    // The gateway answers from this event loop, so the wait must run it.
    QVERIFY(finished.wait(60'000));
    const QString output = QString::fromUtf8(client.readAll());
    for (const QString& expected : expectedLines)
        QVERIFY2(output.contains(expected), qPrintable(expected + QStringLiteral("\nnot in:\n") + output));
    QCOMPARE(gateway.searchCount() > 0, !byDescription);
    QCOMPARE(gateway.soapRequestCount() > 0, soap);
}

QTEST_GUILESS_MAIN(TestRouterSim)
#include "tst_routersim.moc"
