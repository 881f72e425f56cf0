// The simulated providers, reached as a client reaches them: by their real
// names, over TLS with the test CA, inside in-private-network-as-providers.
// What each answers where a client most easily goes wrong (the sign-in, the
// address parameter, the unchanged answer, another host), that hostile
// requests get an answer, that the simulator's log hides every secret, and
// that the namespaces' names and CA stay inside them.
#include "check/providerexchange.h"
#include "check/providers.h"
#include "providerexchanges.h"
#include "sim/providersim.h"
#include "support/providercases.h"
#include "support/testcertificate.h"

#include <QCryptographicHash>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslSocket>
#include <QTest>

using namespace parlowen::sim;

namespace {

bool inProviderNetwork()
{
    return qEnvironmentVariable("PARLOWEN_PROVIDER_NETWORK") == u"1";
}

// The account and record every row starts from, as each provider names them.
ProviderRecord startingRecord(const QString& provider)
{
    const QHash<QString, QString> users = {{"strato", "example.com"},
                                           {"ovh", "example.com-home"},
                                           {"porkbun", "pk1_demo"},
                                           {"godaddy", "demo-key"}};
    return {users.value(provider, QStringLiteral("demo")),
            QStringLiteral("s3cret"),
            provider == u"duckdns" ? QStringLiteral("myhome.duckdns.org")
                                   : QStringLiteral("home.example.com"),
            {},
            kept,
            keptV6};
}

struct Reply {
    int status = 0;
    QByteArray challenge{}; // WWW-Authenticate
    QByteArray body{};
    QString error{};
};

Reply parseReply(const QByteArray& received)
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return {.error = QStringLiteral("no complete answer: ") + QString::fromLatin1(received.left(200))};
    Reply reply;
    const QList<QByteArray> lines = received.left(end).split('\n');
    reply.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines) {
        if (line.startsWith("WWW-Authenticate:"))
            reply.challenge = line.mid(17).trimmed();
    }
    reply.body = received.mid(end + 4);
    return reply;
}

// The whole exchange on a connection of its own, trusting what the system
// trusts: inside the wrapper, the test CA alone.
Reply exchange(const QString& host, const Exchange& request)
{
    QByteArray bytes = request.method + ' ' + request.target + " HTTP/1.1\r\nHost: " + host.toUtf8() + "\r\n";
    if (request.agent)
        bytes += "User-Agent: Parlowen-test/1\r\n";
    bytes += request.headers;
    if (!request.body.isEmpty())
        bytes += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    bytes += "Connection: close\r\n\r\n" + request.body;

    QSslSocket socket;
    QByteArray received;
    QString tlsErrors;
    QObject::connect(&socket, &QSslSocket::encrypted, &socket, [&] { socket.write(bytes); });
    QObject::connect(&socket, &QSslSocket::readyRead, &socket, [&] { received += socket.readAll(); });
    QObject::connect(&socket, &QSslSocket::sslErrors, &socket, [&](const QList<QSslError>& errors) {
        for (const QSslError& error : errors)
            tlsErrors += error.errorString() + u' ';
    });
    socket.connectToHostEncrypted(host, 443);
    if (!QTest::qWaitFor([&socket] { return socket.state() == QAbstractSocket::UnconnectedState; }, 20'000))
        return {.error = QStringLiteral("no answer")};
    if (!tlsErrors.isEmpty())
        return {.error = QStringLiteral("TLS: ") + tlsErrors};
    return parseReply(received);
}

// Cloudflare's ids are the provider's to choose: a row names them {zone} and
// {record}, and they are looked up as a client would.
QByteArray withCloudflareIds(QByteArray target)
{
    const auto firstId = [](const QByteArray& path) {
        const Reply reply = exchange(QStringLiteral("api.cloudflare.com"),
                                     {.target = path, .headers = "Authorization: Bearer s3cret\r\n"});
        return QJsonDocument::fromJson(reply.body)["result"][0]["id"].toString().toUtf8();
    };
    const QByteArray zone = firstId("/client/v4/zones?name=example.com");
    target.replace("{zone}", zone);
    if (target.contains("{record}"))
        target.replace("{record}",
                       firstId("/client/v4/zones/" + zone + "/dns_records?type=A&name=home.example.com"));
    return target;
}

QStringList certifiedNames()
{
    return QSslCertificate(tlsFile("providers-cert.pem")).subjectAlternativeNames().values(QSsl::DnsEntry);
}

} // namespace

class TestProviderSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void namesAreCertifiedAndLeadHere_data();
    void namesAreCertifiedAndLeadHere();
    void onlyTheTestCaIsTrusted();
    void theNamesStayInsideTheNamespace();
    void answers_data();
    void answers();
    void hostileRequestsAreAnswered_data();
    void hostileRequestsAreAnswered();
    void theCheckKeepsBothRecords_data();
    void theCheckKeepsBothRecords();
    void secretsAreMaskedInTheLog_data();
    void secretsAreMaskedInTheLog();

private:
    FakeHttpServer m_server;
};

