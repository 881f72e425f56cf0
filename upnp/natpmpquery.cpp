// NAT-PMP's public-address request, through libnatpmp.
#include "upnp/natpmpquery.h"

#include <natpmp.h>

#include <arpa/inet.h>
#include <sys/select.h>

#include <chrono>

namespace parlowen::upnp {

std::optional<HelperReply> askNatPmp(in_addr router, int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    natpmp_t natpmp{};
    // Forced to the router: the socket is connected to it, so that no other
    // host's datagram is read as its answer.
    if (initnatpmp(&natpmp, 1, router.s_addr) != 0)
        return std::nullopt;
    std::optional<HelperReply> reply;
    if (sendpublicaddressrequest(&natpmp) >= 0) {
        natpmpresp_t response{};
        int status = NATPMP_TRYAGAIN;
        while (status == NATPMP_TRYAGAIN && Clock::now() < deadline) {
            timeval wait{};
            getnatpmprequesttimeout(&natpmp, &wait);
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (wait.tv_sec * 1000000L + wait.tv_usec > left.count())
                wait = {time_t(left.count() / 1000000), suseconds_t(left.count() % 1000000)};
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(natpmp.s, &readable);
            select(natpmp.s + 1, &readable, nullptr, nullptr, &wait);
            status = readnatpmpresponseorretry(&natpmp, &response);
        }
        if (status == 0 && response.type == NATPMP_RESPTYPE_PUBLICADDRESS) {
            char text[INET_ADDRSTRLEN] = {};
            const bool none = response.pnu.publicaddress.addr.s_addr == 0;
            inet_ntop(AF_INET, &response.pnu.publicaddress.addr, text, sizeof text);
            reply = HelperReply{HelperReply::Kind::Address, none ? std::string() : std::string(text),
                                HelperReply::Service::NatPmp};
        } else if (status == NATPMP_ERR_NETWORKFAILURE) {
            // The router has no public address to tell: carrier-grade NAT.
            reply = HelperReply{HelperReply::Kind::Address, {}, HelperReply::Service::NatPmp};
        }
    }
    closenatpmp(&natpmp);
    return reply;
}

} // namespace parlowen::upnp
