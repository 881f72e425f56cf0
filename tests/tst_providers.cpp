// The providers of the table without a network: what each is sent, how its
// answers are read, the requests of the JSON APIs in their order, and the
// secrets each Service URL holds kept out of what is shown.
#include "check/checksettings.h"
#include "check/fieldproblem.h"
#include "check/ipv6support.h"
#include "check/providerexchange.h"
#include "check/providers.h"
#include "ipv6requests.h"

#include <QJsonDocument>
#include <QTest>

using namespace parlowen;

namespace {
const QString Address = QStringLiteral("203.0.113.7");
} // namespace

class TestProviders : public QObject {
    Q_OBJECT
private slots:
    void theAddressGoesWhereTheProviderReadsIt_data();
    void theAddressGoesWhereTheProviderReadsIt();
    void eachProviderIsReadInItsOwnWords_data();
    void eachProviderIsReadInItsOwnWords();
    void anApiChangesTheRecordOnlyWhenItHoldsAnotherAddress_data();
    void anApiChangesTheRecordOnlyWhenItHoldsAnotherAddress();
    void noSecretOfAServiceUrlIsShown_data();
    void noSecretOfAServiceUrlIsShown();
    void ipv6IsRefusedBeforeAnythingIsSent_data();
    void ipv6IsRefusedBeforeAnythingIsSent();
    void bothRequestsAreOneVerdict_data();
    void bothRequestsAreOneVerdict();
};

