// The UPnP query as the check sees it: the helper's one record, and the
// helper process the query owns, which ends with the answer, at the
// deadline, when cancelled, and with the query.
#include "upnp/gatewayquery.h"
#include "upnp/helperreply.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace parlowen;

namespace {
// Every answer a query gives, in order.
class Answers : public std::vector<UpnpAnswer> {
public:
    explicit Answers(GatewayQuery& query)
    {
        QObject::connect(&query, &GatewayQuery::answered, &query,
                         [this](const UpnpAnswer& answer) { push_back(answer); });
    }
};
} // namespace

class TestGatewayQuery : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void aHelperAnswersOnceThroughItsRecord_data();
    void aHelperAnswersOnceThroughItsRecord();
    void urlHosts_data();
    void urlHosts();
    void aQueryEndedEarlyLeavesNoHelperBehind_data();
    void aQueryEndedEarlyLeavesNoHelperBehind();

private:
    // A stand-in helper: a shell script with this body.
    QString fakeHelper(const QByteArray& body);
    QTemporaryDir m_dir;
    int m_helpers = 0;
};

QString TestGatewayQuery::fakeHelper(const QByteArray& body)
{
    const QString path = m_dir.filePath(QStringLiteral("helper%1").arg(++m_helpers));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + "\n") < 0)
        return {};
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void TestGatewayQuery::aHelperAnswersOnceThroughItsRecord_data()
{
    QTest::addColumn<QByteArray>("body"); // empty: no such program
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("source"); // AddressSource, for an address
    QTest::addColumn<QString>("controlUrl");
    QTest::addColumn<UpnpFailure>("failure");
    QTest::addColumn<QString>("detail");
    const auto row = [](const char* name, const char* body, const QString& address,
                        AddressSource source = AddressSource::Upnp, const QString& controlUrl = {}) {
        QTest::newRow(name) << QByteArray(body) << true << address << int(source) << controlUrl
                            << UpnpFailure::QueryFailed << QString();
    };
    const auto fails = [](const char* name, const char* body, UpnpFailure failure,
                          const QString& detail = {}) {
        QTest::newRow(name) << QByteArray(body) << false << QString() << 0 << QString() << failure << detail;
    };
    // The gateway's text comes through as it was, for the check's own
    // verdict on it.
    row("an address from a UPnP gateway, and where it is asked",
        "printf 'address\\tupnp\\thttp://127.0.0.1:5000/ctl\\turn:schemas-upnp-org:service:WANIPConnection:1"
        "\\t203.0.113.7'",
        "203.0.113.7", AddressSource::Upnp, "http://127.0.0.1:5000/ctl");
    row("an address from NAT-PMP", "printf 'address\\tnatpmp\\t\\t\\t203.0.113.7'", "203.0.113.7",
        AddressSource::NatPmp);
    row("an empty answer", "printf 'address\\tnatpmp\\t\\t\\t'", "", AddressSource::NatPmp);
    row("a line break and a tab", "printf 'address\\tupnp\\t\\t\\tbad\\n\\tline'", "bad\n\tline");
    row("not UTF-8", "printf 'address\\tupnp\\t\\t\\t\\377\\376'", "\uFFFD\uFFFD");
    fails("a gateway elsewhere", "printf 'elsewhere\\t\\t\\t\\t127.0.0.2'", UpnpFailure::GatewayElsewhere,
          "127.0.0.2");
    fails("a UPnP error", "printf 'gateway-error\\t\\t\\t\\t501'", UpnpFailure::GatewayError, "error 501");
    fails("no such program", "", UpnpFailure::QueryFailed);
    fails("a record, then a failing status", "printf 'address\\t203.0.113.7'; exit 3",
          UpnpFailure::QueryFailed);
    fails("killed", "printf 'address\\t203.0.113.7'; kill -KILL $$", UpnpFailure::QueryFailed);
    fails("no record", "echo hello", UpnpFailure::QueryFailed);
    fails("a record of an unknown kind", "printf 'maybe\\tupnp\\t\\t\\t203.0.113.7'",
          UpnpFailure::QueryFailed);
    fails("a record without the fields of the service", "printf 'address\\t203.0.113.7'",
          UpnpFailure::QueryFailed);
    fails("silent until the deadline", "exec sleep 60", UpnpFailure::NoAnswerInTime);
    fails("a record, then no end", "printf 'address\\t203.0.113.7'; exec sleep 60",
          UpnpFailure::NoAnswerInTime);
}

