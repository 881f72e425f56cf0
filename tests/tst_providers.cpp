// The providers of the table without a network: what each is sent, how its
// answers are read, the requests of the JSON APIs in their order, and the
// secrets each Service URL holds kept out of what is shown.
#include "check/checksettings.h"
#include "check/fieldproblem.h"
#include "check/ipv6support.h"
#include "check/providerexchange.h"
#include "check/providers.h"

#include <QJsonDocument>
#include <QTest>

using namespace parlowen;

namespace {
const QString Address = QStringLiteral("203.0.113.7");

struct Answer {
    QByteArray expected; // "METHOD url" of the request this answers
    int status;
    QByteArray body;
};
} // namespace

Q_DECLARE_METATYPE(QList<Answer>)

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
    void ipv6GoesWhereTheProviderReadsItOrIsRefused_data();
    void ipv6GoesWhereTheProviderReadsItOrIsRefused();
};

void TestProviders::theAddressGoesWhereTheProviderReadsIt_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("signIn"); // ProviderRequest::SignIn
    const auto row = [](const char* name, const QString& service, const QString& user,
                        const QString& password, const QString& host, const QString& url,
                        ProviderRequest::SignIn signIn) {
        QTest::newRow(name) << service << user << password << host << url << int(signIn);
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
}

void TestProviders::theAddressGoesWhereTheProviderReadsIt()
{
    QFETCH(QString, service);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(QString, url);
    QFETCH(int, signIn);
    const ProviderRequest request = exchangeFor({service, user, password, host, Address})->first();
    QCOMPARE(request.url, url);
    QCOMPARE(int(request.signIn), signIn);
    QCOMPARE(request.method, QByteArray("GET"));
    if (request.signIn == ProviderRequest::SignIn::WithRequest && !user.isEmpty())
        QCOMPARE(request.user + ':' + request.password, user + ':' + password);
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
        << true << "";
    QTest::newRow("Cloudflare: a zone typed by its id, the address unchanged, nothing sent")
        << "https://api.cloudflare.com/client/v4/zones/z9"
        << "home.example.net"
        << QList<Answer>{{"GET " + cf + "/zones/z9/dns_records?type=A&name=home.example.net", 200, same}}
        << true << "";
    QTest::newRow("Cloudflare: a token without the zone's permission")
        << "https://api.cloudflare.com"
        << "home.example.net"
        << QList<Answer>{{"GET " + cf + "/zones?name=home.example.net", 403,
                          R"({"success":false,"errors":[{"code":10000,"message":"Authentication error"}]})"}}
        << false << "code 10000 (the API token may not read the zone";
    QTest::newRow("Cloudflare: no record is made")
        << "https://api.cloudflare.com"
        << "example.net"
        << QList<Answer>{{"GET " + cf + "/zones?name=example.net", 200,
                          R"({"success":true,"result":[{"id":"z1","name":"example.net"}]})"},
                         {"GET " + cf + "/zones/z1/dns_records?type=A&name=example.net", 200, none}}
        << false << "has no A record for example.net";
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
        << true << "";
    QTest::newRow("Porkbun: keys it does not know")
        << "https://api.porkbun.com"
        << "home.example.com"
        << QList<Answer>{{"POST " + pb + "/domain/listAll", 400,
                          R"j({"status":"ERROR","message":"Invalid API key. (002)"})j"}}
        << false << "Invalid API key (the API key or the secret key is wrong)";
    const QByteArray gandi = "https://api.gandi.net/v5/livedns/domains/";
    QTest::newRow("Gandi: the zone by probing, two values are not one record")
        << "https://api.gandi.net"
        << "home.example.net"
        << QList<Answer>{{"GET " + gandi + "home.example.net", 404, "{}"},
                         {"GET " + gandi + "example.net", 200, "{}"},
                         {"GET " + gandi + "example.net/records/home/A", 200,
                          R"({"rrset_values":["198.51.100.4","198.51.100.5"],"rrset_ttl":300})"}}
        << false << "has 2 A records";
    QTest::newRow("Gandi: an expired token")
        << "https://api.gandi.net"
        << "home.example.net" << QList<Answer>{{"GET " + gandi + "home.example.net", 401, R"({"code":401})"}}
        << false << "HTTP 401 (the personal access token is not valid, or has expired)";
    const QByteArray gd = "https://api.godaddy.com/v1/domains/";
    QTest::newRow("GoDaddy: the domain's own record changed")
        << "https://api.godaddy.com"
        << "example.net"
        << QList<Answer>{{"GET " + gd + "example.net", 200, R"({"domain":"example.net"})"},
                         {"GET " + gd + "example.net/records/A/%40", 200,
                          R"([{"data":"198.51.100.4","ttl":600}])"},
                         {"PUT " + gd + "example.net/records/A/%40", 200, ""}}
        << true << "";
    QTest::newRow("GoDaddy: an account that may not use the API")
        << "https://api.godaddy.com"
        << "example.net"
        << QList<Answer>{{"GET " + gd + "example.net", 403, R"({"code":"ACCESS_DENIED","message":"no"})"}}
        << false << "ten domains or more";
}

