// The IPv6 rows of tst_providers, one provider after the other.
#include "ipv6requests.h"

#include "check/ipv6mode.h"
#include "check/providerrequest.h"

#include <QList>
#include <QTest>

using namespace parlowen;

namespace {

const QString V6 = QStringLiteral("2001%3Adb8%3A1%3A%3A10");

struct Typed {
    QString service;
    QString user;
    QString password;
    QString host;
    ProviderRequest::SignIn signIn;
};

void newRow(const char* name, const char* what, const Typed& typed, Ipv6Mode mode, const QString& address,
            const QStringList& urls)
{
    QTest::addRow("%s, %s", name, what)
        << typed.service << typed.user << typed.password << typed.host << urls.value(0) << int(typed.signIn)
        << int(mode) << address << urls.value(1);
}

// The requests with IPv6=yes (one, or the IPv4 address's and the IPv6
// address's), with IPv6=only, and with IPv6=yes but no address found, each
// written after the Service URL's own address.
void rows(const char* name, const Typed& typed, const QString& base, const QStringList& yes,
          const QString& only, const QString& withoutIpv6)
{
    QStringList yesUrls;
    for (const QString& query : yes)
        yesUrls << base + query;
    if (!yesUrls.isEmpty())
        newRow(name, "IPv6=yes", typed, Ipv6Mode::Yes, Ipv6Address, yesUrls);
    newRow(name, "IPv6=only", typed, Ipv6Mode::Only, Ipv6Address, {base + only});
    if (!withoutIpv6.isEmpty())
        newRow(name, "IPv6=yes without an IPv6 address", typed, Ipv6Mode::Yes, {}, {base + withoutIpv6});
}

} // namespace

