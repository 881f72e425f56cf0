#pragma once
// How each provider of the dyndns2 family (one GET to /nic/update or the
// like, plain-text answers such as "good 203.0.113.7") differs from the
// others: where it reads the account, the host and the address, and the
// words and statuses of its answers. One row per provider.

#include <QStringView>

#include <array>

namespace parlowen::sim {

enum class SignIn {
    Basic,             // the Authorization header alone
    BasicPasswordOnly, // Basic, whatever the user name (dynv6: the zone's token is the password)
    BasicOrQuery,      // Basic or, without it, the query's user and password keys (accountKeys)
    BasicOrKey,        // Basic with the host as the user, or a password parameter (Hurricane Electric)
    TokenAnywhere,     // the token in any of accountKeys, as Bearer, or as the Basic user or password
};

enum class HostRule {
    Required, // the host parameter names the record
    Optional, // absent (or allHosts), it means every host of the account
    Bound,    // the account has one record, whatever the request names
};

enum class OnAddress {
    Keep,      // the address is used as sent
    UseSource, // the request's source address is used instead
    Refuse,    // the matching refusal is answered
};

enum class SystemRule { Ignored, CheckedWhenSent, Required };

// One answer: HTTP status and body, where "%1" stands for the request's
// source address; a 401 may carry a WWW-Authenticate challenge.
struct Refusal {
    int status = 200;
    const char* body = nullptr;
    const char* challenge = nullptr;
};

// Key lists end at the first nullptr.
struct Dyndns2Rules {
    const char* name;
    std::array<const char*, 4> paths{"/nic/update"};
    SignIn signIn = SignIn::Basic;
    std::array<const char*, 5> accountKeys{};
    bool hashedPasswords = false; // the password's MD5 or SHA-256, in hex, is taken too (Dynu)
    bool hostAsUser = false;      // the user name may be the record's host (token modes)
    Refusal noAccount{};          // no credentials at all
    Refusal wrongAccount{};
    HostRule hostRule = HostRule::Required;
    std::array<const char*, 4> hostKeys{"hostname"};
    const char* allHosts = nullptr; // a host value meaning every host of the account
    int maxHosts = 1;               // above one, a comma list answered a line per host
    Refusal noHost{200, "notfqdn"};
    Refusal unknownHost{200, "nohost"};
    std::array<const char*, 5> addressKeys{"myip"}; // the first one present is read
    std::array<const char*, 5> v6Keys{};            // an IPv6 address of its own
    bool takesIpv6 = true;                          // addressKeys may hold an IPv6 address
    bool takesLists = false;                        // ... or one of each family, as "v4,v6"
    const char* keepValue = nullptr;                // a value that leaves the record as it is
    const char* sourceValue = nullptr;              // a value that asks for the source address
    // An IPv6 address sent on its own leaves the A record as it is (No-IP
    // documents it); otherwise the absent address is the source address.
    bool ipv6AloneLeavesIpv4 = true;
    OnAddress malformed = OnAddress::Refuse;
    Refusal malformedRefusal{400, "badrequest"};
    OnAddress privateIpv4 = OnAddress::Keep;
    Refusal privateRefusal{};
    Refusal noAgent{}; // without a body, the User-Agent is not checked
    SystemRule system = SystemRule::Ignored;
    bool takesPost = false;
    Refusal wrongMethod{405, "method not allowed"};
    Refusal blocked{200, "abuse"};
    const char* good = "good %1"; // %1: the addresses now set, "v4", "v6" or "v4,v6"
    Refusal unchanged{200, "nochg %1"};
};

// The row of a dyndns2 provider; nullptr for any other name.
const Dyndns2Rules* dyndns2Rules(QStringView name);

} // namespace parlowen::sim