void TestProviders::anApiChangesTheRecordOnlyWhenItHoldsAnotherAddress()
{
    QFETCH(QString, service);
    QFETCH(QString, host);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, accepted);
    QFETCH(QString, reason);
    const std::unique_ptr<ProviderExchange> exchange =
        exchangeFor({service, "pk1_key", "sk1_secret", host, Address});
    ProviderRequest request = exchange->first();
    for (qsizetype i = 0; i < answers.size(); ++i) {
        QCOMPARE(request.method + ' ' + request.url.toUtf8(), answers[i].expected);
        QVERIFY(request.keepBody);
        if (!request.body.isEmpty())
            QVERIFY2(!QJsonDocument::fromJson(request.body).isNull(), request.body.constData());
        // Only the change carries the address, and says so in its step.
        QCOMPARE(request.body.contains(Address.toUtf8()), request.purpose.startsWith("changing"));
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

// What the simulated providers cannot see: refusals before anything is sent, bytes
// they read decoded, an API's order, and the words of a verdict over two requests.
void TestProviders::ipv6GoesWhereTheProviderReadsItOrIsRefused_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<Ipv6Mode>("mode");
    QTest::addColumn<QList<Answer>>("answers"); // none: refused before anything is sent
    QTest::addColumn<QString>("reason");        // the start of it; empty: accepted
    const auto row = [](const char* name, const QString& service, Ipv6Mode mode, const QList<Answer>& answers,
                        const QString& reason = {}) {
        QTest::newRow(name) << service << mode << answers << reason;
    };
    using enum Ipv6Mode;
    const QByteArray unknown = "http://ddns.example.net/";
    const QByteArray query = "?hostname=home.example.net&myip=203.0.113.7";
    row("a Service URL of no row", unknown, Only, {},
        "Parlowen knows how to send an IPv6 address only to the providers of its table");
    row("a provider without an AAAA form", "https://updates.dnsomatic.com/nic/update", Yes, {},
        "DNS-O-Matic keeps no AAAA record through this update URL. Set IPv6=no");
    row("an update URL a record cannot carry both", "https://sync.afraid.org/u/T/", Yes, {},
        "FreeDNS (v2) gives each record an update URL of its own");
    row("IPv6=no is never refused", unknown, No,
        {{"GET " + unknown + "?username=u&password=p&" + query.mid(1), 200, "good"}});
    const QByteArray v6 = "2001%3Adb8%3A1%3A%3A10";
    const QByteArray dyn = "https://members.dyndns.org/v3/update";
    row("Dyn: both in one myip, the comma as it is", dyn, Yes,
        {{"GET " + dyn + query + ',' + v6, 200, "good"}});
    const QByteArray ovhUrl = "https://www.ovh.com/nic/update";
    const QByteArray ovh = "GET " + ovhUrl + "?system=dyndns&hostname=home.example.net&myip=";
    const QString landed = "The A record now holds 203.0.113.7, but the IPv6 address was not accepted.";
    row("the IPv4 address refused, the IPv6 address never sent", ovhUrl, Yes,
        {{ovh + "203.0.113.7", 401, "badauth"}},
        "The IPv4 address was not accepted, so the IPv6 address was not sent");
    row("the IPv6 address refused after the A record took its address", ovhUrl, Yes,
        {{ovh + "203.0.113.7", 200, "nochg 203.0.113.7"}, {ovh + v6, 200, "badrequest"}},
        landed + " The provider refused the update: badrequest");
    const QByteArray cf = "https://api.cloudflare.com/client/v4";
    const QByteArray records = "GET " + cf + "/zones/z1/dns_records?type=";
    const auto found = [](const char* id, const char* content) {
        return R"({"success":true,"result":[{"id":")" + QByteArray(id) + R"(","content":")" + content +
               R"("}]})";
    };
    const QByteArray none = R"({"success":true,"errors":[],"result":[]})";
    row("Cloudflare: the zone found once, then the A record and the AAAA record", cf, Yes,
        {{"GET " + cf + "/zones?name=home.example.net", 200, none},
         {"GET " + cf + "/zones?name=example.net", 200, found("z1", "example.net")},
         {records + "A&name=home.example.net", 200, found("r1", "198.51.100.4")},
         {"PATCH " + cf + "/zones/z1/dns_records/r1", 200, none},
         {records + "AAAA&name=home.example.net", 200, found("r6", "2001:db8::4")},
         {"PATCH " + cf + "/zones/z1/dns_records/r6", 200, none}});
    row("Cloudflare: no AAAA record is made", cf + "/zones/z1", Yes,
        {{records + "A&name=home.example.net", 200, found("r1", "203.0.113.7")},
         {records + "AAAA&name=home.example.net", 200, none}},
        landed + " The zone has no AAAA record for home.example.net");
    row("Cloudflare: an AAAA record spelled otherwise holds it already", cf + "/zones/z1", Only,
        {{records + "AAAA&name=home.example.net", 200, found("r6", "2001:DB8:1:0::10")}});
}

