// One address from this computer's own, the same one every run.
#include "check/ipv6choice.h"

#include <QHostAddress>

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

namespace parlowen {

namespace {

using Address = KernelIpv6Address;
using Addresses = std::vector<const Address*>;

bool isGlobalUnicast(const Address& address)
{
    return (address.bytes[0] & 0xe0) == 0x20;
}

bool isLoopback(const Address& address)
{
    const std::array<quint8, 16> loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return address.bytes == loopback;
}

bool isPreferred(const Address& address)
{
    using namespace Ipv6AddressFlag;
    return (address.flags & (Deprecated | Tentative | DadFailed)) == 0 && address.preferredLifetime != 0 &&
           address.validLifetime != 0;
}

bool isTemporary(const Address& address)
{
    return (address.flags & Ipv6AddressFlag::Temporary) != 0;
}

// Numerically, then by interface name: never the kernel's listing order.
bool comesFirst(const Address* a, const Address* b)
{
    return std::tie(a->bytes, a->interfaceName) < std::tie(b->bytes, b->interfaceName);
}

const Address* lowest(const Addresses& addresses)
{
    return addresses.empty() ? nullptr : *std::min_element(addresses.begin(), addresses.end(), comesFirst);
}

template <typename Keep> Addresses filtered(const Addresses& addresses, Keep keep)
{
    Addresses kept;
    std::copy_if(addresses.begin(), addresses.end(), std::back_inserter(kept),
                 [&](const Address* a) { return keep(*a); });
    return kept;
}

QString seen(const Address& address)
{
    return QStringLiteral("%1 on %2").arg(ipv6Text(address.bytes), address.interfaceName);
}

// The interfaces of the unicast default routes of the lowest metric; a route
// whose interfaces the kernel did not tell leaves through none of ours.
std::set<int> defaultRouteInterfaces(const std::vector<KernelIpv6Route>& routes)
{
    std::optional<quint32> best;
    for (const KernelIpv6Route& route : routes) {
        if (route.type == RouteType::Unicast && !route.interfaceIndexes.empty() &&
            (!best || route.metric < *best))
            best = route.metric;
    }
    std::set<int> interfaces;
    for (const KernelIpv6Route& route : routes) {
        if (route.type == RouteType::Unicast && best && route.metric == *best)
            interfaces.insert(route.interfaceIndexes.begin(), route.interfaceIndexes.end());
    }
    return interfaces;
}

QString interfaceName(const KernelIpv6View& view, int index)
{
    const auto found = view.interfaceNames.find(index);
    return found != view.interfaceNames.end() ? found->second : QStringLiteral("interface %1").arg(index);
}

QString routeInterfaceNames(const KernelIpv6View& view, const std::set<int>& interfaces)
{
    QStringList names;
    for (int index : interfaces)
        names << interfaceName(view, index);
    return names.join(QStringLiteral(", "));
}

QString whyNotPreferred(const Address& address)
{
    using namespace Ipv6AddressFlag;
    if (address.flags & DadFailed)
        return QStringLiteral("%1, which another device on the network has too").arg(seen(address));
    if (address.flags & Tentative)
        return QStringLiteral("%1, still being checked").arg(seen(address));
    return QStringLiteral("%1, deprecated").arg(seen(address));
}

std::optional<std::array<quint8, 16>> previousBytes(const QString& previous)
{
    const QString text = previous.trimmed();
    QHostAddress address;
    if (text.isEmpty() || text.contains(u'%') || !address.setAddress(text) ||
        address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const Q_IPV6ADDR raw = address.toIPv6Address();
    std::array<quint8, 16> bytes{};
    std::copy(std::begin(raw.c), std::end(raw.c), bytes.begin());
    return bytes;
}

// The best rank's addresses; previous among them, or the lowest.
Ipv6Choice choose(const Addresses& usable, const QString& previous)
{
    const bool anyStable =
        std::any_of(usable.begin(), usable.end(), [](const Address* a) { return !looksLikeDhcpv6Lease(*a); });
    const Addresses pool =
        filtered(usable, [&](const Address& a) { return looksLikeDhcpv6Lease(a) != anyStable; });
    const std::optional<std::array<quint8, 16>> kept = previousBytes(previous);
    const Addresses again = filtered(pool, [&](const Address& a) { return kept && a.bytes == *kept; });
    const Address* chosen = again.empty() ? lowest(pool) : lowest(again);
    return {ipv6Text(chosen->bytes), chosen->interfaceName};
}

} // namespace

QString ipv6Text(const std::array<quint8, 16>& bytes)
{
    return QHostAddress(bytes.data()).toString();
}

bool looksLikeDhcpv6Lease(const KernelIpv6Address& address)
{
    return address.prefixLength == 128 && (address.flags & Ipv6AddressFlag::Permanent) == 0;
}

Result<Ipv6Choice, Ipv6Absence> chooseIpv6Address(const KernelIpv6View& view, const QString& previous)
{
    Addresses all;
    for (const Address& address : view.addresses) {
        if (!isLoopback(address))
            all.push_back(&address);
    }
    if (all.empty())
        return Ipv6Absence::NoIpv6;
    const Addresses global = filtered(all, isGlobalUnicast);
    if (global.empty())
        return {Ipv6Absence::OnlyLinkLocalOrPrivate, seen(*lowest(all))};
    const std::set<int> routeInterfaces = defaultRouteInterfaces(view.defaultRoutes);
    if (routeInterfaces.empty())
        return {Ipv6Absence::NoDefaultRoute, seen(*lowest(global))};
    const Addresses routed =
        filtered(global, [&](const Address& a) { return routeInterfaces.count(a.interfaceIndex) > 0; });
    if (routed.empty()) {
        return {Ipv6Absence::OnOtherInterfaces,
                QStringLiteral("the default route leaves through %1; %2")
                    .arg(routeInterfaceNames(view, routeInterfaces), seen(*lowest(global)))};
    }
    const Addresses lasting = filtered(routed, [](const Address& a) { return !isTemporary(a); });
    if (lasting.empty())
        return {Ipv6Absence::OnlyTemporary, seen(*lowest(routed))};
    const Addresses usable = filtered(lasting, isPreferred);
    if (usable.empty())
        return {Ipv6Absence::OnlyDeprecatedOrTentative, whyNotPreferred(*lowest(lasting))};
    return choose(usable, previous);
}

QString toString(Ipv6Absence absence)
{
    switch (absence) {
    case Ipv6Absence::NoIpv6:
        return QStringLiteral(
            "This computer has no IPv6 address: IPv6 is turned off on it or on its network. Turn IPv6 on "
            "for its network connection, or set IPv6=no to keep the name's IPv4 address alone.");
    case Ipv6Absence::OnlyLinkLocalOrPrivate:
        return QStringLiteral(
            "This computer has only local IPv6 addresses (link-local or private), which the Internet cannot "
            "reach: the router gives the home network no IPv6 of the Internet provider's. Check that IPv6 "
            "is turned on in the router and that the provider offers it, or set IPv6=no.");
    case Ipv6Absence::NoDefaultRoute:
        return QStringLiteral(
            "This computer has a global IPv6 address but no IPv6 route to the Internet, so nothing from "
            "outside would reach it there. Check that the router announces itself for IPv6 (router "
            "advertisements), or set IPv6=no.");
    case Ipv6Absence::OnOtherInterfaces:
        return QStringLiteral(
            "This computer's global IPv6 addresses are on another network connection than the one its IPv6 "
            "traffic to the Internet leaves through. Check which connection leads to the home router and "
            "that it has IPv6, or set IPv6=no.");
    case Ipv6Absence::OnlyTemporary:
        return QStringLiteral(
            "This computer has only temporary IPv6 privacy addresses, which change every day or so, so a "
            "name pointing at one would soon lead nowhere. Let the network connection keep a stable IPv6 "
            "address beside them, or set IPv6=no.");
    case Ipv6Absence::OnlyDeprecatedOrTentative:
        return QStringLiteral(
            "This computer's IPv6 addresses are still being checked on the network, or are being given up "
            "because the router no longer offers their prefix. Try again in a minute; if it stays so, "
            "restart the router or set IPv6=no.");
    case Ipv6Absence::KernelUnreadable:
        return QStringLiteral(
            "This computer's list of IPv6 addresses could not be read from the system. Try again; if it "
            "keeps failing, set IPv6=no.");
    }
    return {};
}

} // namespace parlowen
