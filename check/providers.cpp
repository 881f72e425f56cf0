// The providers Parlowen knows, one row each.
#include "check/providers.h"

#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <array>

namespace parlowen {

namespace {

using enum UpdateProtocol;
using enum AccountIn;
using enum HostForm;
using enum AnswerDialect;
using enum Ipv6Form;

// From each provider's own description of its update protocol. Basic goes
// with the first request: several of them answer a missing account with
// "badauth" and status 200, never with a challenge. Where a row's IPv6 form
// comes from is said above it; a provider that says nothing of IPv6 keeps
// Ipv6Form::None, so that no address goes where it may be misread.
constexpr std::array<Provider, 26> Table{{
    // noip.com/integrate/request: A and AAAA "individually or dual-stacked",
    // myipv6 beside myip; myipv6 alone updates the AAAA record alone.
    {.name = u"No-IP",
     .hosts = u"dynupdate.no-ip.com dynupdate6.no-ip.com",
     .ipv6Form = Parameter,
     .ipv6Parameter = u"myipv6"},
    // Dyn's update API takes one address of each family in myip, comma-separated.
    {.name = u"Dyn", .hosts = u"members.dyndns.org", .ipv6Form = BothInAddress},
    // Its API follows Dyn's IPv4 update alone.
    {.name = u"DNS-O-Matic",
     .hosts = u"updates.dnsomatic.com",
     .fixedParameters = u"wildcard=NOCHG&mx=NOCHG&backmx=NOCHG"},
    // DynHost takes an IPv6 address in myip since OVH closed ovh/manager#3919,
    // one address a request.
    {.name = u"OVH DynHost",
     .hosts = u"dns.eu.ovhapis.com www.ovh.com",
     .fixedParameters = u"system=dyndns",
     .ipv6Form = SecondRequest},
    // Strato: both addresses in myip, "IPv4,IPv6".
    {.name = u"Strato", .hosts = u"dyndns.strato.com", .ipv6Form = BothInAddress},
    // The DDNS user stands for one host name; all-inkl reads IPv6 from myip6.
    {.name = u"all-inkl",
     .hosts = u"dyndns.kasserver.com",
     .hostForm = NotSent,
     .ipv6Form = Parameter,
     .ipv6Parameter = u"myip6"},
    // dynv6.com/docs/apis: ipv6 beside ipv4, either kept when empty or unset.
    {.name = u"dynv6",
     .hosts = u"dynv6.com ipv4.dynv6.com",
     .path = u"/api/update",
     .account = Query,
     .passwordParameter = u"token",
     .addressParameter = u"ipv4",
     .dialect = Dynv6,
     .ipv6Form = Parameter,
     .ipv6Parameter = u"ipv6"},
    // dynv6.com/docs/apis: its dyndns2 door "can only be used to update the
    // IPv4 address of a zone".
    {.name = u"dynv6 (dyndns2)", .hosts = u"dynv6.com", .path = u"/nic/update"},
    // Dynu's IP update protocol: myipv6 beside myip; myip=no leaves the A
    // record as it is, where an absent myip means the source address.
    {.name = u"Dynu",
     .hosts = u"api.dynu.com",
     .ipv6Form = Parameter,
     .ipv6Parameter = u"myipv6",
     .keepIpv4 = u"myip=no"},
    // desec.readthedocs.io, dyndns/update-api: a family not named takes the
    // connection's address or loses its record; "preserve" keeps it.
    {.name = u"deSEC",
     .hosts = u"update.dedyn.io update4.dedyn.io",
     .addressParameter = u"myipv4",
     .ipv6Form = Parameter,
     .ipv6Parameter = u"myipv6",
     .keepIpv4 = u"myipv4=preserve",
     .keepIpv6 = u"myipv6=preserve"},
    // Its Basic sign-in has been reported broken; the key as a parameter works.
    // dns.he.net: each record is updated by a call of its own, myip of
    // either family.
    {.name = u"Hurricane Electric",
     .hosts = u"dyn.dns.he.net",
     .account = Query,
     .passwordParameter = u"password",
     .ipv6Form = SecondRequest},
    // ipv64.net's update API: ip6 beside ip (myip), either alone updating its record alone.
    {.name = u"IPv64", .hosts = u"ipv64.net ipv4.ipv64.net", .ipv6Form = Parameter, .ipv6Parameter = u"ip6"},
    // Spdyn's hosts of type A-AAAA take both in myip, comma-separated.
    {.name = u"Spdyn", .hosts = u"update.spdyn.de", .ipv6Form = BothInAddress},
    // Its DynDNS update documents IPv4 addresses alone.
    {.name = u"selfHOST", .hosts = u"carol.selfhost.de", .dialect = SelfHost},
    // ydns.io/api: ip= of either family, one a request.
    {.name = u"YDNS",
     .hosts = u"ydns.io",
     .path = u"/api/",
     .hostParameter = u"host",
     .addressParameter = u"ip",
     .ipv6Form = SecondRequest},
    {.name = u"YDNS (update URL)",
     .hosts = u"ydns.io",
     .path = u"/hosts/update/",
     .account = UrlToken,
     .hostForm = NotSent,
     .addressParameter = u"ip",
     .ipv6Form = SecondRequest},
    // The bare host answers with a redirect, and then with "KO".
    {.name = u"DuckDNS",
     .hosts = u"www.duckdns.org duckdns.org",
     .requestHost = u"www.duckdns.org",
     .account = Query,
     .passwordParameter = u"token",
     .hostForm = DuckDnsName,
     .hostParameter = u"domains",
     .addressParameter = u"ip",
     .dialect = DuckDns,
     // DuckDNS's HTTP API page: ipv6 beside ip; ip takes an address of either
     // family, so IPv6 alone goes there.
     .ipv6Form = Parameter,
     .ipv6Parameter = u"ipv6",
     .ipv6AloneParameter = u"ip"},
    // freedns.afraid.org/dynamic: an update URL for each record, the AAAA
    // record's own taking its IPv6 address.
    {.name = u"FreeDNS",
     .hosts = u"freedns.afraid.org",
     .path = u"/dynamic/update.php",
     .account = UrlToken,
     .hostForm = NotSent,
     .addressParameter = u"address",
     .dialect = FreeDns,
     .ipv6Form = OwnUrl},
    {.name = u"FreeDNS (v2)",
     .hosts = u"sync.afraid.org v6.sync.afraid.org",
     .path = u"/u/",
     .account = UrlToken,
     .hostForm = NotSent,
     .addressParameter = u"address",
     .dialect = FreeDns,
     .ipv6Form = OwnUrl},
    // ChangeIP's update documents IPv4 addresses alone; Namecheap's Dynamic
    // DNS keeps A records alone.
    {.name = u"ChangeIP", .hosts = u"nic.changeip.com", .addressParameter = u"ip", .dialect = ChangeIp},
    {.name = u"Namecheap",
     .hosts = u"dynamicdns.park-your-domain.com",
     .account = Query,
     .userParameter = u"domain",
     .passwordParameter = u"password",
     .hostForm = InDomain,
     .hostParameter = u"host",
     .addressParameter = u"ip",
     .dialect = Namecheap},
    // The JSON APIs keep AAAA records as they keep A records.
    {.name = u"Cloudflare",
     .hosts = u"api.cloudflare.com",
     .protocol = Cloudflare,
     .account = ApiKeys,
     .dialect = JsonApi,
     .ipv6Form = ApiRecord},
    // porkbun.com served the API until the end of 2024.
    {.name = u"Porkbun",
     .hosts = u"api.porkbun.com porkbun.com",
     .requestHost = u"api.porkbun.com",
     .protocol = Porkbun,
     .account = ApiKeys,
     .dialect = JsonApi,
     .userIsSecret = true,
     .ipv6Form = ApiRecord},
    {.name = u"Gandi",
     .hosts = u"api.gandi.net",
     .protocol = Gandi,
     .account = ApiKeys,
     .dialect = JsonApi,
     .ipv6Form = ApiRecord},
    {.name = u"GoDaddy",
     .hosts = u"api.godaddy.com",
     .protocol = GoDaddy,
     .account = ApiKeys,
     .dialect = JsonApi,
     .userIsSecret = true,
     .ipv6Form = ApiRecord},
    // Closed in 2023; its names moved to Squarespace, which has no dynamic DNS.
    {.name = u"Google Domains", .hosts = u"domains.google.com", .protocol = Closed},
}};

bool servesHost(const Provider& provider, QStringView host)
{
    for (QStringView known : provider.hosts.split(u' ')) {
        if (known.compare(host, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QUrl parsedServiceUrl(const QString& serviceUrl)
{
    return QUrl(serviceUrl.trimmed(), QUrl::StrictMode);
}

// The token a path holds after the row's own path: "/u/TOKEN/" of FreeDNS.
QString tokenInPath(const Provider& provider, const QUrl& url)
{
    const QString path = url.path(QUrl::FullyDecoded);
    if (provider.path.isEmpty() || !path.startsWith(provider.path))
        return {};
    const QString rest = path.mid(provider.path.size());
    return rest.left(rest.indexOf(u'/'));
}

// A query item without a "=", the whole query of FreeDNS's update URL.
QStringList bareQueryItems(const QUrl& url)
{
    QStringList bare;
    for (const QString& item : url.query(QUrl::FullyEncoded).split(u'&', Qt::SkipEmptyParts)) {
        if (!item.contains(u'='))
            bare << QUrl::fromPercentEncoding(item.toLatin1());
    }
    return bare;
}

} // namespace

std::span<const Provider> providers()
{
    return Table;
}

const Provider* providerFor(const QString& serviceUrl)
{
    const QUrl url = parsedServiceUrl(serviceUrl);
    const QString host = url.host();
    if (!url.isValid() || host.isEmpty())
        return nullptr;
    const QString path = url.path(QUrl::FullyDecoded);
    // A row with a path is the more particular one, where a host serves two.
    const Provider* found = nullptr;
    for (const Provider& provider : Table) {
        if (!servesHost(provider, host) || !path.startsWith(provider.path))
            continue;
        if (!found || provider.path.size() > found->path.size())
            found = &provider;
    }
    return found;
}

QByteArray updateClientAgent()
{
    return QByteArrayLiteral("Kestrune Parlowen/" PARLOWEN_VERSION " parlowen@kestrune.net");
}

QStringList providerSecrets(const QString& serviceUrl, const QString& userName)
{
    const Provider* provider = providerFor(serviceUrl);
    if (!provider)
        return {};
    const QUrl url = parsedServiceUrl(serviceUrl);
    QStringList secrets;
    if (provider->account == AccountIn::UrlToken)
        secrets << tokenInPath(*provider, url) << bareQueryItems(url);
    if (!provider->passwordParameter.isEmpty())
        secrets << QUrlQuery(url).queryItemValue(provider->passwordParameter.toString(), QUrl::FullyDecoded);
    if (provider->userIsSecret)
        secrets << userName;
    secrets.removeAll(QString());
    return secrets;
}

} // namespace parlowen
