// Whole checks from Go to the message: the router on loopback port 80, the
// provider on a loopback port of its own; and both programs as built, while
// they load. Runs inside a private network namespace, so nothing it sends
// can leave the machine.
#include "app/form1.h"
#include "app/webbrowser.h"
#include "sim/fakehttpserver.h"
#include "support/messageboxwatcher.h"
#include "web/loaderror.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace parlowen;
using namespace std::chrono_literals;
using sim::FakeHttpServer;

namespace {
const QString RouterLogPath = QStringLiteral("/doc/syslog.htm");
const QString UpdatePath = QStringLiteral("/dyn.asp");
const QString RouterPassword = QStringLiteral("p@ss w:rd/#?%");
const QString NotReceived = QStringLiteral("Error in sending IP");
constexpr int Patience = 30'000; // ms; a whole check takes a few, a hostile page under the sanitizers more

QByteArray routerLogPage(const QByteArray& wanLine = "WAN IP is 203.0.113.7")
{
    return "<html><body><table><tr><td>System Log</td></tr><tr><td><textarea rows=20 cols=80>\n"
           "Jan  1 00:00:01 kernel: eth0 link up\nJan  1 00:00:05 pppd: " +
           wanLine + "\nJan  1 00:00:06 ntp: time set\n</textarea></td></tr></table></body></html>";
}
QByteArray lineStartingWith(const QByteArray& text, const QByteArray& start)
{
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(start))
            return line;
    }
    return {};
}
} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aWholeCheckDeliversWhatWasTypedAndReportsOnce();
    void goPressedTwiceReportsOnlyTheSecondPage();
    void aCheckWithoutAnAddressSaysWhyInOneBox_data();
    void aCheckWithoutAnAddressSaysWhyInOneBox();
    void failedUpdatesAreReportedAsErrors_data();
    void failedUpdatesAreReportedAsErrors();
    void dyndns2AnswersAreJudgedAsByTheCommand_data();
    void dyndns2AnswersAreJudgedAsByTheCommand();
    void aBlankServiceUrlSendsNothingAndSaysSoOnce();
    void theEmptyPageThatEndsACheckIsNeverJudged();
    void closingTheWindowCancelsTheCheck_data();
    void closingTheWindowCancelsTheCheck();
    void bothProgramsForbidCoreDumps_data();
    void bothProgramsForbidCoreDumps();

private:
    QLineEdit* field(const char* name) const { return m_form->findChild<QLineEdit*>(name); }
    WebBrowser* browser() const { return m_form->findChild<WebBrowser*>("WebBrowser1"); }
    void pressGo() const { QTest::mouseClick(m_form->findChild<QPushButton*>("Command1"), Qt::LeftButton); }
    qsizetype updates() const { return m_provider ? m_provider->requests().size() : 0; }
    // Waits until the check has ended in exactly one message and the empty page.
    void waitForTheEnd(const test::MessageBoxWatcher& watcher) const;

    std::unique_ptr<FakeHttpServer> m_router;
    std::unique_ptr<FakeHttpServer> m_provider;
    // Where the window looks for its settings: empty, and new for each test,
    // since a window that closes saves there.
    std::unique_ptr<QTemporaryDir> m_dir;
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

    m_dir = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<Form1>(m_dir->path());
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
    // Busy while the check runs, and Go still there to start it afresh.
    QCOMPARE(m_form->cursor().shape(), Qt::BusyCursor);
    QVERIFY(m_form->findChild<QPushButton*>("Command1")->isEnabled());
    pressGo();
    waitForTheEnd(watcher);
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("198.51.100.9"));
    // One router page, one answer, one empty page: the first load never reported.
    QCOMPARE(completed.size(), 3);
    QCOMPARE(updates(), 1);
}