void addIpv6RequestRows()
{
    using enum ProviderRequest::SignIn;
    const QString v4 = QStringLiteral("203.0.113.7");
    const QString h = QStringLiteral("?hostname=home.example.net&myip=");
    rows("No-IP: myipv6 beside myip",
         {"https://dynupdate.no-ip.com/nic/update", "me", "pw", "home.example.net", WithRequest},
         "https://dynupdate.no-ip.com/nic/update", {h + v4 + "&myipv6=" + V6},
         "?hostname=home.example.net&myipv6=" + V6, h + v4);
    rows("Dyn: both in myip",
         {"https://members.dyndns.org/v3/update", "me", "key", "home.example.net", WithRequest},
         "https://members.dyndns.org/v3/update", {h + v4 + ',' + V6}, h + V6, h + v4);
    rows("OVH: one family a request",
         {"https://dns.eu.ovhapis.com/nic/update", "example.com-home", "pw", "home.example.net", WithRequest},
         "https://dns.eu.ovhapis.com/nic/update?system=dyndns&hostname=home.example.net&myip=", {v4, V6}, V6,
         v4);
    rows("Strato: both in myip",
         {"https://dyndns.strato.com/nic/update", "example.net", "pw", "home.example.net", WithRequest},
         "https://dyndns.strato.com/nic/update", {h + v4 + ',' + V6}, h + V6, h + v4);
    rows("all-inkl: myip6 beside myip",
         {"https://dyndns.kasserver.com/", "dyn01", "pw", "home.example.net", WithRequest},
         "https://dyndns.kasserver.com/", {"?myip=" + v4 + "&myip6=" + V6}, "?myip6=" + V6, "?myip=" + v4);
    rows("dynv6: ipv6 beside ipv4, the A record kept without ipv4",
         {"https://dynv6.com/api/update", "", "tok", "home.dynv6.net", None},
         "https://dynv6.com/api/update?token=tok&hostname=home.dynv6.net&", {"ipv4=" + v4 + "&ipv6=" + V6},
         "ipv6=" + V6, "ipv4=" + v4);
    rows("Dynu: myipv6 beside myip, myip=no for IPv6 alone",
         {"https://api.dynu.com/nic/update", "me", "pw", "home.example.net", WithRequest},
         "https://api.dynu.com/nic/update", {h + v4 + "&myipv6=" + V6},
         "?hostname=home.example.net&myip=no&myipv6=" + V6, h + v4);
    rows("deSEC: the IPv6 address in place of preserve, never beside it",
         {"https://update.dedyn.io/", "example.dedyn.io", "token", "example.dedyn.io", WithRequest},
         "https://update.dedyn.io/?", {"hostname=example.dedyn.io&myipv4=" + v4 + "&myipv6=" + V6},
         "hostname=example.dedyn.io&myipv4=preserve&myipv6=" + V6,
         "myipv6=preserve&hostname=example.dedyn.io&myipv4=" + v4);
    rows("Hurricane Electric: one family a request",
         {"https://dyn.dns.he.net/nic/update", "ignored", "key", "home.example.net", None},
         "https://dyn.dns.he.net/nic/update?password=key&hostname=home.example.net&myip=", {v4, V6}, V6, v4);
    rows("IPv64: ip6 beside myip",
         {"https://ipv64.net/nic/update", "", "tok", "home.example.net", WithRequest},
         "https://ipv64.net/nic/update", {h + v4 + "&ip6=" + V6}, "?hostname=home.example.net&ip6=" + V6,
         h + v4);
    rows("Spdyn: both in myip",
         {"https://update.spdyn.de/nic/update", "me", "pw", "home.example.net", WithRequest},
         "https://update.spdyn.de/nic/update", {h + v4 + ',' + V6}, h + V6, h + v4);
    rows("YDNS: one family a request",
         {"https://ydns.io/api/v1/update/", "me", "pw", "home.ydns.io", WithRequest},
         "https://ydns.io/api/v1/update/?host=home.ydns.io&ip=", {v4, V6}, V6, v4);
    rows("YDNS's update URL: one family a request", {"https://ydns.io/hosts/update/Tok", "", "", "", None},
         "https://ydns.io/hosts/update/Tok?ip=", {v4, V6}, V6, v4);
    rows("DuckDNS: ipv6 beside ip, IPv6 alone in ip",
         {"https://www.duckdns.org/update", "", "tok", "myhome.duckdns.org", None},
         "https://www.duckdns.org/update?token=tok&domains=myhome&ip=", {v4 + "&ipv6=" + V6}, V6, v4);
    // Its records have an update URL each: IPv6 alone, with the AAAA record's.
    const QStringList none;
    rows("FreeDNS: the AAAA record's own URL",
         {"https://freedns.afraid.org/dynamic/update.php?VG9r%3D", "", "", "", None},
         "https://freedns.afraid.org/dynamic/update.php?VG9r%3D&address=", none, V6, {});
    rows("FreeDNS v2: the AAAA record's own URL", {"https://sync.afraid.org/u/Tok3n/", "", "", "", None},
         "https://sync.afraid.org/u/Tok3n/?address=", none, V6, {});
}