void TestProviders::theAddressGoesWhereTheProviderReadsIt_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("signIn"); // ProviderRequest::SignIn
    QTest::addColumn<int>("mode");   // Ipv6Mode
    QTest::addColumn<QString>("ipv6Address");
    QTest::addColumn<QString>("second"); // the request after "good"; empty: none
    const auto row = [](const char* name, const QString& service, const QString& user,
                        const QString& password, const QString& host, const QString& url,
                        ProviderRequest::SignIn signIn) {
        QTest::newRow(name) << service << user << password << host << url << int(signIn) << int(Ipv6Mode::No)
                            << QString() << QString();
    };
    using enum ProviderRequest::SignIn;
    row("No-IP: the account as Basic, never in the query, and over https",
        "http://dynupdate.no-ip.com/nic/update", "me@mail.example", "pw", "home.example.net",
        "https://dynupdate.no-ip.com/nic/update?hostname=home.example.net&myip=203.0.113.7", WithRequest);
    row("a port typed for http goes with it", "http://members.dyndns.org:8245/nic/update", "me", "key",
        "home.example.net",
        "https://members.dyndns.org/nic/update?hostname=home.example.net&myip=203.0.113.7", WithRequest);
    row("an account typed into the URL signs in when the fields are empty",
        "https://me:pw@dyndns.strato.com/nic/update", "", "", "example.de",
        "https://dyndns.strato.com/nic/update?hostname=example.de&myip=203.0.113.7", WithRequest);
    row("DNS-O-Matic's fixed parameters, and not twice where typed",
        "https://updates.dnsomatic.com/nic/update?mx=mail.example.net", "me", "pw", "all.dnsomatic.com",
        "https://updates.dnsomatic.com/nic/"
        "update?mx=mail.example.net&wildcard=NOCHG&backmx=NOCHG&hostname=all."
        "dnsomatic.com&myip=203.0.113.7",
        WithRequest);
    row("deSEC keeps the AAAA record", "https://update.dedyn.io/", "example.dedyn.io", "token",
        "example.dedyn.io",
        "https://update.dedyn.io/?myipv6=preserve&hostname=example.dedyn.io&myipv4=203.0.113.7", WithRequest);
    row("Hurricane Electric reads its key as a parameter", "https://dyn.dns.he.net/nic/update", "ignored",
        "k&y", "home.example.net",
        "https://dyn.dns.he.net/nic/update?password=k%26y&hostname=home.example.net&myip=203.0.113.7", None);
    row("DuckDNS: the token from Password, the name without its domain, on www", "https://duckdns.org/update",
        "", "a-token", "MyHome.duckdns.org",
        "https://www.duckdns.org/update?token=a-token&domains=MyHome&ip=203.0.113.7", None);
    row("DuckDNS: a copied URL keeps its token and loses its empty address",
        "https://www.duckdns.org/update?domains=myhome&token=typed&ip=", "", "", "myhome.duckdns.org",
        "https://www.duckdns.org/update?token=typed&domains=myhome&ip=203.0.113.7", None);
    row("dynv6's own API by its path", "https://dynv6.com/api/update", "", "tok", "home.dynv6.net",
        "https://dynv6.com/api/update?token=tok&hostname=home.dynv6.net&ipv4=203.0.113.7", None);
    row("dynv6's dyndns2 path on the same host", "https://dynv6.com/nic/update", "none", "tok",
        "home.dynv6.net", "https://dynv6.com/nic/update?hostname=home.dynv6.net&myip=203.0.113.7",
        WithRequest);
    row("FreeDNS: the bare token stays as it is spelled",
        "https://freedns.afraid.org/dynamic/update.php?VG9r%3D", "", "", "home.example.net",
        "https://freedns.afraid.org/dynamic/update.php?VG9r%3D&address=203.0.113.7", None);
    row("FreeDNS v2: the token in the path", "https://sync.afraid.org/u/Tok3n/", "", "", "",
        "https://sync.afraid.org/u/Tok3n/?address=203.0.113.7", None);
    row("Namecheap: the host within the domain", "https://dynamicdns.park-your-domain.com/update",
        "example.com", "ddns", "home.lab.Example.com",
        "https://dynamicdns.park-your-domain.com/"
        "update?domain=example.com&password=ddns&host=home.lab&ip=203.0.113.7",
        None);
    row("Namecheap: the domain itself is @", "https://dynamicdns.park-your-domain.com/update", "example.com",
        "ddns", "example.com",
        "https://dynamicdns.park-your-domain.com/"
        "update?domain=example.com&password=ddns&host=%40&ip=203.0.113.7",
        None);
    row("YDNS by its API path", "https://ydns.io/api/v1/update/", "me", "pw", "home.ydns.io",
        "https://ydns.io/api/v1/update/?host=home.ydns.io&ip=203.0.113.7", WithRequest);
    row("a Service URL of no row is the template, its challenge answered with the fields",
        "http://ddns.example.net/dyn.asp", "alice", "s3cret", "home.example.net",
        "http://ddns.example.net/"
        "dyn.asp?username=alice&password=s3cret&hostname=home.example.net&myip=203.0.113.7",
        OnChallenge);
    row("one with an account of its own signs in with that one", "http://bob:pw@ddns.example.net/dyn.asp",
        "alice", "s3cret", "home.example.net",
        "http://bob:pw@ddns.example.net/"
        "dyn.asp?username=alice&password=s3cret&hostname=home.example.net&myip="
        "203.0.113.7",
        None);
    row("a host of a row under another path is no row", "https://dynv6.com/other", "u", "p", "h.example.net",
        "https://dynv6.com/other?username=u&password=p&hostname=h.example.net&myip=203.0.113.7", OnChallenge);
    addIpv6RequestRows();
}