void TestProviderSim::initTestCase()
{
    if (!inProviderNetwork())
        return;
    m_server.useTls(providerTls());
    QVERIFY(m_server.listen(443));
}

void TestProviderSim::namesAreCertifiedAndLeadHere_data()
{
    QTest::addColumn<QString>("provider");
    for (const QString& provider : simulatedProviders())
        QTest::addRow("%s is named in the certificate and reached on loopback", qPrintable(provider))
            << provider;
}

void TestProviderSim::namesAreCertifiedAndLeadHere()
{
    QFETCH(QString, provider);
    QVERIFY(!providerHosts(provider).isEmpty());
    for (const QString& host : providerHosts(provider)) {
        QVERIFY2(certifiedNames().contains(host),
                 qPrintable(host + QStringLiteral(" is missing: run make-provider-certificates")));
        if (!inProviderNetwork())
            continue;
        const QList<QHostAddress> addresses = QHostInfo::fromName(host).addresses();
        QCOMPARE(addresses, QList<QHostAddress>{QHostAddress::LocalHost});
    }
}

void TestProviderSim::onlyTheTestCaIsTrusted()
{
    if (!inProviderNetwork())
        QSKIP("only inside in-private-network-as-providers");
    QCOMPARE(QSslConfiguration::systemCaCertificates(),
             QList<QSslCertificate>{QSslCertificate(tlsFile("providers-ca.pem"))});
}