void TestProviders::ipv6GoesWhereTheProviderReadsItOrIsRefused()
{
    QFETCH(QString, service);
    QFETCH(Ipv6Mode, mode);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, reason);
    const std::optional<QString> refusal = ipv6Refusal(mode, service);
    QVERIFY2(refusal.has_value() == answers.isEmpty() && (!refusal || refusal->startsWith(reason)),
             qPrintable(refusal.value_or(QStringLiteral("not refused"))));
    if (refusal)
        return;
    const std::unique_ptr<ProviderExchange> exchange =
        exchangeFor({service, "u", "p", "home.example.net", mode == Ipv6Mode::Only ? QString() : Address,
                     mode, QStringLiteral("2001:db8:1::10")});
    ProviderRequest request = exchange->first();
    for (const Answer& answer : answers) {
        QCOMPARE(request.method + ' ' + request.url.toUtf8(), answer.expected);
        const auto next = exchange->next({answer.status, {}, answer.body, answer.body}, Redactor());
        if (const auto* verdict = std::get_if<AnswerJudgement>(&next)) {
            QCOMPARE(&answer, &answers.last());
            QCOMPARE(verdict->outcome == UpdateOutcome::Accepted, reason.isEmpty());
            QVERIFY2(verdict->reason.startsWith(reason), qPrintable(verdict->reason));
            return;
        }
        request = std::get<ProviderRequest>(next);
    }
    QFAIL("a request more than the answers");
}

QTEST_GUILESS_MAIN(TestProviders)
#include "tst_providers.moc"