void TestEndToEnd::aCheckWithoutAnAddressSaysWhyInOneBox_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("router"); // 0: nothing listens; -1: never answers
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a wrong password")
        << "wrong" << 200 << routerLogPage() << "the router refused the password (HTTP 401)";
    QTest::newRow("a page without the marker") << RouterPassword << 200 << routerLogPage("WAN IP: 192.0.2.1")
                                               << "the page has no \"WAN IP is \" line";
    QTest::newRow("no log page") << RouterPassword << 404 << QByteArray() << "the page was not found";
    QTest::newRow("a router that cannot be reached")
        << RouterPassword << 0 << QByteArray() << toString(LoadError::ConnectionRefused);
    QTest::newRow("a router that does not answer in time")
        << RouterPassword << -1 << QByteArray() << toString(LoadError::TimedOut);
    // Once a stack overflow at every start of the window.
    QTest::newRow("300,000 unknown elements each closing the next one")
        << RouterPassword << 200 << QByteArray("<x><y></x>").repeated(300000)
        << "the page has no \"WAN IP is \" line";
    QByteArray bolds;
    for (int i = 0; i < 100000; ++i)
        bolds += "<div><b class=" + QByteArray::number(i) + ">WAN IP is 192.0.2.7</div>";
    QTest::newRow("a page too complex to read")
        << RouterPassword << 200 << bolds << toString(LoadError::PageTooComplex);
}

void TestEndToEnd::aCheckWithoutAnAddressSaysWhyInOneBox()
{
    QFETCH(QString, password);
    QFETCH(int, router);
    QFETCH(QByteArray, page);
    QFETCH(QString, reason);
    if (router == 0)
        m_router.reset();
    else
        m_router->setRoute(RouterLogPath, {.status = router, .body = page, .neverAnswer = router < 0});
    BrowserLimits limits;
    if (router < 0)
        limits.timeout = 500ms;
    browser()->engine()->setLimits(limits);
    test::MessageBoxWatcher watcher;
    field("txtRouterPass")->setText(password);
    field("txtWANIP")->setText("earlier");
    pressGo();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    QTest::qWait(200); // room for a second message, were one to come
    QCOMPARE(watcher.messages().size(), 1);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.title, QStringLiteral("Tobrisk"));
    QCOMPARE(message.icon, QMessageBox::Critical);
    QVERIFY2(message.text.startsWith("No WAN IP was found: ") && message.text.contains(reason),
             qPrintable(message.text));
    QCOMPARE(field("txtWANIP")->text(), QStringLiteral("earlier"));
    QCOMPARE(updates(), 0);
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
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

void TestEndToEnd::dyndns2AnswersAreJudgedAsByTheCommand_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    const QString received = QStringLiteral("The IP has been received");
    QTest::newRow("good with the address") << QByteArray("good 203.0.113.7") << received;
    QTest::newRow("nochg with the address") << QByteArray("nochg 203.0.113.7") << received;
    QTest::newRow("the phrase in capitals") << QByteArray("UPDATED SUCCESSFULLY") << received;
    QTest::newRow("goodbye") << QByteArray("goodbye") << NotReceived;
    QTest::newRow("badauth") << QByteArray("badauth") << NotReceived;
}

void TestEndToEnd::dyndns2AnswersAreJudgedAsByTheCommand()
{
    QFETCH(QByteArray, answer);
    m_provider->setRoute(UpdatePath, {.contentType = "text/plain", .body = answer});
    test::MessageBoxWatcher watcher;
    pressGo();
    waitForTheEnd(watcher);
    QTEST(watcher.messages().constFirst().text, "message");
}

void TestEndToEnd::theEmptyPageThatEndsACheckIsNeverJudged()
{
    // "blank" is found in "about:blank" as well as in the (unloadable)
    // update address: only the answer may be judged, once.
    field("txtService")->setText("blank");
    test::MessageBoxWatcher watcher;
    pressGo();
    waitForTheEnd(watcher);
    QTest::qWait(300);
    QCOMPARE(watcher.messages().size(), 1);
    QCOMPARE(watcher.messages().constFirst().text, NotReceived);
}

