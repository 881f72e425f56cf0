// parlowen-check --if-changed: what it sends and leaves unsent, what its
// state file keeps, and two checks at once. support/clifixture serves its
// router and provider.
#include "cli/checkcommand.h"
#include "settings/laststate.h"
#include "settings/settingkeys.h"
#include "settings/staterecordlock.h"
#include "support/clifixture.h"
#include "support/secretforms.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <optional>

using namespace parlowen;
using namespace parlowen::test;
using sim::FakeHttpServer;

class TestIfChanged : public CliFixture {
    Q_OBJECT
private slots:
    void ifChangedSendsOnlyWhatTheProviderNeeds_data();
    void ifChangedSendsOnlyWhatTheProviderNeeds();
    void twoChecksAtOnceSendEachNewAddressOnce_data();
    void twoChecksAtOnceSendEachNewAddressOnce();
    void anAcceptanceThatCannotBeRememberedStillCounts();
};

void TestIfChanged::ifChangedSendsOnlyWhatTheProviderNeeds_data()
{
    QTest::addColumn<QByteArray>("firstAnswer");
    QTest::addColumn<QByteArray>("secondAddress");
    QTest::addColumn<QString>("secondHost");
    QTest::addColumn<qint64>("later"); // seconds after the first run
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("step"); // the second run's word on the last update
    QTest::addColumn<bool>("held");    // another check holds the record all through the second run
    const auto row = [](const char* name, const QByteArray& firstAnswer, const QByteArray& secondAddress,
                        const QString& secondHost, qint64 later, bool sent, const QString& step,
                        bool held = false) {
        QTest::newRow(name) << firstAnswer << secondAddress << secondHost << later << sent << step << held;
    };
    const QByteArray ok = "updated successfully";
    const QByteArray same = "203.0.113.7";
    const QString host = "home.example.net";
    const qint64 day = 86400;
    row("the same address 24 days later is not sent", ok, same, host, 24 * day, false,
        "nothing sent until 2024-03-26T12:00:00Z");
    row("the same address 26 days later is sent so the name is kept", ok, same, host, 26 * day, true,
        "26 days ago; sending again");
    row("a changed address is sent at once", ok, "203.0.113.8", host, 60, true,
        "\"203.0.113.7\" was accepted at 2024-03-01T12:00:00Z; the address has changed; sending");
    row("the same address for another host is sent", ok, same, "other.example.net", 60, true,
        "made with another service URL, user name or host; sending");
    row("an update the provider refused is not remembered", "badauth", same, host, 60, true,
        "none remembered; sending");
    row("a clock set back before the last update sends again, and records the date anew", ok, same, host,
        -60, true,
        "the record's date, 2024-03-01T12:00:00Z, lies in the future: the clock was changed or the file "
        "edited; sending");
    row("a record dated years ahead says nothing of when it was sent", ok, same, host, -1000 * day, true,
        "lies in the future");
    // As long as the whole update may take, and more: then it gives up
    // rather than send what the other may be sending.
    row("a record another check holds too long is waited for, then nothing is sent", ok, "203.0.113.8", host,
        60, false, "another check has held the state file", true);
}