// Run outside the namespaces: after the wrapper has run, this machine's own
// /etc/hosts and CA store know nothing of the test.
void TestProviderSim::theNamesStayInsideTheNamespace()
{
    if (inProviderNetwork())
        QSKIP("only outside the namespaces: ctest runs this as tst_providersim_outside");
    const int status = QProcess::execute(QStringLiteral(PARLOWEN_PROVIDER_NETWORK_WRAPPER), {"true"});
    if (status == 77)
        QSKIP("the namespaces cannot be made here");
    QCOMPARE(status, 0);
    QFile hosts(QStringLiteral("/etc/hosts"));
    QVERIFY(hosts.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(hosts.readAll());
    for (const QString& name : certifiedNames())
        QVERIFY2(name == u"localhost" || !text.contains(name), qPrintable(name));
    QVERIFY(
        !QSslConfiguration::systemCaCertificates().contains(QSslCertificate(tlsFile("providers-ca.pem"))));
}

void TestProviderSim::answers_data()
{
    QTest::addColumn<QString>("provider");
    QTest::addColumn<Exchange>("request");
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("challenge");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("addressV6");
    addDyndns2Rows();
    addUrlRows();
    addApiRows();
}

void TestProviderSim::answers()
{
    if (!inProviderNetwork())
        QSKIP("the providers' names lead here only inside in-private-network-as-providers");
    QFETCH(QString, provider);
    QFETCH(Exchange, request);
    QFETCH(bool, blocked);
    QFETCH(int, status);
    QFETCH(QByteArray, challenge);
    QFETCH(QByteArray, answer);
    QFETCH(QString, address);
    QFETCH(QString, addressV6);

    ProviderSim sim(provider, startingRecord(provider));
    sim.setBlocked(blocked);
    sim.serveOn(m_server);
    if (provider == u"cloudflare")
        request.target = withCloudflareIds(request.target);
    const Reply reply = exchange(request.host.isEmpty() ? providerHost(provider) : request.host, request);
    QVERIFY2(reply.error.isEmpty(), qPrintable(reply.error));
    QCOMPARE(reply.status, status);
    QVERIFY2(reply.body.contains(answer), reply.body.constData());
    QVERIFY2(challenge.isEmpty() ? reply.challenge.isEmpty() : reply.challenge.startsWith(challenge),
             reply.challenge.constData());
    QCOMPARE(sim.record().address, address);
    QCOMPARE(sim.record().addressV6, addressV6);
}

namespace {

// A request as FakeHttpServer records one, without a connection.
RecordedRequest recorded(const QByteArray& method, const QByteArray& target, const HeaderList& headers,
                         const QByteArray& body)
{
    RecordedRequest request;
    request.method = method;
    request.target = target;
    request.version = "HTTP/1.1";
    request.headers = headers;
    request.body = body;
    const QUrl url(QStringLiteral("http://host") + QString::fromLatin1(target));
    request.path = url.path(QUrl::FullyDecoded);
    request.query = QUrlQuery(url);
    request.peer = QHostAddress::LocalHost;
    return request;
}

// The check's own requests up to the verdict, each answered by the simulator.
parlowen::AnswerJudgement answeredBy(ProviderSim& sim, const parlowen::UpdateFields& fields)
{
    using parlowen::ProviderRequest;
    const std::unique_ptr<parlowen::ProviderExchange> exchange = parlowen::exchangeFor(fields);
    ProviderRequest request = exchange->first();
    for (int step = 0; step < 12; ++step) {
        const QUrl url(request.url);
        HeaderList headers = request.headers;
        headers += {{"Host", url.host().toUtf8()}, {"User-Agent", parlowen::updateClientAgent()}};
        if (request.signIn == ProviderRequest::SignIn::WithRequest)
            headers.append(
                {"Authorization", "Basic " + (request.user + u':' + request.password).toUtf8().toBase64()});
        const QByteArray target =
            url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded).toUtf8();
        const FakeResponse reply = sim.answer(recorded(request.method, target, headers, request.body));
        const parlowen::LoadedPage page{
            reply.status, {}, QString::fromUtf8(reply.body), request.keepBody ? reply.body : QByteArray()};
        auto next = exchange->next(page, parlowen::Redactor());
        if (const auto* verdict = std::get_if<parlowen::AnswerJudgement>(&next))
            return *verdict;
        request = std::get<ProviderRequest>(next);
    }
    return {parlowen::UpdateOutcome::NotAccepted, QStringLiteral("the requests never ended")};
}

} // namespace

