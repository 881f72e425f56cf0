#pragma once
// The dynamic DNS providers Parlowen knows by the host of their Service URL:
// where each reads the account, the host name and the address, and how it
// answers. A Service URL of no row is sent as the update template says.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

namespace parlowen {

// How an update reaches the provider: one request to the Service URL, the
// few requests of a provider's own JSON API, or not at all.
enum class UpdateProtocol { UpdateUrl, Cloudflare, Porkbun, Gandi, GoDaddy, Closed };

enum class AccountIn {
    Query,    // named query parameters
    Basic,    // HTTP Basic with the first request
    UrlToken, // a token the user typed into the Service URL itself
    ApiKeys,  // the JSON API's own header or body
};

enum class HostForm {
    FullName,    // as typed: home.example.net
    DuckDnsName, // without ".duckdns.org", which DuckDNS takes as optional
    InDomain,    // relative to the domain given as User Name ("@" for the domain itself)
    NotSent,     // the account or the token names the record
};

enum class AnswerDialect { Dyndns2, DuckDns, FreeDns, ChangeIp, Dynv6, Namecheap, SelfHost, JsonApi };

// How the provider takes the IPv6 address of the name's AAAA record.
enum class Ipv6Form {
    None,          // it keeps no AAAA record through this update URL
    Parameter,     // under a parameter of its own, beside the IPv4 address (ipv6Parameter)
    BothInAddress, // both in the address parameter, "203.0.113.7,2001:db8::1"
    SecondRequest, // one family a request: the same request again, the IPv6 address as the address
    OwnUrl,        // each record has an update URL of its own: the AAAA record's URL, IPv6 alone
    ApiRecord,     // the AAAA record through the JSON API, after the A record
};

// A row; what most providers of the dyndns2 kind share is the default.
struct Provider {
    QStringView name;
    // The Service URL's host, in any letter case; a space between several.
    QStringView hosts;
    // Where one host serves two protocols, the path the Service URL starts with.
    QStringView path = {};
    // The host the request goes to, where it is not the one typed.
    QStringView requestHost = {};
    UpdateProtocol protocol = UpdateProtocol::UpdateUrl;
    AccountIn account = AccountIn::Basic;
    // With AccountIn::Query, the names User Name and Password go under;
    // empty for a field the provider does not read.
    QStringView userParameter = {};
    QStringView passwordParameter = {};
    HostForm hostForm = HostForm::FullName;
    QStringView hostParameter = u"hostname"; // unused with HostForm::NotSent
    QStringView addressParameter = u"myip";
    // Sent as they stand, "name=value" joined by "&", unless the Service URL
    // has them already.
    QStringView fixedParameters = {};
    AnswerDialect dialect = AnswerDialect::Dyndns2;
    bool userIsSecret = false; // an API key typed as User Name
    Ipv6Form ipv6Form = Ipv6Form::None;
    // With Ipv6Form::Parameter, the name the IPv6 address goes under.
    QStringView ipv6Parameter = {};
    // With IPv6 alone, the name the IPv6 address goes under, where it is not
    // ipv6Parameter (Parameter) or addressParameter (the other forms).
    QStringView ipv6AloneParameter = {};
    // Sent with IPv6 alone instead of the IPv4 address, where leaving the
    // address out would make the provider set the A record to the request's
    // source address: "name=value" joined by "&".
    QStringView keepIpv4 = {};
    // Sent while no IPv6 address is, where the provider deletes the AAAA
    // record of a request without one; the IPv6 address replaces it.
    QStringView keepIpv6 = {};
};

std::span<const Provider> providers();

// The row whose host (and path) the Service URL names; nothing for a
// Service URL of no row.
const Provider* providerFor(const QString& serviceUrl);

// What the provider is sent and answered as: "Kestrune Parlowen/0.1.0
// parlowen@kestrune.net", the company, the program and its version, and
// where to reach its makers, in the form the providers that ask for one
// document.
QByteArray updateClientAgent();

// The secrets the Service URL and the User Name hold for their provider: a
// token in the path or as the bare query, the value of the query parameter
// that carries the password, an API key typed as User Name.
QStringList providerSecrets(const QString& serviceUrl, const QString& userName);

} // namespace parlowen