void TestProviders::theAddressGoesWhereTheProviderReadsIt()
{
    QFETCH(QString, service);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(QString, url);
    QFETCH(int, signIn);
    QFETCH(int, mode);
    QFETCH(QString, ipv6Address);
    QFETCH(QString, second);
    const auto ipv6 = Ipv6Mode(mode);
    QVERIFY(!ipv6Refusal(ipv6, service));
    const std::unique_ptr<ProviderExchange> exchange = exchangeFor(
        {service, user, password, host, ipv6 == Ipv6Mode::Only ? QString() : Address, ipv6, ipv6Address});
    const ProviderRequest request = exchange->first();
    QCOMPARE(request.url, url);
    QCOMPARE(int(request.signIn), signIn);
    QCOMPARE(request.method, QByteArray("GET"));
    if (request.signIn == ProviderRequest::SignIn::WithRequest && !user.isEmpty())
        QCOMPARE(request.user + ':' + request.password, user + ':' + password);
    // The IPv6 address's request follows only an accepted one, the same but for it.
    const auto next = exchange->next({200, {}, QStringLiteral("good")}, Redactor());
    const auto* following = std::get_if<ProviderRequest>(&next);
    QCOMPARE(following ? following->url : QString(), second);
    if (following) {
        QCOMPARE(following->purpose, QStringLiteral("sending the IPv6 address"));
        QCOMPARE(following->signIn, request.signIn);
        QCOMPARE(following->user + following->password, request.user + request.password);
    }
}

void TestProviders::eachProviderIsReadInItsOwnWords_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("reason"); // a part of it
    const auto row = [](const char* name, const char* service, int status, const QByteArray& body,
                        bool accepted, const QString& reason = {}) {
        QTest::newRow(name) << QString::fromLatin1(service) << status << body << accepted << reason;
    };
    const char* noIp = "https://dynupdate.no-ip.com/nic/update";
    row("No-IP's nochg is a success", noIp, 200, "nochg 203.0.113.7", true);
    row("No-IP's badauth with its challenge is the account refused", noIp, 401, "badauth", false,
        "badauth (wrong user name or password)");
    row("a 401 without a code is the account refused", "https://update.dedyn.io/", 401, "<h1>401</h1>", false,
        "refused the user name or password (HTTP 401)");
    row("!donator is named", noIp, 200, "!donator", false, "!donator (an option that only paying accounts");
    row("!yours is named", "https://update.spdyn.de/nic/update", 200, "!yours", false,
        "!yours (the host name is not in this account)");
    row("numhost is named", "https://members.dyndns.org/v3/update", 200, "numhost", false,
        "numhost (too many");
    row("badrequest is named", "https://www.ovh.com/nic/update", 200, "badrequest", false, "badrequest (the");
    row("Strato's badauth carries an address", "https://dyndns.strato.com/nic/update", 200,
        "badauth 203.0.113.7", false, "badauth (wrong");
    row("Dyn ignoring a request it took for a faulty client's", "https://members.dyndns.org/nic/update", 200,
        "good 127.0.0.1", false, "ignored the update");
    row("No-IP: both addresses set", noIp, 200, "good 203.0.113.7,2001:db8:1::10", true);
    row("Dyn: the IPv6 address unchanged", "https://members.dyndns.org/v3/update", 200,
        "nochg 2001:db8:1::10", true);
    row("FreeDNS: the AAAA record updated", "https://sync.afraid.org/u/T/", 200,
        "Updated home.example.net from 2001:db8::4 to 2001:db8:1::10", true);
    row("DuckDNS: OK", "https://www.duckdns.org/update", 200, "OK", true);
    row("DuckDNS: the verbose OK", "https://www.duckdns.org/update", 200, "OK\n203.0.113.7\n\nNOCHANGE",
        true);
    row("DuckDNS: KO", "https://www.duckdns.org/update", 200, "KO", false,
        "KO (the token or the domain name");
    row("FreeDNS: updated", "https://sync.afraid.org/u/T/", 200,
        "Updated 1 host(s) home.example.net to 203.0.113.7", true);
    row("FreeDNS: no change", "https://sync.afraid.org/u/T/", 200,
        "No IP change detected for home.example.net", true);
    row("FreeDNS v1: an unchanged address says ERROR", "https://freedns.afraid.org/dynamic/update.php?T", 200,
        "ERROR: Address 203.0.113.7 has not changed.", true);
    row("FreeDNS v1: a stale token", "https://freedns.afraid.org/dynamic/update.php?T", 200,
        "ERROR: Unable to locate this record", false, "copy the update URL");
    row("FreeDNS v2: an unknown token", "https://sync.afraid.org/u/T/", 404, "<html>Not found</html>", false,
        "is not, or no longer, FreeDNS's");
    row("ChangeIP: successful", "https://nic.changeip.com/nic/update", 200, "200 Successful Update", true);
    row("ChangeIP: a host of another account", "https://nic.changeip.com/nic/update", 200, "422 Hostname",
        false, "422 (the host name is not in this account)");
    row("dynv6: unchanged", "https://dynv6.com/api/update", 200, "addresses unchanged", true);
    row("dynv6: a wrong token", "https://dynv6.com/api/update", 401, "invalid authentication token", false,
        "the token is wrong");
    row("selfHOST: 204 is unchanged", "https://carol.selfhost.de/nic/update", 204, "", true);
    row("selfHOST: a private address", "https://carol.selfhost.de/nic/update", 412, "", false,
        "412 (the address is a private one)");
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-16\"?><interface-response><IP>203.0.113.7</IP>"
        "<ErrCount>%1</ErrCount><errors>%2</errors><Done>true</Done></interface-response>";
    const char* namecheap = "https://dynamicdns.park-your-domain.com/update";
    row("Namecheap: no errors", namecheap, 200, QByteArray(xml).replace("%1", "0").replace("%2", ""), true);
    row("Namecheap: the password refused", namecheap, 200,
        QByteArray(xml).replace("%1", "1").replace("%2", "<Err1>Passwords do not match</Err1>"), false,
        "saying \"Passwords do not match\". Copy the domain's Dynamic DNS password");
    row("Namecheap: no XML at all", namecheap, 200, "good", false,
        "does not say that the update was accepted");
}