void TestProviderSim::hostileRequestsAreAnswered_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<HeaderList>("headers");
    QTest::addColumn<QByteArray>("body");
    QByteArray everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte += char(byte);
    const HeaderList json = {{"Content-Type", "application/json"}};
    const HeaderList form = {{"Content-Type", "application/x-www-form-urlencoded"}};
    QTest::newRow("an empty request line") << QByteArray() << QByteArray() << HeaderList() << QByteArray();
    QTest::newRow("a path of a hundred thousand slashes")
        << QByteArray("GET") << QByteArray(100'000, '/') << HeaderList() << QByteArray();
    QTest::newRow("every byte in the query")
        << QByteArray("GET") << "/nic/update?" + everyByte << HeaderList() << QByteArray();
    QTest::newRow("every byte as the token in the path")
        << QByteArray("GET") << "/u/" + everyByte.toPercentEncoding() + "/" << HeaderList() << QByteArray();
    QTest::newRow("a JSON body nested ten thousand deep")
        << QByteArray("PUT") << QByteArray("/v1/domains/example.com/records/A/home") << json
        << QByteArray(10'000, '[');
    QTest::newRow("a JSON body of the wrong shapes")
        << QByteArray("POST") << QByteArray("/api/json/v3/dns/editByNameType/example.com/A/home") << json
        << QByteArray(R"({"apikey":[1],"secretapikey":{"a":null},"content":7,"rrset_values":"x"})");
    QTest::newRow("a form body of a million ampersands")
        << QByteArray("POST") << QByteArray("/nic/update") << form << QByteArray(1'000'000, '&');
    QTest::newRow("Basic credentials that are not base64")
        << QByteArray("GET") << QByteArray("/nic/update?hostname=home.example.com")
        << HeaderList{{"Authorization", "Basic !!!:::"}} << QByteArray();
    QTest::newRow("an Authorization header of a scheme alone")
        << QByteArray("GET") << QByteArray("/client/v4/zones") << HeaderList{{"Authorization", "Bearer"}}
        << QByteArray();
    QTest::newRow("an address with an interface scope")
        << QByteArray("GET")
        << QByteArray("/nic/update?hostname=home.example.com&myip=fe80::1%25eth0&ip=fe80::1%25lo")
        << HeaderList{{"Authorization", "Basic ZGVtbzpzM2NyZXQ="}} << QByteArray();
    QTest::newRow("a list of a thousand hosts")
        << QByteArray("GET")
        << "/nic/update?domains=" + QByteArray("a,").repeated(1000) +
               "&hostname=" + QByteArray("a,").repeated(1000)
        << HeaderList{{"Authorization", "Basic ZGVtbzpzM2NyZXQ="}} << QByteArray();
}

void TestProviderSim::hostileRequestsAreAnswered()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(HeaderList, headers);
    QFETCH(QByteArray, body);
    for (const QString& provider : simulatedProviders()) {
        ProviderSim sim(provider, startingRecord(provider));
        const HeaderList withHost = HeaderList{{"Host", providerHost(provider).toUtf8()}} + headers;
        const FakeResponse answer = sim.answer(recorded(method, target, withHost, body));
        QVERIFY2(answer.status >= 200 && answer.status < 600, qPrintable(provider));
        QCOMPARE(sim.record().host, startingRecord(provider).host);
    }
}

void TestProviderSim::theCheckKeepsBothRecords_data()
{
    QTest::addColumn<QString>("provider");
    QTest::addColumn<parlowen::Ipv6Mode>("mode");
    QTest::addColumn<QString>("ipv6Address"); // empty: none found
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("addressV6");
    using enum parlowen::Ipv6Mode;
    for (const char* provider :
         {"noip",       "dyn",     "ovh",   "strato",  "allinkl", "dynv6",      "dynu",
          "desec",      "he",      "ipv64", "spdyn",   "ydns",    "ydns-token", "duckdns",
          "cloudflare", "porkbun", "gandi", "godaddy", "freedns", "freedns-v2"}) {
        // FreeDNS's update URL is a record's: the AAAA record's goes alone.
        if (!QByteArray(provider).startsWith("freedns")) {
            QTest::addRow("%s: IPv6=yes", provider) << provider << Yes << sentV6 << sent << sentV6;
            QTest::addRow("%s: no IPv6 address", provider) << provider << Yes << QString() << sent << keptV6;
        }
        QTest::addRow("%s: IPv6=only", provider) << provider << Only << sentV6 << kept << sentV6;
    }
}

// What the check sends for IPv6= leaves both records right at the provider, nothing else changed.
void TestProviderSim::theCheckKeepsBothRecords()
{
    QFETCH(QString, provider);
    QFETCH(parlowen::Ipv6Mode, mode);
    QFETCH(QString, ipv6Address);
    QFETCH(QString, address);
    QFETCH(QString, addressV6);
    const auto entry = std::ranges::find_if(parlowen::test::providerCases(), [&](const auto& one) {
        return one.provider == provider && one.accepted;
    });
    QVERIFY(entry != parlowen::test::providerCases().end());
    ProviderRecord before = entry->record;
    before.addressV6 = keptV6;
    ProviderSim sim(provider, before);
    const parlowen::AnswerJudgement verdict =
        answeredBy(sim, {entry->serviceUrl, entry->userName, entry->password, entry->host,
                         mode == parlowen::Ipv6Mode::Only ? QString() : sent, mode, ipv6Address});
    QVERIFY2(verdict.outcome == parlowen::UpdateOutcome::Accepted, qPrintable(verdict.reason));
    QCOMPARE(sim.record().address, address);
    QCOMPARE(sim.record().addressV6, addressV6);
    QCOMPARE(sim.record().host + sim.record().secret, before.host + before.secret);
}

void TestProviderSim::secretsAreMaskedInTheLog_data()
{
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<HeaderList>("headers");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("secrets");
    QTest::addColumn<QString>("shown"); // what the line still says
    const HeaderList none;
    const QStringList secret = {QStringLiteral("s3cret")};
    QTest::newRow("a password in the query")
        << "dynu" << QByteArray("/nic/update?username=demo&password=s3cret") << none << QByteArray() << secret
        << "username=demo&password=***";
    QTest::newRow("a wrong password, as well as a right one")
        << "dynu" << QByteArray("/nic/update?password=s3cre7") << none << QByteArray()
        << QStringList{"s3cre7"} << "password=***";
    QTest::newRow("a token in the query") << "duckdns" << QByteArray("/update?domains=myhome&token=s3cret")
                                          << none << QByteArray() << secret << "domains=myhome&token=***";
    QTest::newRow("a token as the bare query")
        << "freedns" << QByteArray("/dynamic/update.php?s3cret&address=192.0.2.1") << none << QByteArray()
        << secret << "?***&address=192.0.2.1";
    QTest::newRow("a token in the path") << "freedns-v2" << QByteArray("/u/s3cret/?address=192.0.2.1") << none
                                         << QByteArray() << secret << "/u/***/";
    QTest::newRow("a token in the path after the domain")
        << "duckdns" << QByteArray("/update/myhome/s3cret/192.0.2.1") << none << QByteArray() << secret
        << "/update/myhome/***/192.0.2.1";
    QTest::newRow("a token in the update URL") << "ydns-token" << QByteArray("/hosts/update/s3cret") << none
                                               << QByteArray() << secret << "/hosts/update/***";
    QTest::newRow("a Basic password")
        << "noip" << QByteArray("/nic/update") << HeaderList{{"Authorization", "Basic ZGVtbzpzM2NyZXQ="}}
        << QByteArray() << QStringList{"s3cret", "ZGVtbzpzM2NyZXQ="} << "Basic demo:***";
    QTest::newRow("a token as IPv64's user name")
        << "ipv64" << QByteArray("/nic/update?username=s3cret")
        << HeaderList{{"Authorization", "Basic " + QByteArray("s3cret:").toBase64()}} << QByteArray()
        << secret << "Basic ***:***";
    QTest::newRow("a Bearer token") << "cloudflare" << QByteArray("/client/v4/zones")
                                    << HeaderList{{"Authorization", "Bearer s3cret"}} << QByteArray()
                                    << secret << "Bearer ***";
    QTest::newRow("GoDaddy's key and secret")
        << "godaddy" << QByteArray("/v1/domains") << HeaderList{{"Authorization", "sso-key demo-key:s3cret"}}
        << QByteArray() << QStringList{"demo-key", "s3cret"} << "sso-key ***";
    QTest::newRow("Porkbun's keys in the body")
        << "porkbun" << QByteArray("/api/json/v3/ping") << none
        << QByteArray(R"({"apikey":"pk1_demo","secretapikey":"s3cret","content":"192.0.2.1"})")
        << QStringList{"pk1_demo", "s3cret"} << R"("content":"192.0.2.1")";
    QTest::newRow("Porkbun's keys in headers")
        << "porkbun" << QByteArray("/api/json/v3/ping")
        << HeaderList{{"X-API-Key", "pk1_demo"}, {"X-Secret-API-Key", "s3cret"}} << QByteArray()
        << QStringList{"pk1_demo", "s3cret"} << "X-Secret-API-Key ***";
    QTest::newRow("a key in a form body") << "he" << QByteArray("/nic/update")
                                          << HeaderList{{"Content-Type", "application/x-www-form-urlencoded"}}
                                          << QByteArray("hostname=home.example.com&password=s3cret") << secret
                                          << "hostname=home.example.com&password=***";
}

void TestProviderSim::secretsAreMaskedInTheLog()
{
    QFETCH(QString, provider);
    QFETCH(QByteArray, target);
    QFETCH(HeaderList, headers);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, secrets);
    QFETCH(QString, shown);
    const QString line = maskedProviderRequest(provider, recorded("POST", target, headers, body));
    for (const QString& secret : secrets)
        QVERIFY2(!line.contains(secret), qPrintable(line));
    QVERIFY2(line.contains(shown), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestProviderSim)
#include "tst_providersim.moc"
