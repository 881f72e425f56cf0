// parlowen-upnp ROUTER: asks the UPnP gateway at ROUTER for its external
// address and writes one reply to standard output (see upnp/helperreply.h).
//
// miniupnpc blocks, with timeouts of its own of up to several seconds a
// read, so a gateway that trickles its answer could hold a thread of ours
// for as long as it liked. In a process of its own the query has an owner
// that can end it at once (GatewayQuery kills it at its deadline or when
// the check is cancelled), and limits that a hostile answer cannot talk
// its way past.
#include "upnp/helperreply.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

using parlowen::upnp::HelperReply;

// Discovery waits this long for gateways to answer the search, once for
// all the kinds searched for.
constexpr int DiscoveryMilliseconds = 2000;

// A gateway of either version, or a device that names the service itself;
// and any root device, for a router that answers only that. Whatever
// answers from the router's address is then asked for its description.
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

// The address as inet_ntop writes it, so that "127.000.000.001" from a
// gateway and "127.0.0.1" from the settings compare equal; empty when the
// text is no numeric address.
std::string canonicalAddress(const std::string& text)
{
    in_addr v4{};
    in6_addr v6{};
    char buffer[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return inet_ntop(AF_INET, &v4, buffer, sizeof buffer) ? buffer : "";
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return inet_ntop(AF_INET6, &v6, buffer, sizeof buffer) ? buffer : "";
    return {};
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

} // namespace

int main(int argc, char* argv[])
{
    limitThisProcess();
    if (argc != 2) {
        std::fputs("usage: parlowen-upnp ROUTER\n", stderr);
        return 2;
    }
    const std::set<std::string> router = addressesOf(argv[1]);
    if (router.empty())
        return parlowen::upnp::writeReply(stdout, {HelperReply::Kind::Unresolved, {}});

    int error = 0;
    UPNPDev* devices = upnpDiscoverDevices(GatewayKinds, DiscoveryMilliseconds, nullptr, nullptr,
                                           UPNP_LOCAL_PORT_ANY, 0, 2, &error, 1);
    HelperReply reply{HelperReply::Kind::NoGateway, {}};
    std::set<std::string> asked;
    for (const UPNPDev* device = devices; device; device = device->pNext) {
        const std::string host = canonicalAddress(parlowen::upnp::hostOfUrl(device->descURL));
        if (!router.count(host)) {
            if (reply.kind == HelperReply::Kind::NoGateway)
                reply = {HelperReply::Kind::Elsewhere, host.empty() ? std::string("another host") : host};
            continue;
        }
        if (!asked.insert(device->descURL).second)
            continue;
        UPNPUrls urls{};
        IGDdatas data{};
        char lanAddress[64] = {};
        if (UPNP_GetIGDFromUrl(device->descURL, &urls, &data, lanAddress, sizeof lanAddress) != 1) {
            reply = {HelperReply::Kind::NotAGateway, {}};
            continue;
        }
        const bool wan = std::strstr(data.first.servicetype, ":service:WANIPConnection:") ||
                         std::strstr(data.first.servicetype, ":service:WANPPPConnection:");
        // The description names where to send the query; only the router
        // itself is asked.
        if (!wan || !urls.controlURL ||
            !router.count(canonicalAddress(parlowen::upnp::hostOfUrl(urls.controlURL)))) {
            if (reply.kind != HelperReply::Kind::GatewayError)
                reply = {HelperReply::Kind::NotAGateway, {}};
            FreeUPNPUrls(&urls);
            continue;
        }
        char external[40] = {};
        const int status = UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, external);
        FreeUPNPUrls(&urls);
        if (status == UPNPCOMMAND_SUCCESS) {
            freeUPNPDevlist(devices);
            return parlowen::upnp::writeReply(stdout, {HelperReply::Kind::Address, external});
        }
        reply = {HelperReply::Kind::GatewayError, std::to_string(status)};
    }
    freeUPNPDevlist(devices);
    return parlowen::upnp::writeReply(stdout, reply);
}
