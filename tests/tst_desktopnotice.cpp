// parlowen-check --notify: what the timer's runs tell the desktop, over a
// private session bus. support/clifixture serves its router and provider.
#include "cli/checkcommand.h"
#include "cli/desktopnotice.h"
#include "settings/settingkeys.h"
#include "support/clifixture.h"
#include "support/privatesessionbus.h"

#include <QFile>
#include <QMap>
#include <QTest>

using namespace parlowen;
using namespace parlowen::test;
using sim::FakeHttpServer;

class TestDesktopNotice : public CliFixture {
    Q_OBJECT
private slots:
    void theTimerTellsTheDesktopOncePerRunOfFailures_data();
    void theTimerTellsTheDesktopOncePerRunOfFailures();
};

void TestDesktopNotice::theTimerTellsTheDesktopOncePerRunOfFailures_data()
{
    // Each run is one of: accepted, no page (exit 2), refused (1), bad settings
    // (3), password in settings (3, a router address that holds the password).
    QTest::addColumn<QStringList>("runs");
    // service, silent service, no service, none, nowhere; or "service, " and
    // how the runtime folder differs: "shared" (others may write), "none"
    QTest::addColumn<QString>("bus");
    QTest::addColumn<bool>("notify");
    QTest::addColumn<QList<int>>("notices"); // received so far, after each run
    QTest::addColumn<QString>("reason");     // in the last notice's body
    const auto row = [](const char* name, const QStringList& runs, const QString& bus, bool notify,
                        const QList<int>& notices, const QString& reason = {}) {
        QTest::newRow(name) << runs << bus << notify << notices << reason;
    };
    row("the first failure tells the desktop why", {"no page"}, "service", true, {1},
        "No WAN IP was found: the router has no system log page (HTTP 404)");
    row("later failures of the same run stay quiet", {"no page", "refused", "no page"}, "service", true,
        {1, 1, 1});
    row("a success ends the run, so the next failure is told", {"no page", "accepted", "refused"}, "service",
        true, {1, 1, 2}, "The provider refused the update: badauth");
    row("a success alone tells nothing", {"accepted", "accepted"}, "service", true, {0, 0});
    row("settings that became unusable are a failure too", {"bad settings", "bad settings"}, "service", true,
        {1, 1}, "The settings cannot be used: in ");
    row("a password in the reason is masked", {"password in settings"}, "service", true, {1},
        "the router address \"admin:***@127.0.0.1\"");
    row("without --notify the desktop hears nothing", {"no page", "refused"}, "service", false, {0, 0});
    row("a bus without a notification service", {"no page", "no page"}, "no service", false, {0, 0});
    row("a bus without a notification service, with --notify", {"no page", "no page"}, "no service", true,
        {0, 0});
    row("no session bus at all", {"refused", "accepted", "refused"}, "none", true, {0, 0, 0});
    row("a bus address that leads nowhere", {"refused"}, "nowhere", true, {0});
    // The notice may be on screen, so it counts as told.
    row("a service that never answers", {"no page", "no page"}, "silent service", true, {1, 1});
    // Without a memory of its own it would tell of every failure.
    row("a runtime folder that others may write to is not trusted", {"no page", "no page"}, "service, shared",
        true, {0, 0});
    row("no runtime folder", {"no page"}, "service, none", true, {0});
}

void TestDesktopNotice::theTimerTellsTheDesktopOncePerRunOfFailures()
{
    QFETCH(QStringList, runs);
    QFETCH(QString, bus);
    QFETCH(bool, notify);
    QFETCH(QList<int>, notices);
    QFETCH(QString, reason);
    if (bus == "service, shared") {
        QVERIFY(QFile::setPermissions(m_runtimeFolder, QFile::ReadOwner | QFile::WriteOwner |
                                                           QFile::ExeOwner | QFile::WriteOther |
                                                           QFile::ExeOther));
    } else if (bus == "service, none") {
        m_runtimeFolder.clear();
    }
    bus = bus.section(',', 0, 0);
    if (bus == "nowhere") {
        m_busAddress = "unix:path=" + m_dir->filePath("no-bus");
    } else if (bus != "none") {
        m_bus = std::make_unique<PrivateSessionBus>();
        QVERIFY2(!m_bus->address().isEmpty(), "dbus-daemon did not start: install the package dbus-daemon");
        m_busAddress = m_bus->address();
        if (bus != "no service") {
            m_notifications = std::make_unique<FakeNotifications>(
                m_busAddress,
                bus == "silent service" ? FakeNotifications::Answer::Never : FakeNotifications::Answer::Id);
            QVERIFY(m_notifications->isRegistered());
        }
    }
    const QMap<QString, int> exitCodes{
        {"accepted", 0}, {"no page", 2}, {"refused", 1}, {"bad settings", 3}, {"password in settings", 3}};
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const QString& kind = runs[i];
        QVERIFY2(exitCodes.contains(kind), qPrintable(kind));
        m_router->setRoute(RouterLogPath, kind == "no page" ? sim::FakeResponse{.status = 404}
                                                            : sim::FakeResponse{.body = routerLogPage()});
        m_provider->setRoute(UpdatePath, {.body = kind == "refused" ? "badauth" : "good 203.0.113.7"});
        if (kind == "bad settings")
            writeSettings(int(Setting::Host), "");
        else if (kind == "password in settings")
            writeSettings(int(Setting::RouterAddress), "admin:" + m_routerPassword + "@127.0.0.1");
        else
            writeSettings();

        // However the desktop fares, the run ends: a service that never
        // answers would otherwise hold it, and this test, for ever.
        const Run told = runCommand(notify ? QStringList{"--notify"} : QStringList{});
        const Run plain = runCommand({});
        QCOMPARE(told.exitCode, exitCodes[kind]);
        QCOMPARE(told.exitCode, plain.exitCode);
        QCOMPARE(told.out, plain.out);
        QCOMPARE(told.err, plain.err);
        const int received = m_notifications ? int(m_notifications->received().size()) : 0;
        QCOMPARE(received, notices[i]);
    }
    if (reason.isEmpty())
        return;
    const ReceivedNotice& notice = m_notifications->received().constLast();
    QCOMPARE(notice.appName, QStringLiteral("Parlowen"));
    QCOMPARE(notice.icon, QStringLiteral("parlowen"));
    QCOMPARE(notice.summary, QStringLiteral("Parlowen could not update your host name"));
    QVERIFY2(notice.body.contains(reason), qPrintable(notice.body));
    QVERIFY2(notice.body.endsWith("Run parlowen-check in a terminal for details."), qPrintable(notice.body));
    QCOMPARE(notice.hints.value("urgency").toInt(), 1);
}

QTEST_GUILESS_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
