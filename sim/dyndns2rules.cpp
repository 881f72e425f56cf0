// The dyndns2 family, one row per provider, as each one's documentation
// describes it. Where it says nothing (the status of a refusal, the body of
// a 401), the row takes what the provider's clients have seen or, failing
// that, what the protocol's originator, Dyn, does; the comment says which.
#include "sim/dyndns2rules.h"

#include <QString>

namespace parlowen::sim {

namespace {

// An HTTP 401 as a web server sends it when the provider's own words are unknown.
constexpr const char* plain401 = "401 Unauthorized";

const Dyndns2Rules table[] = {
    // No-IP answers a missing or wrong account alike, with 401, a Basic
    // challenge and "badauth" (seen by its clients). Its answer table has no
    // "notfqdn": a missing host is a host not on the account.
    {.name = "noip",
     .noAccount = {401, "badauth", "Basic realm=\"No-IP DNS Update API\""},
     .wrongAccount = {401, "badauth", "Basic realm=\"No-IP DNS Update API\""},
     .maxHosts = 20,
     .noHost = {200, "nohost"},
     .v6Keys = {"myipv6"},
     .takesLists = true,
     .noAgent = {200, "badagent"}},
    // Dyn: a wrong account is "badauth" with 200 (seen); without any, the
    // server challenges, as its members site always has. A malformed myip
    // is ignored and its best guess used, as documented.
    {.name = "dyn",
     .paths = {"/nic/update", "/v3/update"},
     .noAccount = {401, "badauth", "Basic realm=\"DynDNS API Access\""},
     .wrongAccount = {200, "badauth"},
     .maxHosts = 20,
     .takesLists = true,
     .malformed = OnAddress::UseSource,
     .noAgent = {200, "badagent"},
     .system = SystemRule::CheckedWhenSent,
     .takesPost = true,
     .wrongMethod = {200, "badagent"}},
    // DNS-O-Matic follows Dyn's API; without a host it updates every service
    // of the account. It takes no IPv6 address.
    {.name = "dnsomatic",
     .noAccount = {401, "badauth", "Basic realm=\"DNS-O-Matic\""},
     .wrongAccount = {200, "badauth"},
     .hostRule = HostRule::Optional,
     .allHosts = "all.dnsomatic.com",
     .takesIpv6 = false,
     .malformed = OnAddress::UseSource,
     .noAgent = {200, "badagent"}},
    // OVH answers a bad account with a bare 401 (seen); it wants
    // system=dyndns as its URL gives it, and has answered a POST "badsys".
    {.name = "ovh",
     .noAccount = {401, plain401, "Basic realm=\"DynHost\""},
     .wrongAccount = {401, plain401, "Basic realm=\"DynHost\""},
     .system = SystemRule::Required,
     .wrongMethod = {200, "badsys"}},
    // Strato names the client's address after "badauth" and "badagent 0.0.0.0"
    // (seen); it challenges an update without an account, as Dyn does.
    {.name = "strato",
     .noAccount = {401, "badauth %1", "Basic realm=\"Strato DynDNS\""},
     .wrongAccount = {200, "badauth %1"},
     .takesLists = true,
     .noAgent = {200, "badagent 0.0.0.0"}},
    // all-inkl binds the record to its DDNS user; the bare URL updates it to
    // the source address. Its web server asks for Basic (no provider text known).
    {.name = "allinkl",
     .paths = {"/"},
     .noAccount = {401, plain401, "Basic realm=\"DynDNS\""},
     .wrongAccount = {401, plain401, "Basic realm=\"DynDNS\""},
     .hostRule = HostRule::Bound,
     .v6Keys = {"myip6"},
     .takesIpv6 = false},
    // dynv6's dyndns2 door: the zone's token as the Basic password, any
    // user, IPv4 only; an empty myip means the source address (seen).
    {.name = "dynv6-dyndns2",
     .signIn = SignIn::BasicPasswordOnly,
     .noAccount = {401, "badauth", "Basic realm=\"dynv6\""},
     .wrongAccount = {401, "badauth", "Basic realm=\"dynv6\""},
     .takesIpv6 = false},
    // Dynu: Basic or username/password in the query, the password plain or
    // hashed; without a host every host of the account; "no" leaves a
    // family alone and 10.0.0.0 asks for the source address, as documented.
    // Without myip the source address is taken, myipv6 or not: myip=no is
    // how its protocol page has a client send IPv6 alone.
    {.name = "dynu",
     .signIn = SignIn::BasicOrQuery,
     .accountKeys = {"username", "password"},
     .hashedPasswords = true,
     .noAccount = {200, "badauth"},
     .wrongAccount = {200, "badauth"},
     .hostRule = HostRule::Optional,
     .v6Keys = {"myipv6"},
     .takesIpv6 = false,
     .keepValue = "no",
     .sourceValue = "10.0.0.0",
     .ipv6AloneLeavesIpv4 = false},
    // Hurricane Electric: the record's own key, as the Basic password with
    // the host as user or as password= beside hostname=. One family a call.
    // "interval" is its refusal of a client updating too often (seen).
    {.name = "he",
     .signIn = SignIn::BasicOrKey,
     .accountKeys = {"password"},
     .hostAsUser = true,
     .noAccount = {401, "badauth", "Basic realm=\"dyn.dns.he.net\""},
     .wrongAccount = {401, "badauth", "Basic realm=\"dyn.dns.he.net\""},
     .malformedRefusal = {200, "badip"},
     .takesPost = true,
     .blocked = {200, "interval"}},
    // IPv64 takes its token wherever a client may put it and answers a bad
    // one with 401 (seen); its limits are documented, their answer is not.
    {.name = "ipv64",
     .paths = {"/nic/update", "/update", "/update.php"},
     .signIn = SignIn::TokenAnywhere,
     .accountKeys = {"key", "token", "user", "username"},
     .noAccount = {401, plain401},
     .wrongAccount = {401, plain401},
     .hostKeys = {"domain", "host", "hostname"},
     .maxHosts = 20,
     .noHost = {400, "badrequest"},
     .addressKeys = {"ip", "ipv4", "ip4", "myip"},
     .v6Keys = {"ip6", "ipv6", "myip6", "myipv6"},
     .takesIpv6 = false,
     .takesPost = true,
     .blocked = {429, "Too Many Requests"}},
    // Spdyn: Basic, or user/pass in the query; an update token signs in with
    // the host as the user. A private IPv4 sent over IPv4 is replaced by the
    // source address, as documented; "nohost" came with 400 (seen).
    {.name = "spdyn",
     .signIn = SignIn::BasicOrQuery,
     .accountKeys = {"user", "pass"},
     .hostAsUser = true,
     .noAccount = {200, "badauth"},
     .wrongAccount = {200, "badauth"},
     .maxHosts = 20,
     .unknownHost = {400, "nohost"},
     .takesLists = true,
     .privateIpv4 = OnAddress::UseSource},
    // selfHOST answers with HTTP statuses: 204 when nothing changed, 411 for
    // a malformed and 412 for a private address, 503 when updated too often.
    // The DynDNS account selects the record; hostname= asks for dyndns words.
    {.name = "selfhost",
     .noAccount = {401, "badauth", "Basic realm=\"selfHOST DynDNS\""},
     .wrongAccount = {401, "badauth", "Basic realm=\"selfHOST DynDNS\""},
     .hostRule = HostRule::Bound,
     .takesIpv6 = false,
     .malformedRefusal = {411, "status=411"},
     .privateIpv4 = OnAddress::Refuse,
     .privateRefusal = {412, "status=412"},
     .blocked = {503, "status=503"},
     .unchanged = {204, ""}},
    // ChangeIP: Basic or u/p in the query, ip or myip; its answers start
    // with a status number, 422 for a host not on the account (documented).
    // It has no unchanged answer.
    {.name = "changeip",
     .signIn = SignIn::BasicOrQuery,
     .accountKeys = {"u", "p"},
     .noAccount = {401, "401 Unauthorized", "Basic realm=\"ChangeIP\""},
     .wrongAccount = {401, "401 Unauthorized", "Basic realm=\"ChangeIP\""},
     .noHost = {422, "422 Invalid hostname"},
     .unknownHost = {422, "422 Invalid hostname"},
     .addressKeys = {"ip", "myip"},
     .takesIpv6 = false,
     .blocked = {429, "Too Many Requests"},
     .good = "200 Successful Update",
     .unchanged = {200, "200 Successful Update"}},
};

} // namespace

const Dyndns2Rules* dyndns2Rules(QStringView name)
{
    for (const Dyndns2Rules& rules : table) {
        if (name == QLatin1StringView(rules.name))
            return &rules;
    }
    return nullptr;
}

} // namespace parlowen::sim