void TestProviders::eachProviderIsReadInItsOwnWords()
{
    QFETCH(QString, service);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, accepted);
    QFETCH(QString, reason);
    const std::unique_ptr<ProviderExchange> exchange =
        exchangeFor({service, "u", "p", "home.example.net", Address});
    const ProviderRequest request = exchange->first();
    // The answer's text as the engine gives it: XML's tags are gone.
    QString text = QString::fromUtf8(body).replace(u'\n', QStringLiteral("\r\n"));
    text.remove(QRegularExpression("<[^>]*>"));
    const LoadedPage page{status, {}, text, request.keepBody ? body : QByteArray()};
    const auto verdict = exchange->next(page, Redactor());
    const auto* judgement = std::get_if<AnswerJudgement>(&verdict);
    QVERIFY(judgement);
    QCOMPARE(judgement->outcome == UpdateOutcome::Accepted, accepted);
    QVERIFY2(judgement->reason.contains(reason), qPrintable(judgement->reason));
}

void TestProviders::anApiChangesTheRecordOnlyWhenItHoldsAnotherAddress_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("mode"); // Ipv6Mode
    QTest::addColumn<QString>("ipv6Address");
    const QByteArray cf = "https://api.cloudflare.com/client/v4";
    const QByteArray zone = R"({"success":true,"errors":[],"result":[{"id":"z1","name":"example.co.uk"}]})";
    const QByteArray none = R"({"success":true,"errors":[],"result":[]})";
    const QByteArray record = R"({"success":true,"result":[{"id":"r1","content":"198.51.100.4"}]})";
    const QByteArray same = R"({"success":true,"result":[{"id":"r1","content":"203.0.113.7"}]})";
    const QByteArray ok = R"({"success":true,"result":{"id":"r1","content":"203.0.113.7"}})";
    QTest::newRow("Cloudflare: the zone found below the host name, the record changed")
        << "https://api.cloudflare.com/client/v4"
        << "home.example.co.uk"
        << QList<Answer>{{"GET " + cf + "/zones?name=home.example.co.uk", 200, none},
                         {"GET " + cf + "/zones?name=example.co.uk", 200, zone},
                         {"GET " + cf + "/zones/z1/dns_records?type=A&name=home.example.co.uk", 200, record},
                         {"PATCH " + cf + "/zones/z1/dns_records/r1", 200, ok}}
        << true << "" << int(Ipv6Mode::No) << QString();
    QTest::newRow("Cloudflare: a zone typed by its id, the address unchanged, nothing sent")
        << "https://api.cloudflare.com/client/v4/zones/z9"
        << "home.example.net"
        << QList<Answer>{{"GET " + cf + "/zones/z9/dns_records?type=A&name=home.example.net", 200, same}}
        << true << "" << int(Ipv6Mode::No) << QString();
    QTest::newRow("Cloudflare: a token without the zone's permission")
        << "https://api.cloudflare.com"
        << "home.example.net"
        << QList<Answer>{{"GET " + cf + "/zones?name=home.example.net", 403,
                          R"({"success":false,"errors":[{"code":10000,"message":"Authentication error"}]})"}}
        << false << "code 10000 (the API token may not read the zone" << int(Ipv6Mode::No) << QString();
    QTest::newRow("Cloudflare: no record is made")
        << "https://api.cloudflare.com"
        << "example.net"
        << QList<Answer>{{"GET " + cf + "/zones?name=example.net", 200,
                          R"({"success":true,"result":[{"id":"z1","name":"example.net"}]})"},
                         {"GET " + cf + "/zones/z1/dns_records?type=A&name=example.net", 200, none}}
        << false << "has no A record for example.net" << int(Ipv6Mode::No) << QString();
    const QByteArray pb = "https://api.porkbun.com/api/json/v3";
    QTest::newRow("Porkbun: the domain from the account's list, the domain itself without a name")
        << "https://porkbun.com/api/json/v3"
        << "example.com"
        << QList<
               Answer>{{"POST " + pb + "/domain/listAll", 200,
                        R"({"status":"SUCCESS","domains":[{"domain":"other.example"},{"domain":"Example.com"}]})"},
                       {"POST " + pb + "/dns/retrieveByNameType/example.com/A", 200,
                        R"({"status":"SUCCESS","records":[{"id":"7","content":"198.51.100.4","ttl":"600"}]})"},
                       {"POST " + pb + "/dns/editByNameType/example.com/A", 200, R"({"status":"SUCCESS"})"}}
        << true << "" << int(Ipv6Mode::No) << QString();
    QTest::newRow("Porkbun: keys it does not know")
        << "https://api.porkbun.com"
        << "home.example.com"
        << QList<Answer>{{"POST " + pb + "/domain/listAll", 400,
                          R"j({"status":"ERROR","message":"Invalid API key. (002)"})j"}}
        << false << "Invalid API key (the API key or the secret key is wrong)" << int(Ipv6Mode::No)
        << QString();
    const QByteArray gandi = "https://api.gandi.net/v5/livedns/domains/";
    QTest::newRow("Gandi: the zone by probing, two values are not one record")
        << "https://api.gandi.net"
        << "home.example.net"
        << QList<Answer>{{"GET " + gandi + "home.example.net", 404, "{}"},
                         {"GET " + gandi + "example.net", 200, "{}"},
                         {"GET " + gandi + "example.net/records/home/A", 200,
                          R"({"rrset_values":["198.51.100.4","198.51.100.5"],"rrset_ttl":300})"}}
        << false << "has 2 A records" << int(Ipv6Mode::No) << QString();
    QTest::newRow("Gandi: an expired token")
        << "https://api.gandi.net"
        << "home.example.net" << QList<Answer>{{"GET " + gandi + "home.example.net", 401, R"({"code":401})"}}
        << false << "HTTP 401 (the personal access token is not valid, or has expired)" << int(Ipv6Mode::No)
        << QString();
    const QByteArray gd = "https://api.godaddy.com/v1/domains/";
    QTest::newRow("GoDaddy: the domain's own record changed")
        << "https://api.godaddy.com"
        << "example.net"
        << QList<Answer>{{"GET " + gd + "example.net", 200, R"({"domain":"example.net"})"},
                         {"GET " + gd + "example.net/records/A/%40", 200,
                          R"([{"data":"198.51.100.4","ttl":600}])"},
                         {"PUT " + gd + "example.net/records/A/%40", 200, ""}}
        << true << "" << int(Ipv6Mode::No) << QString();
    QTest::newRow("GoDaddy: an account that may not use the API")
        << "https://api.godaddy.com"
        << "example.net"
        << QList<Answer>{{"GET " + gd + "example.net", 403, R"({"code":"ACCESS_DENIED","message":"no"})"}}
        << false << "ten domains or more" << int(Ipv6Mode::No) << QString();
    addIpv6ApiRows();
}

