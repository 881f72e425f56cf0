// The table of router and provider cases (support/checkcases), each run as a
// whole check through the window and then through the command, with the
// settings the window saved: one verdict in the same words. The router's
// log page and the provider on loopback, the router's UPnP gateway, its
// NAT-PMP service and a chatty neighbour on a loopback that carries
// multicast: inside a private network namespace only.
#include "check/hiddenline.h"
#include "check/upnpanswer.h"
#include "cli/checkcommand.h"
#include "cli/journalstream.h"
#include "sim/ssdpchatter.h"
#include "sim/upnpgateway.h"
#include "support/checkcases.h"
#include "support/checkwindow.h"
#include "support/messageboxwatcher.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTest>

#include <map>
#include <optional>

using namespace parlowen;
using namespace parlowen::test;
using namespace std::chrono_literals;
using sim::FakeHttpServer;

namespace {

// No route leads there in the private network: a load fails the moment it starts.
const QString NoRouteAddress = QStringLiteral("192.0.2.1");

// What answers for the router besides its log page, for as long as a case runs.
struct RouterServices {
    std::optional<sim::UpnpGateway> gateway;
    std::optional<sim::SsdpChatter> chatty;
};

// Whether the address sent came from the router's NAT-PMP or UPnP service,
// and whether its UPnP gateway answered at all.
struct ServiceAnswer {
    bool sentFromService = false;
    bool upnpAnswered = false;
};

} // namespace

class TestSameVerdict : public CheckWindow {
    Q_OBJECT
private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }
    void theWindowAndTheCommandReachOneVerdictInTheSameWords_data();
    void theWindowAndTheCommandReachOneVerdictInTheSameWords();

private:
    void serve(const CheckCase& check);
    void startRouterServices(const CheckCase& check, RouterServices& services);
    void judgeTheBox(const CheckCase& check, const ShownMessage& message);
    void judgeTheWindow(const CheckCase& check, const RouterServices& services, ServiceAnswer& service);
    void judgeTheCommand(const CheckCase& check, const ServiceAnswer& service, const RouterServices& services,
                         const BrowserLimits& limits);
};

void TestSameVerdict::serve(const CheckCase& check)
{
    const auto serveAt = [](std::unique_ptr<FakeHttpServer>& server, const QString& path, Peer peer, int status,
                            const QByteArray& body) {
        if (peer == Peer::NotListening || peer == Peer::NoRoute)
            server.reset(); // its port stays in the settings, now with nothing behind it
        else if (peer == Peer::WrongPassword)
            server->requireAuth(path, FakeHttpServer::Auth::Basic, "admin", "another");
        else
            server->setRoute(path, {.status = status, .body = body, .neverAnswer = peer == Peer::NeverAnswers});
    };
    serveAt(m_router, RouterLogPath, check.router, check.routerStatus, check.page);
    if (!check.sheet.isEmpty())
        m_router->setRoute("/doc/syslog.css", {.status = check.sheetStatus,
                                               .contentType = "text/css",
                                               .body = check.sheet,
                                               .neverAnswer = check.sheetPeer == Peer::NeverAnswers});
    serveAt(m_provider, UpdatePath, check.provider, check.providerStatus, check.answer);
    if (check.router == Peer::NoRoute)
        field("txtRouterIP")->setText(NoRouteAddress);
    if (check.provider == Peer::NoRoute)
        field("txtService")->setText("http://" + NoRouteAddress + UpdatePath);
}

void TestSameVerdict::startRouterServices(const CheckCase& check, RouterServices& services)
{
    if (check.gateway != Gateway::None) {
        static const std::map<Gateway, sim::UpnpBehaviour> behaviours{
            {Gateway::Address, sim::UpnpBehaviour::Address},
            {Gateway::Error, sim::UpnpBehaviour::Error},
            {Gateway::NotGateway, sim::UpnpBehaviour::NotGateway},
            {Gateway::Elsewhere, sim::UpnpBehaviour::Elsewhere},
        };
        services.gateway.emplace(behaviours.at(check.gateway), QString::fromUtf8(check.gatewayAddress),
                                 sim::GatewayFeatures{check.shape, check.natPmp});
        QVERIFY2(services.gateway->start(), qPrintable(services.gateway->errorString()));
    }
    if (check.chattyDevice) {
        services.chatty.emplace(QHostAddress("127.0.0.3"));
        QVERIFY2(services.chatty->start(), qPrintable(services.chatty->errorString()));
    }
}

