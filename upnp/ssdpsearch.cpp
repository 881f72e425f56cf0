// SSDP's M-SEARCH, sent to the router and to the group, read as it comes.
#include "upnp/ssdpsearch.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string_view>

namespace parlowen::upnp {

namespace {

constexpr unsigned short SsdpPort = 1900;

// A gateway of either version, or a device that names the service itself;
// and any root device, for a router that answers only that.
constexpr std::string_view SearchTargets[] = {
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
    "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
    "urn:schemas-upnp-org:service:WANIPConnection:1",
    "urn:schemas-upnp-org:service:WANPPPConnection:1",
    "upnp:rootdevice",
};

std::string searchFor(std::string_view target, const std::string& host)
{
    return "M-SEARCH * HTTP/1.1\r\nHOST: " + host +
           "\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\nST: " + std::string(target) + "\r\n\r\n";
}

// The LOCATION header's value, or empty.
std::string locationIn(std::string_view datagram)
{
    while (!datagram.empty()) {
        const std::size_t end = datagram.find("\r\n");
        std::string_view line = datagram.substr(0, end);
        datagram = end == std::string_view::npos ? std::string_view() : datagram.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string name(line.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (name != "location")
            continue;
        line.remove_prefix(colon + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        return std::string(line);
    }
    return {};
}

void sendSearches(int socket, in_addr router)
{
    sockaddr_in unicast{};
    unicast.sin_family = AF_INET;
    unicast.sin_port = htons(SsdpPort);
    unicast.sin_addr = router;
    sockaddr_in group = unicast;
    inet_pton(AF_INET, "239.255.255.250", &group.sin_addr);
    char routerText[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &router, routerText, sizeof routerText);
    for (std::string_view target : SearchTargets) {
        const std::string direct = searchFor(target, std::string(routerText) + ":1900");
        const std::string everyone = searchFor(target, "239.255.255.250:1900");
        // Either may fail (no route for multicast, say); the other still asks.
        sendto(socket, direct.data(), direct.size(), 0, reinterpret_cast<const sockaddr*>(&unicast),
               sizeof unicast);
        sendto(socket, everyone.data(), everyone.size(), 0, reinterpret_cast<const sockaddr*>(&group),
               sizeof group);
    }
}

} // namespace

void searchGateways(in_addr router, int milliseconds,
                    const std::function<bool(const std::string& location)>& answered)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return;
    const unsigned char hops = 2;
    setsockopt(socket, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);
    sendSearches(socket, router);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{socket, POLLIN, 0};
        if (left <= 0 || poll(&waiting, 1, int(left)) <= 0)
            break;
        char datagram[2048];
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        const ssize_t size =
            recvfrom(socket, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (size <= 0)
            continue;
        const std::string location = locationIn(std::string_view(datagram, std::size_t(size)));
        if (!location.empty() && answered(location))
            break;
    }
    close(socket);
}

} // namespace parlowen::upnp