void addIpv6ApiRows()
{
    const auto row = [](const char* name, const char* service, Ipv6Mode mode, const QList<Answer>& answers,
                        bool accepted, const char* reason = "") {
        QTest::newRow(name) << QString::fromLatin1(service) << QStringLiteral("home.example.net") << answers
                            << accepted << QString::fromLatin1(reason) << int(mode) << Ipv6Address;
    };
    const QByteArray cf = "https://api.cloudflare.com/client/v4";
    const QByteArray none = R"({"success":true,"errors":[],"result":[]})";
    const QByteArray zone = R"({"success":true,"result":[{"id":"z1","name":"example.net"}]})";
    const QByteArray a = R"({"success":true,"result":[{"id":"r1","content":"198.51.100.4"}]})";
    const QByteArray aaaa = R"({"success":true,"result":[{"id":"r6","content":"2001:db8::4"}]})";
    const QByteArray ok = R"({"success":true,"result":{}})";
    const QByteArray records = cf + "/zones/z1/dns_records";
    row("Cloudflare, IPv6=yes: the zone found once, then the A record and the AAAA record",
        "https://api.cloudflare.com", Ipv6Mode::Yes,
        {{"GET " + cf + "/zones?name=home.example.net", 200, none},
         {"GET " + cf + "/zones?name=example.net", 200, zone},
         {"GET " + records + "?type=A&name=home.example.net", 200, a},
         {"PATCH " + records + "/r1", 200, ok},
         {"GET " + records + "?type=AAAA&name=home.example.net", 200, aaaa},
         {"PATCH " + records + "/r6", 200, ok}},
        true);
    row("Cloudflare, IPv6=only: the AAAA record alone", "https://api.cloudflare.com/client/v4/zones/z1",
        Ipv6Mode::Only,
        {{"GET " + records + "?type=AAAA&name=home.example.net", 200, aaaa},
         {"PATCH " + records + "/r6", 200, ok}},
        true);
    row("Cloudflare, IPv6=yes: no AAAA record is made, the A record already right",
        "https://api.cloudflare.com/client/v4/zones/z1", Ipv6Mode::Yes,
        {{"GET " + records + "?type=A&name=home.example.net", 200,
          R"({"success":true,"result":[{"id":"r1","content":"203.0.113.7"}]})"},
         {"GET " + records + "?type=AAAA&name=home.example.net", 200, none}},
        false,
        "The A record now holds 203.0.113.7, but the IPv6 address was not accepted. The zone has no AAAA "
        "record for home.example.net");
    const QByteArray pb = "https://api.porkbun.com/api/json/v3";
    const QByteArray success = R"({"status":"SUCCESS"})";
    row("Porkbun, IPv6=yes: both records by name and type", "https://api.porkbun.com", Ipv6Mode::Yes,
        {{"POST " + pb + "/domain/listAll", 200,
          R"({"status":"SUCCESS","domains":[{"domain":"example.net"}]})"},
         {"POST " + pb + "/dns/retrieveByNameType/example.net/A/home", 200,
          R"({"status":"SUCCESS","records":[{"id":"7","content":"198.51.100.4","ttl":"600"}]})"},
         {"POST " + pb + "/dns/editByNameType/example.net/A/home", 200, success},
         {"POST " + pb + "/dns/retrieveByNameType/example.net/AAAA/home", 200,
          R"({"status":"SUCCESS","records":[{"id":"8","content":"2001:db8::4","ttl":"600"}]})"},
         {"POST " + pb + "/dns/editByNameType/example.net/AAAA/home", 200, success}},
        true);
    const QByteArray gandi = "https://api.gandi.net/v5/livedns/domains/";
    row("Gandi, IPv6=only: the AAAA record set of the zone probed for", "https://api.gandi.net",
        Ipv6Mode::Only,
        {{"GET " + gandi + "home.example.net", 404, "{}"},
         {"GET " + gandi + "example.net", 200, "{}"},
         {"GET " + gandi + "example.net/records/home/AAAA", 200, R"({"rrset_values":["2001:db8::4"]})"},
         {"PUT " + gandi + "example.net/records/home/AAAA", 201, "{}"}},
        true);
    row("Gandi, IPv6=yes: the AAAA record refused after the A record changed", "https://api.gandi.net",
        Ipv6Mode::Yes,
        {{"GET " + gandi + "home.example.net", 200, "{}"},
         {"GET " + gandi + "home.example.net/records/%40/A", 200, R"({"rrset_values":["198.51.100.4"]})"},
         {"PUT " + gandi + "home.example.net/records/%40/A", 201, "{}"},
         {"GET " + gandi + "home.example.net/records/%40/AAAA", 200, R"({"rrset_values":["2001:db8::4"]})"},
         {"PUT " + gandi + "home.example.net/records/%40/AAAA", 403, "{}"}},
        false,
        "The A record now holds 203.0.113.7, but the IPv6 address was not accepted. The provider refused "
        "the update: HTTP 403");
    const QByteArray gd = "https://api.godaddy.com/v1/domains/";
    row("GoDaddy, IPv6=yes: an AAAA record spelled otherwise holds the address already",
        "https://api.godaddy.com", Ipv6Mode::Yes,
        {{"GET " + gd + "home.example.net", 422, "{}"},
         {"GET " + gd + "example.net", 200, "{}"},
         {"GET " + gd + "example.net/records/A/home", 200, R"([{"data":"198.51.100.4","ttl":600}])"},
         {"PUT " + gd + "example.net/records/A/home", 200, ""},
         {"GET " + gd + "example.net/records/AAAA/home", 200, R"([{"data":"2001:DB8:1:0::10","ttl":600}])"}},
        true);
    row("GoDaddy, IPv6=yes: the A record refused, the AAAA record left", "https://api.godaddy.com/v1",
        Ipv6Mode::Yes,
        {{"GET " + gd + "home.example.net", 422, "{}"},
         {"GET " + gd + "example.net", 200, "{}"},
         {"GET " + gd + "example.net/records/A/home", 200, R"([{"data":"198.51.100.4","ttl":600}])"},
         {"PUT " + gd + "example.net/records/A/home", 401, R"({"code":"UNABLE_TO_AUTHENTICATE"})"}},
        false, "The IPv4 address was not accepted, so the IPv6 address was not sent");
}

