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
using upnp::HelperReply;

namespace {
using Kind = HelperReply::Kind;

// Every answer a query gives, in order.
class Answers : public std::vector<UpnpAnswer> {
public:
    explicit Answers(GatewayQuery& query)
    {
        QObject::connect(&query, &GatewayQuery::answered, &query,
                         [this](const UpnpAnswer& answer) { push_back(answer); });
    }
};

struct Expected {
    std::optional<QString> address;
    UpnpFailure failure = UpnpFailure::QueryFailed;
    QString detail{};
};
} // namespace

Q_DECLARE_METATYPE(Expected)

class TestGatewayQuery : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void helperRecordsSayWhatTheGatewayAnswered_data();
    void helperRecordsSayWhatTheGatewayAnswered();
    void urlHosts_data();
    void urlHosts();
    void aHelperThatFailsIsAFailedQuery_data();
    void aHelperThatFailsIsAFailedQuery();
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

void TestGatewayQuery::helperRecordsSayWhatTheGatewayAnswered_data()
{
    QTest::addColumn<HelperReply>("reply");
    QTest::addColumn<Expected>("expected");
    const auto row = [](const char* name, HelperReply reply, Expected expected) {
        QTest::newRow(name) << reply << expected;
    };
    // The gateway's text comes through as it was, for the check's own
    // verdict on it: empty, all zeros or no address at all.
    row("an address", {Kind::Address, "203.0.113.7"}, {QString("203.0.113.7")});
    row("an empty answer", {Kind::Address, ""}, {QString()});
    row("all zeros", {Kind::Address, "0.0.0.0"}, {QString("0.0.0.0")});
    row("no address, with a line break and a tab", {Kind::Address, "bad\n\tline"}, {QString("bad\n\tline")});
    row("not UTF-8", {Kind::Address, "\xff\xfe"}, {QString("\uFFFD\uFFFD")});
    row("an overlong answer is cut to the record", {Kind::Address, std::string(1000, '9')},
        {QString(qsizetype(upnp::MaxReplyBytes - 8), u'9')});
    row("no gateway", {Kind::NoGateway, {}}, {{}, UpnpFailure::NoGateway});
    row("a gateway elsewhere", {Kind::Elsewhere, "127.0.0.2"},
        {{}, UpnpFailure::GatewayElsewhere, "127.0.0.2"});
    row("not a gateway", {Kind::NotAGateway, {}}, {{}, UpnpFailure::NotAGateway});
    row("a UPnP error", {Kind::GatewayError, "501"}, {{}, UpnpFailure::GatewayError, "error 501"});
    row("an unknown router name", {Kind::Unresolved, {}}, {{}, UpnpFailure::Unresolved});
}

void TestGatewayQuery::helperRecordsSayWhatTheGatewayAnswered()
{
    QFETCH(HelperReply, reply);
    QFETCH(Expected, expected);
    QByteArray record;
    {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* stream = open_memstream(&buffer, &size);
        QCOMPARE(upnp::writeReply(stream, reply), 0);
        std::fclose(stream);
        record = QByteArray(buffer, qsizetype(size));
        std::free(buffer);
    }
    QVERIFY(record.size() <= qsizetype(upnp::MaxReplyBytes));
    const UpnpAnswer answer = answerFromHelperOutput(record);
    QCOMPARE(answer.ok(), expected.address.has_value());
    if (answer) {
        QCOMPARE(answer.value(), *expected.address);
    } else {
        QCOMPARE(toString(answer.error()), toString(expected.failure));
        QCOMPARE(answer.failure().detail, expected.detail);
    }
}

void TestGatewayQuery::urlHosts_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("host");
    QTest::newRow("address and port") << "http://192.0.2.1:5000/rootDesc.xml"
                                      << "192.0.2.1";
    QTest::newRow("no port, no path") << "http://192.0.2.1"
                                      << "192.0.2.1";
    QTest::newRow("IPv6 literal") << "http://[2001:db8::1]:80/desc"
                                  << "2001:db8::1";
    QTest::newRow("user-info is not the host") << "http://192.0.2.9@192.0.2.1/x"
                                               << "192.0.2.1";
    QTest::newRow("an @ in the path is not user-info") << "http://192.0.2.1/a@192.0.2.9"
                                                       << "192.0.2.1";
    QTest::newRow("a query right after the host") << "http://192.0.2.1?x=192.0.2.9"
                                                  << "192.0.2.1";
    QTest::newRow("no scheme") << "192.0.2.1/desc"
                               << "";
    QTest::newRow("an unclosed bracket") << "http://[2001:db8::1/desc"
                                         << "";
}

void TestGatewayQuery::urlHosts()
{
    QFETCH(QString, url);
    QTEST(QString::fromStdString(upnp::hostOfUrl(url.toStdString())), "host");
}

void TestGatewayQuery::aHelperThatFailsIsAFailedQuery_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<UpnpFailure>("failure");
    QTest::newRow("no such program") << QByteArray() << UpnpFailure::QueryFailed;
    QTest::newRow("a record, then a failing status")
        << QByteArray("printf 'address\\t203.0.113.7'; exit 3") << UpnpFailure::QueryFailed;
    QTest::newRow("killed") << QByteArray("printf 'address\\t203.0.113.7'; kill -KILL $$")
                            << UpnpFailure::QueryFailed;
    QTest::newRow("no record") << QByteArray("echo hello") << UpnpFailure::QueryFailed;
    QTest::newRow("a record of an unknown kind")
        << QByteArray("printf 'maybe\\t203.0.113.7'") << UpnpFailure::QueryFailed;
    QTest::newRow("silent until the deadline") << QByteArray("exec sleep 60") << UpnpFailure::NoAnswerInTime;
    QTest::newRow("a record, then no end")
        << QByteArray("printf 'address\\t203.0.113.7'; exec sleep 60") << UpnpFailure::NoAnswerInTime;
}

void TestGatewayQuery::aHelperThatFailsIsAFailedQuery()
{
    QFETCH(QByteArray, body);
    QFETCH(UpnpFailure, failure);
    GatewayQuery query(body.isEmpty() ? m_dir.filePath("missing") : fakeHelper(body));
    const Answers answers(query);
    query.start(QStringLiteral("127.0.0.1"));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 30000);
    const UpnpAnswer& answer = answers.front();
    QVERIFY(!answer);
    QCOMPARE(toString(answer.error()), toString(failure));
    QVERIFY(!query.isRunning());
    QTest::qWait(100);
    QCOMPARE(answers.size(), 1);
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
                                      "' ] && exec printf 'address\\t198.51.100.2'\n"
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
        QCOMPARE(answers.front().value(), QStringLiteral("198.51.100.2"));
    } else {
        QTest::qWait(200);
        QCOMPARE(answers.size(), 0);
    }
}

QTEST_GUILESS_MAIN(TestGatewayQuery)
#include "tst_gatewayquery.moc"
