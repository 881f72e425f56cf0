// Whole checks from the window, against a router of the test's own on
// loopback port 80. Runs inside a private network namespace, so nothing it
// sends can leave the machine.
#include "app/form1.h"
#include "platform/webbrowser.h"
#include "support/fakehttpserver.h"
#include "support/messageboxwatcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace parlowen;
using namespace std::chrono_literals;
using test::FakeHttpServer;
using test::FakeResponse;

namespace {
const QString RouterLogPath = QStringLiteral("/doc/syslog.htm");
const QString RouterPassword = QStringLiteral("p@ss w:rd/#?%");

QByteArray routerLogPage(const QByteArray& wanLine)
{
    return "<html><head><title>System Log</title></head><body>"
           "<form><table><tr><td>System Log</td></tr><tr><td><textarea rows=20 cols=80>\n"
           "Jan  1 00:00:01 kernel: eth0 link up\n"
           "Jan  1 00:00:05 pppd: "
           + wanLine
           + "\n"
             "Jan  1 00:00:06 ntp: time set\n"
             "</textarea></td></tr></table></form></body></html>";
}
} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void goPutsTheRoutersWanAddressIntoTheField();
    void goPressedTwiceReportsOnlyTheSecondPage();
    void nothingChangesWhenNoAddressCanBeFound_data();
    void nothingChangesWhenNoAddressCanBeFound();

private:
    QLineEdit* field(const char* name) const { return m_form->findChild<QLineEdit*>(name); }
    void pressGo() const { QTest::mouseClick(m_form->findChild<QPushButton*>("Command1"), Qt::LeftButton); }

    std::unique_ptr<FakeHttpServer> m_router;
    std::unique_ptr<Form1> m_form;
};

void TestEndToEnd::init()
{
    m_router = std::make_unique<FakeHttpServer>();
    QVERIFY2(m_router->listen(80), "cannot serve on loopback port 80: run inside a private network namespace");
    m_router->setRoute(RouterLogPath, {.body = routerLogPage("WAN IP is 203.0.113.7")});
    m_router->requireAuth(RouterLogPath, FakeHttpServer::Auth::Basic, "admin", RouterPassword);
    m_form = std::make_unique<Form1>();
    field("txtRouterIP")->setText("127.0.0.1");
    field("txtRouterPass")->setText(RouterPassword);
}

void TestEndToEnd::cleanup()
{
    m_form.reset();
    m_router.reset();
}

void TestEndToEnd::goPutsTheRoutersWanAddressIntoTheField()
{
    pressGo();
    QTRY_COMPARE_WITH_TIMEOUT(field("txtWANIP")->text(), QStringLiteral("203.0.113.7"), 10000);

    // The page was asked for as admin with the password exactly as typed.
    const QList<test::RecordedRequest> requests = m_router->requests();
    QVERIFY(!requests.isEmpty());
    const test::RecordedRequest& last = requests.constLast();
    QCOMPARE(last.method, QByteArray("GET"));
    QCOMPARE(last.path, RouterLogPath);
    QCOMPARE(last.basicCredentials(), qMakePair(QStringLiteral("admin"), RouterPassword));
}

void TestEndToEnd::goPressedTwiceReportsOnlyTheSecondPage()
{
    m_router->setRoute(RouterLogPath, {.body = routerLogPage("WAN IP is 198.51.100.9"), .delay = 300ms});
    QSignalSpy completed(m_form->findChild<WebBrowser*>("WebBrowser1"), &WebBrowser::DocumentComplete);
    pressGo();
    QTRY_VERIFY(!m_router->requests().isEmpty());
    pressGo();
    QTRY_COMPARE_WITH_TIMEOUT(field("txtWANIP")->text(), QStringLiteral("198.51.100.9"), 10000);
    QTest::qWait(500); // room for a late report of the first load
    QCOMPARE(completed.size(), 1);
}

void TestEndToEnd::nothingChangesWhenNoAddressCanBeFound_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("routerListens");
    QTest::newRow("a wrong password shows the router's refusal") << "wrong" << routerLogPage("WAN IP is 192.0.2.1")
                                                                 << true;
    QTest::newRow("a page without the marker") << RouterPassword << routerLogPage("WAN IP: 192.0.2.1") << true;
    QTest::newRow("a router that does not answer") << RouterPassword << QByteArray() << false;
}

void TestEndToEnd::nothingChangesWhenNoAddressCanBeFound()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, page);
    QFETCH(bool, routerListens);
    if (routerListens)
        m_router->setRoute(RouterLogPath, {.body = page});
    else
        m_router.reset();
    test::MessageBoxWatcher watcher;
    field("txtRouterPass")->setText(password);
    field("txtWANIP")->setText("earlier");
    QSignalSpy done(m_form->findChild<WebBrowser*>("WebBrowser1"), &WebBrowser::StatusTextChange);
    pressGo();
    QTRY_VERIFY_WITH_TIMEOUT(done.contains(QVariantList{QStringLiteral("Done")}), 10000);
    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("earlier"));
    QVERIFY(watcher.messages().isEmpty());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
