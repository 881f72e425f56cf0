// Whole checks from Go to the message: the router on loopback port 80, the
// provider on a loopback port of its own. Runs inside a private network
// namespace, so nothing it sends can leave the machine.
#include "app/form1.h"
#include "app/webbrowser.h"
#include "sim/fakehttpserver.h"
#include "support/messageboxwatcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace parlowen;
using namespace std::chrono_literals;
using sim::FakeHttpServer;

namespace {
const QString RouterLogPath = QStringLiteral("/doc/syslog.htm");
const QString UpdatePath = QStringLiteral("/dyn.asp");
const QString RouterPassword = QStringLiteral("p@ss w:rd/#?%");
const QString NotReceived = QStringLiteral("Error in sending IP");
constexpr int Patience = 10'000; // ms; a whole check takes a few

QByteArray routerLogPage(const QByteArray& wanLine = "WAN IP is 203.0.113.7")
{
    return "<html><body><table><tr><td>System Log</td></tr><tr><td><textarea rows=20 cols=80>\n"
           "Jan  1 00:00:01 kernel: eth0 link up\nJan  1 00:00:05 pppd: " +
           wanLine + "\nJan  1 00:00:06 ntp: time set\n</textarea></td></tr></table></body></html>";
}
} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aWholeCheckDeliversWhatWasTypedAndReportsOnce();
    void goPressedTwiceReportsOnlyTheSecondPage();
    void nothingHappensWhenNoAddressCanBeFound_data();
    void nothingHappensWhenNoAddressCanBeFound();
    void failedUpdatesAreReportedAsErrors_data();
    void failedUpdatesAreReportedAsErrors();
    void aBlankServiceUrlSendsNothingAndSaysSoOnce();

private:
    QLineEdit* field(const char* name) const { return m_form->findChild<QLineEdit*>(name); }
    WebBrowser* browser() const { return m_form->findChild<WebBrowser*>("WebBrowser1"); }
    void pressGo() const { QTest::mouseClick(m_form->findChild<QPushButton*>("Command1"), Qt::LeftButton); }
    qsizetype updates() const { return m_provider ? m_provider->requests().size() : 0; }
    // Waits until the check has ended in exactly one message and the empty page.
    void waitForTheEnd(const test::MessageBoxWatcher& watcher) const;

    std::unique_ptr<FakeHttpServer> m_router;
    std::unique_ptr<FakeHttpServer> m_provider;
    QTemporaryDir m_dir; // where the window looks for its settings: empty
    std::unique_ptr<Form1> m_form;
};

void TestEndToEnd::init()
{
    m_router = std::make_unique<FakeHttpServer>();
    QVERIFY2(m_router->listen(80),
             "cannot serve on loopback port 80: run inside a private network namespace");
    m_router->setRoute(RouterLogPath, {.body = routerLogPage()});
    m_router->requireAuth(RouterLogPath, FakeHttpServer::Auth::Basic, "admin", RouterPassword);
    m_provider = std::make_unique<FakeHttpServer>();
    QVERIFY(m_provider->listen());
    m_provider->setRoute(UpdatePath, {.contentType = "text/plain", .body = "Host updated successfully"});

    m_form = std::make_unique<Form1>(m_dir.path());
    field("txtRouterIP")->setText("127.0.0.1");
    field("txtRouterPass")->setText(RouterPassword);
    field("txtService")->setText(m_provider->url(UpdatePath));
    field("txtUserName")->setText("alice");
    field("txtServicePass")->setText("s3cret");
    field("txtHost")->setText("home.example.net");
}

void TestEndToEnd::cleanup()
{
    m_form.reset();
    m_provider.reset();
    m_router.reset();
}

void TestEndToEnd::waitForTheEnd(const test::MessageBoxWatcher& watcher) const
{
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(browser()->Document().url(), QStringLiteral("about:blank"), Patience);
    QTest::qWait(200); // room for a second message, were one to come
    QCOMPARE(watcher.messages().size(), 1);
}

