#pragma once
// Which of this computer's own IPv6 addresses the name's AAAA record gets.
// IPv6 has no NAT in front of the home, so the address is the computer's
// own: one of those the kernel lists, on the interface the default route
// leaves through, chosen from that list alone, with no outside server asked.
// Pure: the kernel's view comes in as plain data (ownaddress/ reads it).

#include "common/result.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <map>
#include <vector>

namespace parlowen {

// The kernel's IFA_F_* address flags (linux/if_addr.h), so that this folder
// needs no kernel header; ownaddress/ checks that the values agree.
namespace Ipv6AddressFlag {
constexpr quint32 Temporary = 0x01; // a privacy address (RFC 8981), which changes by design
constexpr quint32 NoDad = 0x02;
constexpr quint32 Optimistic = 0x04;
constexpr quint32 DadFailed = 0x08; // another host on the link has it
constexpr quint32 HomeAddress = 0x10;
constexpr quint32 Deprecated = 0x20;         // still valid, no longer to be used for new connections
constexpr quint32 Tentative = 0x40;          // duplicate address detection has not finished
constexpr quint32 Permanent = 0x80;          // configured by hand, with no lifetime
constexpr quint32 ManageTemporaries = 0x100; // SLAAC's stable address that temporaries derive from
constexpr quint32 NoPrefixRoute = 0x200;
constexpr quint32 MulticastAutoJoin = 0x400;
constexpr quint32 StablePrivacy = 0x800; // RFC 7217's stable interface identifier
} // namespace Ipv6AddressFlag

// The kernel's "forever" for a lifetime.
constexpr quint32 kIpv6LifetimeForever = 0xffffffffu;

// One IPv6 address as the kernel lists it.
struct KernelIpv6Address {
    std::array<quint8, 16> bytes{};
    int interfaceIndex = 0;
    QString interfaceName;
    int prefixLength = 0;
    quint32 flags = 0;                                // Ipv6AddressFlag values
    quint32 preferredLifetime = kIpv6LifetimeForever; // seconds left
    quint32 validLifetime = kIpv6LifetimeForever;     // seconds left
};

// What a route with this destination does with a packet: only Unicast sends
// it anywhere; the others refuse it (the kernel's RTN_* types).
enum class RouteType { Unicast, Unreachable, Blackhole, Prohibit, Other };

// One IPv6 default route (::/0) of the main table.
struct KernelIpv6Route {
    std::vector<int> interfaceIndexes; // its output interface, or every nexthop of a multipath route
    quint32 metric = 0;
    RouteType type = RouteType::Unicast;
};

struct KernelIpv6View {
    std::vector<KernelIpv6Address> addresses;
    std::vector<KernelIpv6Route> defaultRoutes;
    std::map<int, QString> interfaceNames; // by index, to name a route's interface in words
};

struct Ipv6Choice {
    QString address;       // canonical: lowercase, compressed, no zone
    QString interfaceName; // where it is
    bool operator==(const Ipv6Choice&) const = default;
};

// Why there is no address to send. Each comes with a detail naming the
// interface and an address seen, where there is one.
enum class Ipv6Absence {
    NoIpv6,                    // no IPv6 address on any interface but loopback
    OnlyLinkLocalOrPrivate,    // fe80::/10, fc00::/7 and the like, which the Internet cannot reach
    NoDefaultRoute,            // global addresses, but no unicast route to the IPv6 Internet
    OnOtherInterfaces,         // global addresses, none where the default route leaves
    OnlyTemporary,             // only privacy addresses there, which change by design
    OnlyDeprecatedOrTentative, // the stable ones are going away, or not yet checked
    KernelUnreadable,          // the kernel's list could not be read
};

QString toString(Ipv6Absence absence);

// How the stable addresses of the route's interface are told from DHCPv6's:
// a /128 that is not configured by hand (no Permanent flag) is DHCPv6's
// shape (dhclient, NetworkManager and systemd-networkd all add a lease as a
// /128 with its lifetimes); every other non-temporary global address, hand
// configured, EUI-64, stable-privacy or SLAAC's /64, is stable.
bool looksLikeDhcpv6Lease(const KernelIpv6Address& address);

// The address to send. Only a global unicast address (2000::/3) on an
// interface of the lowest-metric unicast default route, neither temporary,
// deprecated, tentative nor failed, is ever chosen; stable ones before
// DHCPv6 leases. Among those of the best rank, `previous` (the address last
// accepted) while it is one of them, otherwise the numerically lowest, so
// that every run chooses the same whatever order the kernel lists them in.
Result<Ipv6Choice, Ipv6Absence> chooseIpv6Address(const KernelIpv6View& view, const QString& previous);

// The address in canonical text.
QString ipv6Text(const std::array<quint8, 16>& bytes);

} // namespace parlowen