void TestProviders::anApiChangesTheRecordOnlyWhenItHoldsAnotherAddress()
{
    QFETCH(QString, service);
    QFETCH(QString, host);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, accepted);
    QFETCH(QString, reason);
    QFETCH(int, mode);
    QFETCH(QString, ipv6Address);
    const auto ipv6 = Ipv6Mode(mode);
    const std::unique_ptr<ProviderExchange> exchange =
        exchangeFor({service, "pk1_key", "sk1_secret", host, ipv6 == Ipv6Mode::Only ? QString() : Address,
                     ipv6, ipv6Address});
    ProviderRequest request = exchange->first();
    for (qsizetype i = 0; i < answers.size(); ++i) {
        QCOMPARE(request.method + ' ' + request.url.toUtf8(), answers[i].expected);
        QVERIFY(request.keepBody);
        if (!request.body.isEmpty())
            QVERIFY2(!QJsonDocument::fromJson(request.body).isNull(), request.body.constData());
        // Only the change carries an address, and says so in its step, which names the record.
        const bool carriesIpv6 = !ipv6Address.isEmpty() && request.body.contains(ipv6Address.toUtf8());
        QCOMPARE(request.body.contains(Address.toUtf8()) || carriesIpv6,
                 request.purpose.startsWith("changing"));
        QCOMPARE(carriesIpv6, request.purpose.startsWith("changing the AAAA"));
        if (request.url.contains("AAAA"))
            QVERIFY2(request.purpose.contains("AAAA record"), qPrintable(request.purpose));
        const auto next = exchange->next({answers[i].status, {}, {}, answers[i].body}, Redactor());
        if (const auto* judgement = std::get_if<AnswerJudgement>(&next)) {
            QCOMPARE(i, answers.size() - 1);
            QCOMPARE(judgement->outcome == UpdateOutcome::Accepted, accepted);
            QVERIFY2(judgement->reason.contains(reason), qPrintable(judgement->reason));
            return;
        }
        request = std::get<ProviderRequest>(next);
    }
    QFAIL(qPrintable("one more request: " + request.url));
}

