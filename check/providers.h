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
