// Every provider of the table, accepting and refusing as its documentation says.
#include "support/providercases.h"

#include <algorithm>

namespace parlowen::test {

namespace {

// A provider that takes the account it keeps, with the record at the
// earlier address.
ProviderCase accepting(const char* name, const char* provider, const char* url, const char* user,
                       const char* password, const char* host, const QString& zone = {})
{
    return {name, provider, url, user, password, host, {user, password, host, zone, EarlierAddress}, true};
}

// The same, but for the secret the provider keeps: another than the one typed.
ProviderCase refusing(ProviderCase accepted, const char* name, const QString& reason)
{
    accepted.name = name;
    accepted.record.secret = QStringLiteral("not-") + accepted.password;
    accepted.accepted = false;
    accepted.reason = reason;
    return accepted;
}

QList<ProviderCase> makeProviderCases()
{
    QList<ProviderCase> cases{
        accepting("No-IP", "noip", "https://dynupdate.no-ip.com/nic/update", "home-key", "Np-s3cret!",
                  "home.ddns.net"),
        accepting("Dyn", "dyn", "https://members.dyndns.org/v3/update", "alice", "client-key-1",
                  "home.dyndns.org"),
        accepting("DNS-O-Matic", "dnsomatic", "https://updates.dnsomatic.com/nic/update", "alice",
                  "Dm-s3cret!", "all.dnsomatic.com"),
        accepting("OVH DynHost", "ovh", "https://dns.eu.ovhapis.com/nic/update", "example.com-home",
                  "Ov-s3cret!", "home.example.com"),
        accepting("Strato", "strato", "https://dyndns.strato.com/nic/update", "example.de", "St-s3cret!",
                  "home.example.de"),
        accepting("all-inkl", "allinkl", "https://dyndns.kasserver.com/", "dyn0123456", "Ak-s3cret!",
                  "home.example.net"),
        accepting("dynv6", "dynv6", "https://dynv6.com/api/update", "", "dynv6-zone-token", "home.dynv6.net"),
        accepting("dynv6 (dyndns2)", "dynv6-dyndns2", "https://dynv6.com/nic/update", "none",
                  "dynv6-zone-token", "home.dynv6.net"),
        accepting("Dynu", "dynu", "https://api.dynu.com/nic/update", "alice", "Dy-s3cret!", "home.dynu.net"),
        accepting("deSEC", "desec", "https://update.dedyn.io/", "example.dedyn.io", "desec-token-1",
                  "example.dedyn.io"),
        accepting("Hurricane Electric", "he", "https://dyn.dns.he.net/nic/update", "", "he-key-1",
                  "home.example.net"),
        accepting("IPv64", "ipv64", "https://ipv64.net/nic/update", "", "ipv64-token-1", "home.ipv64.net"),
        accepting("Spdyn", "spdyn", "https://update.spdyn.de/nic/update", "alice", "Sp-s3cret!",
                  "home.spdns.de"),
        accepting("selfHOST", "selfhost", "https://carol.selfhost.de/nic/update", "123456", "Sh-s3cret!",
                  "home.selfhost.eu"),
        accepting("YDNS", "ydns", "https://ydns.io/api/v1/update/", "api-user", "Yd-s3cret!", "home.ydns.io"),
        accepting("YDNS by its update URL", "ydns-token", "https://ydns.io/hosts/update/YdnsToken123", "", "",
                  "home.ydns.io"),
        accepting("DuckDNS", "duckdns", "https://www.duckdns.org/update", "",
                  "6b3c2a1e-0d9b-4f5e-8a7c-1b2d3e4f5a6b", "myhome.duckdns.org"),
        accepting("FreeDNS", "freedns", "https://freedns.afraid.org/dynamic/update.php?RnJlZURuc1Rva2Vu", "",
                  "", "home.mooo.com"),
        accepting("FreeDNS v2", "freedns-v2", "https://sync.afraid.org/u/FreeV2Token9/", "", "",
                  "home.mooo.com"),
        accepting("ChangeIP", "changeip", "https://nic.changeip.com/nic/update", "alice", "Ci-s3cret!",
                  "home.changeip.org"),
        accepting("Namecheap", "namecheap", "https://dynamicdns.park-your-domain.com/update", "example.com",
                  "nc-ddns-password", "home.example.com", "example.com"),
        accepting("Cloudflare", "cloudflare", "https://api.cloudflare.com/client/v4", "", "cf-api-token",
                  "home.example.com", "example.com"),
        accepting("Porkbun", "porkbun", "https://api.porkbun.com/api/json/v3", "pk1_apikey", "sk1_secretkey",
                  "home.example.com", "example.com"),
        accepting("Gandi", "gandi", "https://api.gandi.net/v5/livedns", "", "gandi-pat-1", "home.example.com",
                  "example.com"),
        accepting("GoDaddy", "godaddy", "https://api.godaddy.com/v1", "gd-key", "gd-secret",
                  "home.example.com", "example.com"),
    };
    // Tokens typed into the URL are what the provider keeps; deSEC keeps an
    // AAAA record too, which it deletes unless told to keep it.
    for (ProviderCase& entry : cases) {
        if (entry.provider == QLatin1String("desec"))
            entry.record.addressV6 = QStringLiteral("2001:db8::7");
        if (entry.provider == QLatin1String("ydns-token"))
            entry.record.secret = QStringLiteral("YdnsToken123");
        else if (entry.provider == QLatin1String("freedns"))
            entry.record.secret = QStringLiteral("RnJlZURuc1Rva2Vu");
        else if (entry.provider == QLatin1String("freedns-v2"))
            entry.record.secret = QStringLiteral("FreeV2Token9");
    }
    const auto named = [&](const char* provider) {
        return *std::find_if(cases.begin(), cases.end(),
                             [provider](const ProviderCase& entry) { return entry.provider == provider; });
    };
    const QString wrongAccount = QStringLiteral("wrong user name or password");
    cases << refusing(named("noip"), "No-IP: a wrong password, challenged", wrongAccount)
          << refusing(named("dyn"), "Dyn: a wrong key, badauth without a challenge", wrongAccount)
          << refusing(named("desec"), "deSEC: a wrong token", wrongAccount)
          << refusing(named("selfhost"), "selfHOST: a wrong password", QStringLiteral("401 (wrong user name"))
          << refusing(named("dynv6"), "dynv6: a wrong token", QStringLiteral("the token is wrong"))
          << refusing(named("duckdns"), "DuckDNS: a wrong token",
                      QStringLiteral("KO (the token or the domain"))
          << refusing(named("namecheap"), "Namecheap: a wrong password",
                      QStringLiteral("Passwords do not match"))
          << refusing(named("cloudflare"), "Cloudflare: a token it does not know",
                      QStringLiteral("the API token is not valid"))
          << refusing(named("porkbun"), "Porkbun: keys it does not know", QStringLiteral("Invalid API key"))
          << refusing(named("gandi"), "Gandi: a token it does not know", QStringLiteral("HTTP 401"))
          << refusing(named("godaddy"), "GoDaddy: keys it does not know",
                      QStringLiteral("UNABLE_TO_AUTHENTICATE"));
    ProviderCase staleToken = named("freedns-v2");
    staleToken.name = "FreeDNS v2: a token it does not know";
    staleToken.record.secret = QStringLiteral("AnotherToken");
    staleToken.accepted = false;
    staleToken.reason = QStringLiteral("is not, or no longer, FreeDNS's");
    cases << staleToken;
    // Each provider's own refusal of a blocked or throttled client.
    for (qsizetype i = 0, accepted = cases.size(); i < accepted; ++i) {
        if (!cases[i].accepted || cases[i].name.contains(':'))
            continue;
        ProviderCase blocked = cases[i];
        blocked.name += ": blocked";
        blocked.blocked = true;
        blocked.accepted = false;
        if (blocked.provider == QLatin1String("noip"))
            blocked.reason = QStringLiteral("abuse (the host name is blocked");
        cases << blocked;
    }
    // Unchanged is accepted too, and no change is sent for it.
    for (const char* provider : {"selfhost", "freedns-v2", "cloudflare", "dynv6"}) {
        ProviderCase unchanged = named(provider);
        unchanged.record.address = RouterAddress;
        unchanged.name += ": the address unchanged";
        cases << unchanged;
    }
    ProviderCase noRecord = named("cloudflare");
    noRecord.name = "Cloudflare: no record is made";
    noRecord.record.address.clear();
    noRecord.accepted = false;
    noRecord.reason = QStringLiteral("has no A record for home.example.com");
    cases << noRecord;
    return cases;
}

} // namespace

const QList<ProviderCase>& providerCases()
{
    static const QList<ProviderCase> cases = makeProviderCases();
    return cases;
}

} // namespace parlowen::test