void TestProviders::noSecretOfAServiceUrlIsShown_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("secret");
    QTest::newRow("a token in the path") << "https://sync.afraid.org/u/Zq81xTok/"
                                         << ""
                                         << "Zq81xTok";
    QTest::newRow("a token as the bare query") << "https://freedns.afraid.org/dynamic/update.php?dGVzdA%3D%3D"
                                               << ""
                                               << "dGVzdA==";
    QTest::newRow("a token typed as a parameter of its own")
        << "https://www.duckdns.org/update?token=0d9b-feed"
        << ""
        << "0d9b-feed";
    QTest::newRow("an API key typed as User Name") << "https://api.porkbun.com"
                                                   << "pk1_4f3e"
                                                   << "pk1_4f3e";
}

void TestProviders::noSecretOfAServiceUrlIsShown()
{
    QFETCH(QString, service);
    QFETCH(QString, user);
    QFETCH(QString, secret);
    const Redactor shown = redactorFor({"", "192.0.2.1", service, user, "", "home.example.net"});
    const ProviderRequest request = exchangeFor({service, user, "", "home.example.net", Address})->first();
    for (const QString& outside : {shown.url(request.url), shown.url(service), shown("echo: " + secret)})
        QVERIFY2(!outside.contains(secret) && !outside.contains(QUrl::toPercentEncoding(secret)),
                 qPrintable(outside));
    if (request.method == "GET")
        QVERIFY2(shown.url(request.url).contains("203.0.113.7"), qPrintable(shown.url(request.url)));
}

