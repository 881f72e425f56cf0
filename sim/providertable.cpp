// The simulated providers, one row each, with their real host names.
#include "sim/providertable.h"

#include <algorithm>

namespace parlowen::sim {

namespace {

const ProviderEntry table[] = {
    {"noip", {"dynupdate.no-ip.com"}, playDyndns2},
    {"dyn", {"members.dyndns.org"}, playDyndns2},
    {"dnsomatic", {"updates.dnsomatic.com"}, playDyndns2},
    {"ovh", {"dns.eu.ovhapis.com", "www.ovh.com"}, playDyndns2},
    {"strato", {"dyndns.strato.com"}, playDyndns2},
    {"allinkl", {"dyndns.kasserver.com"}, playDyndns2},
    {"dynv6", {"dynv6.com"}, playDynv6},
    {"dynv6-dyndns2", {"dynv6.com"}, playDyndns2},
    {"dynu", {"api.dynu.com"}, playDyndns2},
    {"desec", {"update.dedyn.io"}, playDesec},
    {"he", {"dyn.dns.he.net"}, playDyndns2},
    {"ipv64", {"ipv64.net"}, playDyndns2, nullptr, true},
    {"spdyn", {"update.spdyn.de"}, playDyndns2},
    {"selfhost", {"carol.selfhost.de"}, playDyndns2},
    {"ydns", {"ydns.io"}, playYdns},
    {"ydns-token", {"ydns.io"}, playYdnsToken, "^/hosts/update/([^/?]+)"},
    {"duckdns", {"www.duckdns.org"}, playDuckDns, "^/update/[^/?]+/([^/?]+)"},
    {"freedns", {"freedns.afraid.org"}, playFreeDns},
    {"freedns-v2", {"sync.afraid.org"}, playFreeDnsV2, "^/u/([^/?]+)"},
    {"changeip", {"nic.changeip.com"}, playDyndns2},
    {"namecheap", {"dynamicdns.park-your-domain.com"}, playNamecheap},
    {"cloudflare", {"api.cloudflare.com"}, playCloudflare},
    {"porkbun", {"api.porkbun.com"}, playPorkbun},
    {"gandi", {"api.gandi.net"}, playGandi},
    {"godaddy", {"api.godaddy.com"}, playGoDaddy},
};

} // namespace

std::span<const ProviderEntry> providerEntries()
{
    return table;
}

const ProviderEntry* providerEntry(QStringView name)
{
    const auto found = std::find_if(std::begin(table), std::end(table), [name](const ProviderEntry& entry) {
        return name == QLatin1StringView(entry.name);
    });
    return found == std::end(table) ? nullptr : found;
}

} // namespace parlowen::sim