void TestEndToEnd::aWholeCheckDeliversWhatWasTypedAndReportsOnce()
{
    field("txtUserName")->setText("al ice&x=1");
    field("txtServicePass")->setText("p#ss+w%rd=ü");
    field("txtHost")->setText("varPass.example.net");
    test::MessageBoxWatcher watcher(300ms);
    // While the box is open the browser says "Done" again for the same
    // answer page, as a browser may for a page that finishes twice.
    connect(
        &watcher, &test::MessageBoxWatcher::messageShown, this,
        [this] { emit browser()->engine()->StatusTextChange(QStringLiteral("Done")); },
        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    pressGo();
    waitForTheEnd(watcher);

    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("203.0.113.7"));
    const sim::RecordedRequest& page = m_router->requests().constLast();
    QCOMPARE(page.method + ' ' + page.path.toUtf8(), QByteArray("GET /doc/syslog.htm"));
    QCOMPARE(page.basicCredentials(), qMakePair(QStringLiteral("admin"), RouterPassword));

    QCOMPARE(updates(), 1);
    const sim::RecordedRequest& update = m_provider->requests().constFirst();
    QCOMPARE(update.method, QByteArray("GET"));
    QCOMPARE(update.query.queryItems(QUrl::FullyDecoded).size(), 4);
    QCOMPARE(update.query.queryItemValue("username", QUrl::FullyDecoded), QStringLiteral("al ice&x=1"));
    QCOMPARE(update.query.queryItemValue("password", QUrl::FullyDecoded), QStringLiteral("p#ss+w%rd=ü"));
    QCOMPARE(update.query.queryItemValue("hostname", QUrl::FullyDecoded),
             QStringLiteral("varPass.example.net"));
    QCOMPARE(update.query.queryItemValue("myip", QUrl::FullyDecoded), QStringLiteral("203.0.113.7"));
    // The window keeps the address it sent to.
    QVERIFY(field("txtURL")->text().startsWith(m_provider->url(UpdatePath) + "?username=al%20ice"));

    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.text, QStringLiteral("The IP has been received"));
    QCOMPARE(message.icon, QMessageBox::Information);
    QCOMPARE(message.title, QStringLiteral("Tobrisk"));
}

void TestEndToEnd::goPressedTwiceReportsOnlyTheSecondPage()
{
    m_router->setRoute(RouterLogPath, {.body = routerLogPage("WAN IP is 198.51.100.9"), .delay = 300ms});
    test::MessageBoxWatcher watcher;
    QSignalSpy completed(browser(), &WebBrowser::DocumentComplete);
    pressGo();
    QTRY_VERIFY(!m_router->requests().isEmpty());
    pressGo();
    waitForTheEnd(watcher);
    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("198.51.100.9"));
    // One router page, one answer, one empty page: the first load never reported.
    QCOMPARE(completed.size(), 3);
    QCOMPARE(updates(), 1);
}

void TestEndToEnd::nothingHappensWhenNoAddressCanBeFound_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("page"); // empty: no router at all
    QTest::newRow("a wrong password shows the router's refusal") << "wrong" << routerLogPage();
    QTest::newRow("a page without the marker") << RouterPassword << routerLogPage("WAN IP: 192.0.2.1");
    QTest::newRow("a router that does not answer") << RouterPassword << QByteArray();
}

void TestEndToEnd::nothingHappensWhenNoAddressCanBeFound()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, page);
    if (page.isEmpty())
        m_router.reset();
    else
        m_router->setRoute(RouterLogPath, {.body = page});
    test::MessageBoxWatcher watcher;
    field("txtRouterPass")->setText(password);
    field("txtWANIP")->setText("earlier");
    QSignalSpy status(browser(), &WebBrowser::StatusTextChange);
    pressGo();
    QTRY_VERIFY_WITH_TIMEOUT(status.contains(QVariantList{QStringLiteral("Done")}), Patience);
    QTest::qWait(200);
    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("earlier"));
    QVERIFY(watcher.messages().isEmpty());
    QCOMPARE(updates(), 0);
}

void TestEndToEnd::failedUpdatesAreReportedAsErrors_data()
{
    QTest::addColumn<int>("status"); // 0: nothing listens
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("answers");
    QTest::newRow("an answer without the success phrase") << 200 << QByteArray("badauth") << true;
    QTest::newRow("a server error page") << 500 << QByteArray("<p>Internal error</p>") << true;
    QTest::newRow("a provider that is not listening") << 0 << QByteArray() << true;
    QTest::newRow("a provider that never answers") << 200 << QByteArray() << false;
}

void TestEndToEnd::failedUpdatesAreReportedAsErrors()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, answers);
    if (status == 0)
        m_provider.reset(); // its port stays in txtService, now with nothing behind it
    else
        m_provider->setRoute(UpdatePath, {.status = status, .body = body, .neverAnswer = !answers});
    BrowserLimits limits;
    limits.timeout = 500ms;
    browser()->engine()->setLimits(limits);

    test::MessageBoxWatcher watcher;
    pressGo();
    waitForTheEnd(watcher);
    QCOMPARE(watcher.messages().constFirst().text, NotReceived);
    QCOMPARE(watcher.messages().constFirst().icon, QMessageBox::Critical);
    QCOMPARE(updates(), status == 0 ? 0 : 1);
}

void TestEndToEnd::aBlankServiceUrlSendsNothingAndSaysSoOnce()
{
    field("txtService")->setText("   ");
    test::MessageBoxWatcher watcher;
    pressGo();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    QTest::qWait(500);
    QCOMPARE(watcher.messages().size(), 1);
    QCOMPARE(watcher.messages().constFirst().text, NotReceived);
    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("203.0.113.7"));
    QVERIFY(field("txtURL")->text().startsWith("   ?username=alice&password=s3cret&"));
    QCOMPARE(updates(), 0);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
