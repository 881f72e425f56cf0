// Providers whose secret is a token in the URL: dynv6's own API, DuckDNS
// and FreeDNS's two update URLs. Each answers in its own words; FreeDNS and
// DuckDNS always with HTTP 200, whatever went wrong.
#include "sim/providerplays.h"

#include <QRegularExpression>

namespace parlowen::sim {

namespace {

// An address parameter that is absent or empty means the source address, as
// all three take it when none is sent: the address, and whether it is valid.
std::optional<QHostAddress> addressOrSource(const RecordedRequest& request,
                                            const std::optional<QString>& value)
{
    if (!value || value->isEmpty())
        return sourceAddress(request);
    return parseAddress(*value);
}

QByteArray duckName(QString name)
{
    name = name.trimmed().toLower();
    if (name.endsWith(u".duckdns.org"))
        name.chop(qsizetype(sizeof(".duckdns.org")) - 1);
    return name.toUtf8();
}

struct DuckRequest {
    QString domains;
    QString token;
    std::optional<QString> ip;
};

// /update?domains=&token=&ip= or, for a single domain, /update/<domain>/<token>[/<ip>].
std::optional<DuckRequest> duckRequest(const RecordedRequest& request)
{
    if (request.path == u"/update")
        return DuckRequest{parameter(request, QStringLiteral("domains")).value_or(QString()),
                           parameter(request, QStringLiteral("token")).value_or(QString()),
                           parameter(request, QStringLiteral("ip"))};
    const QStringList parts = request.path.mid(qsizetype(sizeof("/update/")) - 1).split(u'/');
    if (!request.path.startsWith(u"/update/") || parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    return DuckRequest{parts[0], parts[1], parts.size() == 3 ? std::optional(parts[2]) : std::nullopt};
}

// What dynv6 makes of an ipv4= or ipv6= value: nothing (empty or unset:
// unchanged), a new value ("" removes), or a refusal.
struct Dynv6Value {
    bool invalid = false;
    std::optional<QString> value;
};

Dynv6Value dynv6Value(const RecordedRequest& request, const QString& key, bool ipv6)
{
    const QString text = parameter(request, key).value_or(QString());
    const QHostAddress source = sourceAddress(request);
    if (text.isEmpty())
        return {};
    if (text == u"auto")
        return isIpv6(source) == ipv6 ? Dynv6Value{false, addressText(source)} : Dynv6Value{};
    if (text == u"-" && !ipv6)
        return {false, QString()};
    if (text == u"6to4" && ipv6) {
        const quint32 v4 = source.toIPv4Address();
        return {false, QStringLiteral("2002:%1:%2::").arg(v4 >> 16, 0, 16).arg(v4 & 0xffff, 0, 16)};
    }
    // An IPv6 address may come with its prefix length, which also sets the prefix.
    const std::optional<QHostAddress> address = parseAddress(ipv6 ? text.section(u'/', 0, 0) : text);
    if (!address || isIpv6(*address) != ipv6)
        return {true, {}};
    return {false, addressText(*address)};
}

} // namespace

// dynv6's own API: /api/update?token=&zone=&ipv4=&ipv6=. Unlike the dyndns2
// family it leaves an address that is empty or not sent as it is.
FakeResponse playDynv6(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    if (request.path != u"/api/update")
        return textAnswer(404, "Not Found\n");
    // Its words for a bad token or zone are not documented; the statuses are
    // what its clients see.
    const QString token = parameter(request, QStringLiteral("token")).value_or(QString());
    if (token.isEmpty() || !accepts(call.record.secret, token))
        return textAnswer(401, "invalid authentication token\n");
    static const char* const zoneKeys[] = {"zone", "hostname", "Hostname", nullptr};
    const QString zone = firstParameter(request, zoneKeys).value_or(QString());
    if (zone.isEmpty())
        return textAnswer(400, "zone not specified\n");
    if (zone.compare(call.record.host, Qt::CaseInsensitive) != 0)
        return textAnswer(404, "zone not found\n");
    if (call.blocked)
        return throttledAnswer();
    const Dynv6Value v4 = dynv6Value(request, QStringLiteral("ipv4"), false);
    const Dynv6Value v6 = dynv6Value(request, QStringLiteral("ipv6"), true);
    if (v4.invalid || v6.invalid)
        return textAnswer(400, v4.invalid ? "invalid IPv4 address\n" : "invalid IPv6 address\n");
    const ProviderRecord before = call.record;
    call.record.address = v4.value.value_or(call.record.address);
    call.record.addressV6 = v6.value.value_or(call.record.addressV6);
    const bool changed = before.address != call.record.address || before.addressV6 != call.record.addressV6;
    return textAnswer(200, changed ? "addresses updated\n" : "addresses unchanged\n");
}

FakeResponse playDuckDns(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    const std::optional<DuckRequest> asked = duckRequest(request);
    if (!asked)
        return textAnswer(404, "Not Found\n");
    // "KO" is DuckDNS's one refusal: a bad token, a domain not on the
    // account, a bad address; it documents no other, so blocked is "KO" too.
    const FakeResponse ko = textAnswer(200, "KO");
    const QStringList domains = asked->domains.split(u',', Qt::SkipEmptyParts);
    const auto ours = [&call](const QString& domain) {
        return duckName(domain) == duckName(call.record.host);
    };
    if (asked->token.isEmpty() || !accepts(call.record.secret, asked->token) || domains.isEmpty() ||
        !std::all_of(domains.cbegin(), domains.cend(), ours) || call.blocked)
        return ko;
    const bool verbose = parameter(request, QStringLiteral("verbose")) == u"true";
    if (parameter(request, QStringLiteral("clear")) == u"true") {
        const bool changed = !call.record.address.isEmpty() || !call.record.addressV6.isEmpty();
        call.record.address.clear();
        call.record.addressV6.clear();
        return textAnswer(200, verbose ? QByteArray("OK\n\n\n") + (changed ? "UPDATED" : "NOCHANGE") : "OK");
    }
    // ip may be of either family and is the IPv4 source when absent; IPv6 is
    // never taken from the connection.
    const std::optional<QHostAddress> ip = addressOrSource(request, asked->ip);
    const QString ipv6 = parameter(request, QStringLiteral("ipv6")).value_or(QString());
    const std::optional<QHostAddress> v6 = ipv6.isEmpty() ? std::nullopt : parseAddress(ipv6);
    if (!ip || (!ipv6.isEmpty() && (!v6 || !isIpv6(*v6))))
        return ko;
    ProviderRecord before = call.record;
    (isIpv6(*ip) ? call.record.addressV6 : call.record.address) = addressText(*ip);
    if (v6)
        call.record.addressV6 = addressText(*v6);
    const bool changed = before.address != call.record.address || before.addressV6 != call.record.addressV6;
    if (!verbose)
        return textAnswer(200, "OK");
    return textAnswer(200, "OK\n" + call.record.address.toUtf8() + '\n' + call.record.addressV6.toUtf8() +
                               '\n' + (changed ? "UPDATED" : "NOCHANGE"));
}

// The v1 "Direct URL": /dynamic/update.php?<TOKEN>[&address=], the token
// being the bare query up to the first "&". All answers are HTTP 200.
FakeResponse playFreeDns(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    if (request.path != u"/dynamic/update.php")
        return textAnswer(404, "Not Found\n");
    const qsizetype question = request.target.indexOf('?');
    const QByteArray bare =
        question < 0 ? QByteArray() : request.target.mid(question + 1).split('&').value(0);
    if (bare.isEmpty() || bare.contains('='))
        return textAnswer(200, "ERROR: Invalid update URL (2)\n");
    if (!accepts(call.record.secret, QUrl::fromPercentEncoding(bare)))
        return textAnswer(200, "ERROR: Unable to locate this record (changed password recently? deleted and "
                               "re-created this dns entry?)\n");
    if (call.blocked)
        return throttledAnswer();
    const std::optional<QString> sent = parameter(request, QStringLiteral("address"));
    const std::optional<QHostAddress> address = addressOrSource(request, sent);
    if (!address)
        return textAnswer(200, "ERROR: \"" + sent->toUtf8() + "\" is an invalid IP address.\n");
    QString& kept = isIpv6(*address) ? call.record.addressV6 : call.record.address;
    const QByteArray text = addressText(*address).toUtf8();
    // FreeDNS's unchanged answer starts with ERROR, though nothing failed.
    if (kept == addressText(*address))
        return textAnswer(200, "ERROR: Address " + text + " has not changed.\n");
    kept = addressText(*address);
    return textAnswer(200, "Updated 1 host(s) " + call.record.host.toUtf8() + " to " + text +
                               " in 0.178 seconds\n");
}

// The v2 URL, sync.afraid.org/u/<TOKEN>/ (its slash required); an unknown
// token is a 404 page. ?address= names the address; ?ip= is taken too, as
// clients send it.
FakeResponse playFreeDnsV2(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    static const QRegularExpression path(QStringLiteral("^/u/([^/]+)/$"));
    const QRegularExpressionMatch match = path.match(request.path);
    const FakeResponse notFound{.status = 404, .body = "<html><body><h1>404 Not Found</h1></body></html>\n"};
    if (!match.hasMatch() || !accepts(call.record.secret, match.captured(1)))
        return notFound;
    if (call.blocked)
        return throttledAnswer();
    std::optional<QString> sent = parameter(request, QStringLiteral("address"));
    if (!sent)
        sent = parameter(request, QStringLiteral("ip"));
    const std::optional<QHostAddress> address = addressOrSource(request, sent);
    // FreeDNS's v2 words for a bad address are not known; these are v1's.
    if (!address)
        return textAnswer(200, "ERROR: \"" + sent->toUtf8() + "\" is an invalid IP address.\n");
    QString& kept = isIpv6(*address) ? call.record.addressV6 : call.record.address;
    const QByteArray host = call.record.host.toUtf8();
    const QByteArray text = addressText(*address).toUtf8();
    if (kept == addressText(*address))
        return textAnswer(200,
                          "No IP change detected for " + host + " with IP " + text + ", skipping update\n");
    const QByteArray old = kept.toUtf8();
    kept = addressText(*address);
    return textAnswer(200, "Updated " + host + " from " + old + " to " + text + '\n');
}

} // namespace parlowen::sim
