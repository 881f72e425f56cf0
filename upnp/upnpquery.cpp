// parlowen-upnp ROUTER [CONTROL_URL SERVICE_TYPE]: asks the router at ROUTER
// for its external address and writes one reply to standard output (see
// upnp/helperreply.h): the UPnP gateway it had last time, if named, then
// its NAT-PMP service, then any UPnP gateway a search finds at ROUTER.
//
// miniupnpc blocks, with timeouts of its own of up to several seconds a
// read, so a gateway that trickles its answer could hold a thread of ours
// for as long as it liked. In a process of its own the query has an owner
// that can end it at once (GatewayQuery kills it at its deadline or when
// the check is cancelled), and limits that a hostile answer cannot talk
// its way past.
#include "upnp/helperreply.h"
#include "upnp/igdquery.h"
#include "upnp/natpmpquery.h"
#include "upnp/ssdpsearch.h"

#include <miniupnpc/miniupnpc.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

using parlowen::upnp::HelperReply;
using parlowen::upnp::writeReply;

// The search waits at most this long, for a router that answers at all.
constexpr int DiscoveryMilliseconds = 2000;
// NAT-PMP's first retry comes after 250 ms; a router that speaks it has
// answered long before the second.
constexpr int NatPmpMilliseconds = 500;

// What miniupnpc's own search looks for, where ours cannot go: a router
// that has an IPv6 address alone.
const char* const GatewayKinds[] = {
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
    "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
    "urn:schemas-upnp-org:service:WANIPConnection:1",
    "urn:schemas-upnp-org:service:WANPPPConnection:1",
    "upnp:rootdevice",
    nullptr,
};

#ifndef __has_feature
#define __has_feature(feature) 0
#endif
// AddressSanitizer has reserved terabytes of address space before main().
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool LimitAddressSpace = false;
#else
constexpr bool LimitAddressSpace = true;
#endif

void limitThisProcess()
{
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    // A description or an answer is a few kilobytes; anything that needs
    // more is not a gateway worth waiting for.
    const rlimit memory{256UL << 20, 256UL << 20};
    if (LimitAddressSpace)
        setrlimit(RLIMIT_AS, &memory);
    const rlimit processor{10, 10};
    setrlimit(RLIMIT_CPU, &processor);
}

// Every address the router's name stands for.
std::set<std::string> addressesOf(const char* router)
{
    std::set<std::string> addresses;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(router, nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        char buffer[INET6_ADDRSTRLEN] = {};
        const void* raw =
            entry->ai_family == AF_INET
                ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr)
                : static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(entry->ai_addr)->sin6_addr);
        if (inet_ntop(entry->ai_family, raw, buffer, sizeof buffer))
            addresses.insert(buffer);
    }
    freeaddrinfo(found);
    return addresses;
}

// What the description at location gives: an answer, or why not; true
// once the router's gateway has answered with an address.
bool askedAt(const std::string& location, const std::set<std::string>& router, std::set<std::string>& asked,
             HelperReply& reply)
{
    const std::string host = parlowen::upnp::canonicalAddress(parlowen::upnp::hostOfUrl(location));
    if (!router.count(host)) {
        if (reply.kind == HelperReply::Kind::NoGateway)
            reply = {HelperReply::Kind::Elsewhere, host.empty() ? std::string("another host") : host};
        return false;
    }
    if (!asked.insert(location).second)
        return false;
    HelperReply whyNot{HelperReply::Kind::NotAGateway, {}};
    const auto control = parlowen::upnp::gatewayDescribedAt(location, router, whyNot);
    if (!control) {
        if (reply.kind != HelperReply::Kind::GatewayError)
            reply = whyNot;
        return false;
    }
    reply = parlowen::upnp::askGateway(*control);
    return reply.kind == HelperReply::Kind::Address;
}

// The search, ours where the router has an IPv4 address, miniupnpc's where
// it has only IPv6.
HelperReply search(const std::set<std::string>& router, const std::optional<in_addr>& ipv4)
{
    HelperReply reply{HelperReply::Kind::NoGateway, {}};
    std::set<std::string> asked;
    if (ipv4) {
        parlowen::upnp::searchGateways(*ipv4, DiscoveryMilliseconds, [&](const std::string& location) {
            return askedAt(location, router, asked, reply);
        });
        return reply;
    }
    int error = 0;
    UPNPDev* devices = upnpDiscoverDevices(GatewayKinds, DiscoveryMilliseconds, nullptr, nullptr,
                                           UPNP_LOCAL_PORT_ANY, 1, 2, &error, 1);
    for (const UPNPDev* device = devices; device; device = device->pNext) {
        if (askedAt(device->descURL, router, asked, reply))
            break;
    }
    freeUPNPDevlist(devices);
    return reply;
}

std::optional<in_addr> ipv4Of(const std::set<std::string>& addresses)
{
    for (const std::string& address : addresses) {
        in_addr ipv4{};
        if (inet_pton(AF_INET, address.c_str(), &ipv4) == 1)
            return ipv4;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    limitThisProcess();
    if (argc != 2 && argc != 4) {
        std::fputs("usage: parlowen-upnp ROUTER [CONTROL_URL SERVICE_TYPE]\n", stderr);
        return 2;
    }
    const std::set<std::string> router = addressesOf(argv[1]);
    if (router.empty())
        return writeReply(stdout, {HelperReply::Kind::Unresolved, {}});
    // The gateway of last time, asked directly; only where it is the router.
    // It comes before NAT-PMP because it was remembered when NAT-PMP did not
    // answer: a router that ignores NAT-PMP would cost its whole wait each time.
    if (argc == 4 && router.count(parlowen::upnp::canonicalAddress(parlowen::upnp::hostOfUrl(argv[2])))) {
        const HelperReply reply = parlowen::upnp::askGateway({argv[2], argv[3]});
        if (reply.kind == HelperReply::Kind::Address)
            return writeReply(stdout, reply);
    }
    const std::optional<in_addr> ipv4 = ipv4Of(router);
    if (ipv4) {
        if (const std::optional<HelperReply> reply = parlowen::upnp::askNatPmp(*ipv4, NatPmpMilliseconds))
            return writeReply(stdout, *reply);
    }
    return writeReply(stdout, search(router, ipv4));
}