void TestIfChanged::ifChangedSendsOnlyWhatTheProviderNeeds()
{
    QFETCH(QByteArray, firstAnswer);
    QFETCH(QByteArray, secondAddress);
    QFETCH(QString, secondHost);
    QFETCH(qint64, later);
    QFETCH(bool, sent);
    QFETCH(bool, held);
    m_provider->setRoute(UpdatePath, {.body = firstAnswer});
    runCommand({"--if-changed"});
    QCOMPARE(updates(), 1);
    // Only the owner may read where their host points; no secret is kept there.
    const QString statePath = m_dir->filePath("parlowen-check.state");
    QFile state(statePath);
    if (state.open(QIODevice::ReadOnly)) {
        QCOMPARE(state.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
        const QString content = QString::fromUtf8(state.readAll());
        const QStringList secrets = leakedForms(RouterPassword, "admin") +
                                    leakedForms(ServicePassword, "alice") + QStringList{"127.0.0.1:"};
        for (const QString& secret : secrets)
            QVERIFY2(!content.contains(secret), qPrintable(content));
    }
    QCOMPARE(state.exists(), firstAnswer == "updated successfully");

    m_provider->setRoute(UpdatePath, {.body = "updated successfully"});
    m_router->setRoute(RouterLogPath, {.body = routerLogPage(secondAddress)});
    writeSettings(int(Setting::Host), secondHost);
    std::optional<StateRecordLock> otherCheck;
    if (held) {
        otherCheck.emplace(StateRecordLock::take(statePath, std::chrono::milliseconds{0}).value());
        m_limits.timeout = std::chrono::milliseconds{500};
    }
    const Run second = runCommand({"--if-changed"}, Start.addSecs(later));
    QCOMPARE(second.exitCode, int(held ? cli::ExitNotAccepted : cli::ExitAccepted));
    QCOMPARE(updates(), sent ? 2 : 1);
    QCOMPARE(second.out, sent   ? Received
                         : held ? QByteArray()
                                : QByteArray("The IP is unchanged; nothing was sent\n"));
    QFETCH(QString, step);
    expectInErr(second, step);
    // What the provider took last is what the record tells, with when.
    const auto record = readLastAcceptance(statePath);
    QVERIFY(record && record.value());
    QCOMPARE(record.value()->address, QString::fromLatin1(sent ? secondAddress : QByteArray("203.0.113.7")));
    QCOMPARE(record.value()->acceptedAt, sent ? Start.addSecs(later) : Start);
}

void TestIfChanged::twoChecksAtOnceSendEachNewAddressOnce_data()
{
    QTest::addColumn<QString>("state"); // empty: beside the settings; "{pair}" stands for the pair's number
    QTest::newRow("the state file beside the settings") << QString();
    QTest::newRow("a state file in a folder still to be made") << QStringLiteral("new{pair}/state");
}

// The timer's check and one from a terminal, as two real processes started
// together; each pair finds a new address, which the provider must get once.
void TestIfChanged::twoChecksAtOnceSendEachNewAddressOnce()
{
    QFETCH(QString, state);
    for (int pair = 0; pair < 20; ++pair) {
        const QString address = QStringLiteral("203.0.113.%1").arg(10 + pair);
        m_router->setRoute(RouterLogPath, {.body = routerLogPage(address.toLatin1())});
        QStringList arguments{"--if-changed", "--settings", settingsPath()};
        if (!state.isEmpty())
            arguments << "--state" << m_dir->filePath(QString(state).replace("{pair}", QString::number(pair)));
        QProcess checks[2];
        for (QProcess& check : checks)
            check.start(PARLOWEN_CHECK_PROGRAM, arguments);
        // The test's own router and provider answer while both run.
        QTRY_VERIFY_WITH_TIMEOUT(checks[0].state() == QProcess::NotRunning &&
                                     checks[1].state() == QProcess::NotRunning,
                                 120'000);
        QList<QByteArray> results;
        for (QProcess& check : checks) {
            const Run run{check.exitCode(), check.readAllStandardOutput(), check.readAllStandardError()};
            m_runs << run;
            QVERIFY2(check.exitStatus() == QProcess::NormalExit && run.exitCode == 0, run.err.constData());
            results << run.out;
        }
        const auto sentNow = std::count_if(m_provider->requests().cbegin(), m_provider->requests().cend(),
                                           [&](const auto& request) {
                                               return request.query.queryItemValue("myip") == address;
                                           });
        QVERIFY2(sentNow == 1, qPrintable(QStringLiteral("pair %1: %2 sent %3 times:\n%4")
                                             .arg(pair)
                                             .arg(QString::number(sentNow), address,
                                                  QString::fromUtf8(m_runs.constLast().err))));
        std::sort(results.begin(), results.end());
        QCOMPARE(results, (QList<QByteArray>{Received, "The IP is unchanged; nothing was sent\n"}));
    }
    QCOMPARE(updates(), 20);
}

void TestIfChanged::anAcceptanceThatCannotBeRememberedStillCounts()
{
    // A state path under a plain file cannot be made.
    const Run run = runCommand({"--if-changed", "--state", settingsPath() + "/inside"});
    QCOMPARE(run.exitCode, int(cli::ExitAccepted));
    QCOMPARE(run.out, Received);
    expectInErr(run, "could not be recorded");
}

QTEST_GUILESS_MAIN(TestIfChanged)
#include "tst_ifchanged.moc"