void TestSameVerdict::theWindowAndTheCommandReachOneVerdictInTheSameWords_data()
{
    QTest::addColumn<int>("index");
    for (qsizetype i = 0; i < checkCases().size(); ++i)
        QTest::newRow(checkCases()[i].name) << int(i);
}

void TestSameVerdict::theWindowAndTheCommandReachOneVerdictInTheSameWords()
{
    QFETCH(int, index);
    const CheckCase& check = checkCases()[index];
    serve(check);
    RouterServices services;
    startRouterServices(check, services);
    if (QTest::currentTestFailed())
        return;
    BrowserLimits limits;
    if (check.router == Peer::NeverAnswers || check.provider == Peer::NeverAnswers)
        limits.timeout = 500ms;
    // The sheets' own share, made short; the load's time stays as it was.
    if (check.sheetPeer == Peer::NeverAnswers)
        limits.sheetTimeout = 300ms;
    browser()->engine()->setLimits(limits);
    saveTheFields();
    ServiceAnswer service;
    judgeTheWindow(check, services, service);
    if (QTest::currentTestFailed())
        return;
    judgeTheCommand(check, service, services, limits);
}

void TestSameVerdict::judgeTheBox(const CheckCase& check, const ShownMessage& message)
{
    QCOMPARE(message.title, QStringLiteral("Tobrisk"));
    switch (check.verdict) {
    case Verdict::Accepted:
        QCOMPARE(message.text, QStringLiteral("The IP has been received"));
        // An address that is not public is a success that is not one: said
        // first, under the warning icon.
        QCOMPARE(message.icon, check.reason.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
        QVERIFY2(message.detail.startsWith(check.reason), qPrintable(message.detail));
        break;
    case Verdict::NotAccepted:
        QCOMPARE(message.text, NotReceived);
        QCOMPARE(message.icon, QMessageBox::Critical);
        break;
    case Verdict::NoAddress:
        QVERIFY2(message.text.startsWith("No WAN IP was found: "), qPrintable(message.text));
        QCOMPARE(message.icon, QMessageBox::Critical);
        QCOMPARE(field("txtWANIP")->text(), QStringLiteral("earlier"));
        break;
    }
    const QString shown = message.text + '\n' + message.detail;
    QVERIFY2(shown.contains(check.reason), qPrintable(shown));
}

// The window: its box says the verdict, and why.
void TestSameVerdict::judgeTheWindow(const CheckCase& check, const RouterServices& services,
                                     ServiceAnswer& service)
{
    MessageBoxWatcher watcher;
    field("txtWANIP")->setText("earlier");
    pressGo();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    QTest::qWait(200); // room for a second message, were one to come
    QCOMPARE(watcher.messages().size(), 1);
    const ShownMessage& message = watcher.messages().constFirst();
    judgeTheBox(check, message);
    QTRY_COMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
    const qsizetype sent = updates();
    QCOMPARE(sent, check.verdict == Verdict::NoAddress || !m_provider ? 0 : 1);
    // An address the gateway gave came from the router's service, and the
    // box says which; where the log had one, or the router refused, no
    // service was even asked. What the gateway gave that is no address is
    // named as the gateway's.
    service.sentFromService = check.gateway == Gateway::Address && sent == 1 &&
                              m_provider->requests().constFirst().query.queryItemValue("myip") ==
                                  check.gatewayAddress;
    const AddressSource source = check.natPmp ? AddressSource::NatPmp : AddressSource::Upnp;
    QCOMPARE(message.detail.contains(check.lineMayBeHidden ? hiddenLineSourceNote(source)
                                                           : upnpSourceNote(source)),
             service.sentFromService);
    service.upnpAnswered = check.gateway == Gateway::Address && (message.text + message.detail).contains("UPnP");
    if (check.gateway == Gateway::Address && !service.upnpAnswered)
        QCOMPARE(services.gateway->searchCount(), 0);
}

// The command, as the timer runs it: the same verdict in the same words,
// and nothing sent again for an address the window had accepted. Its lines
// as the journal gets them: the reason an error, or a warning.
void TestSameVerdict::judgeTheCommand(const CheckCase& check, const ServiceAnswer& service,
                                      const RouterServices& services, const BrowserLimits& limits)
{
    QBuffer journal;
    QVERIFY(journal.open(QIODevice::WriteOnly));
    cli::JournalLines lines(journal);
    QTextStream out(&lines), err(&lines);
    cli::CommandEnvironment environment{[] { return QDateTime::currentDateTimeUtc(); }, limits};
    environment.upnpHelper = PARLOWEN_UPNP_HELPER;
    const int exitCode = cli::run({"parlowen-check", "--if-changed", "--settings", settingsPath()}, out, err,
                                  environment);
    const QString printed = QString::fromUtf8(journal.data());
    // The window's check remembered the UPnP gateway that answered: it is
    // asked directly now, without a search.
    static const QRegularExpression remembered(
        "\n<6>UPnP: WAN address \"[^\n]*\", from the gateway of last time\n");
    QCOMPARE(printed.contains(remembered), service.upnpAnswered);
    if (service.sentFromService)
        QVERIFY2(printed.contains(QStringLiteral("\n<6>%1: WAN address \"%2\"")
                                      .arg(check.natPmp ? "NAT-PMP" : "UPnP", check.gatewayAddress)),
                 qPrintable(printed));
    if (check.gateway == Gateway::Address && !service.upnpAnswered)
        QCOMPARE(services.gateway->searchCount(), 0);
    // A line a rule not read might hide is said to be, as the router's
    // services are asked in its place.
    static const QRegularExpression hiddenStep(
        "\n<4>Warning: WAN address: [^\n]*style rules Parlowen cannot read; asking");
    QCOMPARE(printed.contains(hiddenStep), check.lineMayBeHidden);
    const qsizetype reasonAt = printed.indexOf(check.reason);
    QVERIFY2(reasonAt >= 0, qPrintable(printed));
    const QString reasonLine = printed.sliced(printed.lastIndexOf('\n', reasonAt) + 1);
    QVERIFY2(reasonLine.startsWith(check.verdict == Verdict::Accepted ? "<4>Warning: " : "<3>"),
             qPrintable(printed));
    if (!check.sheetStep.isEmpty())
        QVERIFY2(printed.contains("\n<4>Warning: " + check.sheetStep + '\n'), qPrintable(printed));
    static const int exitCodes[] = {cli::ExitAccepted, cli::ExitNotAccepted, cli::ExitNoAddress};
    QCOMPARE(exitCode, exitCodes[int(check.verdict)]);
    if (check.verdict == Verdict::Accepted) {
        QVERIFY2(printed.endsWith("<6>The IP is unchanged; nothing was sent\n"), qPrintable(printed));
        QCOMPARE(updates(), qsizetype(1));
        QVERIFY2(field("txtWANIP")->toolTip().contains(field("txtWANIP")->text()),
                 qPrintable(field("txtWANIP")->toolTip()));
    } else if (check.verdict == Verdict::NotAccepted) {
        QVERIFY2(printed.contains("\n<3>Reason: The provider") && printed.endsWith("<3>" + NotReceived + '\n'),
                 qPrintable(printed));
    } else {
        QCOMPARE(updates(), qsizetype(0));
    }
}

QTEST_MAIN(TestSameVerdict)
#include "tst_sameverdict.moc"