void addIpv6RefusalRows()
{
    const auto row = [](const char* name, Ipv6Mode mode, const char* service, const QString& words = {}) {
        QTest::newRow(name) << int(mode) << QString::fromLatin1(service) << words;
    };
    const auto noAaaa = [](const char* provider) {
        return QLatin1String(provider) + " keeps no AAAA record through this update URL. Set IPv6=no";
    };
    using enum Ipv6Mode;
    const char* unknown = "http://ddns.example.net/dyn.asp";
    const QString notInTable =
        QStringLiteral("Parlowen knows how to send an IPv6 address only to the providers of its table; "
                       "ddns.example.net is not one of them. Set IPv6=no to send the router's IPv4 "
                       "address alone");
    row("a Service URL of no row, IPv6=yes", Yes, unknown, notInTable);
    row("a Service URL of no row, IPv6=only", Only, unknown, notInTable);
    row("a Service URL of no row, IPv6=no", No, unknown);
    row("DNS-O-Matic takes no IPv6 address", Yes, "https://updates.dnsomatic.com/nic/update",
        noAaaa("DNS-O-Matic"));
    row("dynv6's dyndns2 door takes no IPv6 address", Only, "https://dynv6.com/nic/update",
        noAaaa("dynv6 (dyndns2)"));
    row("selfHOST takes no IPv6 address", Yes, "https://carol.selfhost.de/nic/update", noAaaa("selfHOST"));
    row("ChangeIP takes no IPv6 address", Yes, "https://nic.changeip.com/nic/update", noAaaa("ChangeIP"));
    row("Namecheap takes no IPv6 address", Only, "https://dynamicdns.park-your-domain.com/update",
        noAaaa("Namecheap"));
    row("FreeDNS cannot take both through one URL", Yes, "https://freedns.afraid.org/dynamic/update.php?T",
        QStringLiteral(
            "FreeDNS gives each record an update URL of its own, so one Service URL cannot carry both "
            "addresses. Set IPv6=only with the update URL of the name's AAAA record"));
    row("FreeDNS v2 cannot either", Yes, "https://sync.afraid.org/u/T/",
        QStringLiteral("FreeDNS (v2) gives each record"));
    row("FreeDNS takes IPv6 alone", Only, "https://sync.afraid.org/u/T/");
    row("a closed provider's own words come first", Yes, "https://domains.google.com/nic/update");
    row("a blank Service URL's own words come first", Only, "  ");
    row("No-IP takes it", Yes, "https://dynupdate.no-ip.com/nic/update");
    row("Cloudflare takes it alone", Only, "https://api.cloudflare.com/client/v4");
    row("IPv6=no is never refused", No, "https://updates.dnsomatic.com/nic/update");
}