void TestProviders::ipv6IsRefusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<int>("mode"); // Ipv6Mode
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("words"); // a part of them; empty: not refused
    addIpv6RefusalRows();
}

void TestProviders::ipv6IsRefusedBeforeAnythingIsSent()
{
    QFETCH(int, mode);
    QFETCH(QString, service);
    QFETCH(QString, words);
    const std::optional<QString> refusal = ipv6Refusal(Ipv6Mode(mode), service);
    QCOMPARE(refusal.has_value(), !words.isEmpty());
    if (refusal)
        QVERIFY2(refusal->contains(words), qPrintable(*refusal));
}

void TestProviders::bothRequestsAreOneVerdict_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<int>("firstStatus");
    QTest::addColumn<QString>("firstText");
    QTest::addColumn<int>("secondStatus"); // 0: not sent
    QTest::addColumn<QString>("secondText");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("reason"); // the start of it
    const char* he = "https://dyn.dns.he.net/nic/update";
    const char* ovh = "https://www.ovh.com/nic/update";
    QTest::newRow("both accepted") << he << 200 << "good 203.0.113.7" << 200 << "good 2001:db8:1::10" << true
                                   << "";
    QTest::newRow("the IPv4 address refused, the IPv6 address not sent")
        << he << 401 << "badauth" << 0 << "" << false
        << "The IPv4 address was not accepted, so the IPv6 address was not sent and the AAAA record is as it "
           "was. The provider refused the update: badauth";
    QTest::newRow("the IPv6 address refused after the A record took its address")
        << ovh << 200 << "nochg 203.0.113.7" << 200 << "badrequest" << false
        << "The A record now holds 203.0.113.7, but the IPv6 address was not accepted. The provider refused "
           "the update: badrequest";
    QTest::newRow("the IPv6 address's answer never came")
        << ovh << 200 << "good 203.0.113.7" << -1 << "" << false
        << "The A record now holds 203.0.113.7, but the IPv6 address was not accepted. The provider's "
           "answer did not arrive.";
}

// A provider that takes one family a request: the verdict is accepted only
// when both are, and a refusal says which address and what became of the other.
void TestProviders::bothRequestsAreOneVerdict()
{
    QFETCH(QString, service);
    QFETCH(int, firstStatus);
    QFETCH(QString, firstText);
    QFETCH(int, secondStatus);
    QFETCH(QString, secondText);
    QFETCH(bool, accepted);
    QFETCH(QString, reason);
    const std::unique_ptr<ProviderExchange> exchange =
        exchangeFor({service, "u", "p", "home.example.net", Address, Ipv6Mode::Yes, Ipv6Address});
    QVERIFY(exchange->first().url.contains("myip=203.0.113.7"));
    auto next = exchange->next({firstStatus, {}, firstText}, Redactor());
    if (secondStatus != 0) {
        const auto* second = std::get_if<ProviderRequest>(&next);
        QVERIFY(second);
        QVERIFY(second->url.contains("myip=2001%3Adb8%3A1%3A%3A10"));
        next = secondStatus < 0
                   ? exchange->next({0, QStringLiteral("The connection was refused."), {}}, Redactor())
                   : exchange->next({secondStatus, {}, secondText}, Redactor());
    }
    const auto* verdict = std::get_if<AnswerJudgement>(&next);
    QVERIFY(verdict);
    QCOMPARE(verdict->outcome == UpdateOutcome::Accepted, accepted);
    QVERIFY2(reason.isEmpty() || verdict->reason.startsWith(reason), qPrintable(verdict->reason));
}

QTEST_GUILESS_MAIN(TestProviders)
#include "tst_providers.moc"