void TestEndToEnd::closingTheWindowCancelsTheCheck_data()
{
    QTest::addColumn<bool>("atTheRouter"); // else at the provider
    QTest::newRow("while the router page loads") << true;
    QTest::newRow("while the provider answers") << false;
}

void TestEndToEnd::closingTheWindowCancelsTheCheck()
{
    QFETCH(bool, atTheRouter);
    if (atTheRouter)
        m_router->setRoute(RouterLogPath, {.body = routerLogPage(), .delay = 500ms});
    else
        m_provider->setRoute(UpdatePath, {.body = "updated successfully", .delay = 500ms});
    test::MessageBoxWatcher watcher;
    QSignalSpy status(browser(), &WebBrowser::StatusTextChange);
    m_form->show();
    pressGo();
    if (atTheRouter)
        QTRY_VERIFY(!m_router->requests().isEmpty());
    else
        QTRY_COMPARE(updates(), 1);
    m_form->close();
    // The empty page that cancels the load finishes; nothing else does.
    QTRY_COMPARE_WITH_TIMEOUT(browser()->Document().url(), QStringLiteral("about:blank"), Patience);
    QTest::qWait(1000); // past the answer the cancelled load would have had
    QVERIFY(watcher.messages().isEmpty());
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
}

void TestEndToEnd::bothProgramsForbidCoreDumps_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // "{dir}" stands for its folder
    QTest::newRow("the window") << PARLOWEN_WINDOW_PROGRAM << QStringList{"-platform", "offscreen"};
    QTest::newRow("the command") << PARLOWEN_CHECK_PROGRAM << QStringList{"--settings", "{dir}/Settings.ini"};
}

void TestEndToEnd::bothProgramsForbidCoreDumps()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    // Each program, a copy beside its settings, waits for a router that
    // never answers: by then it has read both passwords.
    m_router->setRoute(RouterLogPath, {.neverAnswer = true});
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
    const QString copy = dir.filePath(QFileInfo(program).fileName());
    QVERIFY(QFile::copy(program, copy));
    QFile settings(dir.filePath("Settings.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(
        "[Router settings]\r\nPassword=" + RouterPassword.toUtf8() +
        "\r\nIP=127.0.0.1\r\n[DNS settings]\r\nService URL=" + m_provider->url(UpdatePath).toUtf8() +
        "\r\nUser=alice\r\nPassword=s3cret\r\nHost=home.example.net\r\n");
    settings.close();
    settings.setPermissions(settings.permissions() | QFile::ReadOther);

    // A process that cannot be dumped has the files in its /proc folder owned by root, which
    // tells only when it runs as someone else: as root, run it as nobody.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", dir.path());
    environment.insert("XDG_CONFIG_HOME", dir.path());
    process.setProcessEnvironment(environment);
    arguments.replaceInStrings("{dir}", dir.path());
    if (getuid() == 0)
        process.start("setpriv",
                      QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", copy} + arguments);
    else
        process.start(copy, arguments);
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!m_router->requests().isEmpty(), Patience);

    const QString proc = QStringLiteral("/proc/%1/").arg(process.processId());
    QFile status(proc + "status");
    QVERIFY(status.open(QIODevice::ReadOnly));
    const QByteArray uidLine = lineStartingWith(status.readAll(), "Uid:");
    QVERIFY2(!uidLine.isEmpty() && !uidLine.simplified().startsWith("Uid: 0 "), uidLine.constData());
    QCOMPARE(QFileInfo(proc + "status").ownerId(), 0u);
    QFile limits(proc + "limits");
    QVERIFY(limits.open(QIODevice::ReadOnly));
    const QByteArray coreLine = lineStartingWith(limits.readAll(), "Max core file size");
    QCOMPARE(coreLine.simplified(), QByteArray("Max core file size 0 0 bytes"));
    process.kill();
    process.waitForFinished();
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