void TestGatewayQuery::aHelperAnswersOnceThroughItsRecord()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    GatewayQuery query(body.isEmpty() ? m_dir.filePath("missing") : fakeHelper(body));
    const Answers answers(query);
    query.start(QStringLiteral("127.0.0.1"));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 30000);
    const UpnpAnswer& answer = answers.front();
    QCOMPARE(answer.ok(), ok);
    if (ok) {
        QTEST(answer.value().value, "address");
        QTEST(int(answer.value().source), "source");
        QTEST(answer.value().gateway.controlUrl, "controlUrl");
    } else {
        QFETCH(UpnpFailure, failure);
        QCOMPARE(toString(answer.error()), toString(failure));
        QFETCH(QString, detail);
        if (!detail.isEmpty())
            QCOMPARE(answer.failure().detail, detail);
    }
    QVERIFY(!query.isRunning());
    QTest::qWait(100);
    QCOMPARE(answers.size(), 1);
}

void TestGatewayQuery::urlHosts_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("host");
    QTest::newRow("address and port") << "http://192.0.2.1:5000/rootDesc.xml"
                                      << "192.0.2.1";
    QTest::newRow("IPv6 literal") << "http://[2001:db8::1]:80/desc"
                                  << "2001:db8::1";
    QTest::newRow("user-info is not the host") << "http://192.0.2.9@192.0.2.1/x"
                                               << "192.0.2.1";
    QTest::newRow("an @ in the path is not user-info") << "http://192.0.2.1/a@192.0.2.9"
                                                       << "192.0.2.1";
    QTest::newRow("an unclosed bracket") << "http://[2001:db8::1/desc"
                                         << "";
}

void TestGatewayQuery::urlHosts()
{
    QFETCH(QString, url);
    QTEST(QString::fromStdString(upnp::hostOfUrl(url.toStdString())), "host");
}

// Whoever ends a check ends its query: a new query, a cancel or the
// query's end leaves no helper running and no answer to come.
void TestGatewayQuery::aQueryEndedEarlyLeavesNoHelperBehind_data()
{
    QTest::addColumn<int>("ending");
    QTest::newRow("cancelled") << 0;
    QTest::newRow("replaced by a new query") << 1;
    QTest::newRow("destroyed with its owner") << 2;
}

void TestGatewayQuery::aQueryEndedEarlyLeavesNoHelperBehind()
{
    QFETCH(int, ending);
    const QString pidFile = m_dir.filePath("pid");
    QFile::remove(pidFile);
    const QString helper = fakeHelper("[ -e '" + pidFile.toUtf8() +
                                      "' ] && exec printf 'address\\tnatpmp\\t\\t\\t198.51.100.2'\n"
                                      "echo $$ > '" +
                                      pidFile.toUtf8() + "'; exec sleep 60");
    auto query = std::make_unique<GatewayQuery>(helper);
    const Answers answers(*query);
    query->start(QStringLiteral("127.0.0.1"));
    QTRY_VERIFY(QFile(pidFile).size() > 0);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    QVERIFY(pid > 0);
    if (ending == 0)
        query->cancel();
    else if (ending == 1)
        query->start(QStringLiteral("127.0.0.1"));
    else
        query.reset();
    // Reaped already: the process is gone, not a zombie waiting for us.
    QCOMPARE(::kill(pid, 0), -1);
    if (ending == 1) {
        QTRY_COMPARE(answers.size(), 1);
        QCOMPARE(answers.front().value().value, QStringLiteral("198.51.100.2"));
    } else {
        QTest::qWait(200);
        QCOMPARE(answers.size(), 0);
    }
}

QTEST_GUILESS_MAIN(TestGatewayQuery)
#include "tst_gatewayquery.moc"
