// Whether an address the router reports is reachable from the Internet.
#include "check/addressscope.h"

#include <QHostAddress>

#include <array>
#include <optional>

namespace parlowen {

namespace {

struct Range {
    const char* network;
    int prefix;
    AddressScope scope;
};

// Checked in order; the first range that holds the address decides.
constexpr std::array<Range, 11> Ipv4Ranges{{
    {"0.0.0.0", 8, AddressScope::ThisNetwork},
    {"10.0.0.0", 8, AddressScope::Private},
    {"100.64.0.0", 10, AddressScope::SharedNat},
    {"127.0.0.0", 8, AddressScope::Loopback},
    {"169.254.0.0", 16, AddressScope::LinkLocal},
    {"172.16.0.0", 12, AddressScope::Private},
    {"192.0.2.0", 24, AddressScope::Documentation},
    {"192.168.0.0", 16, AddressScope::Private},
    {"198.18.0.0", 15, AddressScope::Benchmarking},
    {"198.51.100.0", 24, AddressScope::Documentation},
    {"203.0.113.0", 24, AddressScope::Documentation},
}};

constexpr std::array<Range, 6> Ipv6Ranges{{
    {"::", 128, AddressScope::ThisNetwork},
    {"::1", 128, AddressScope::Loopback},
    {"fc00::", 7, AddressScope::Private},
    {"fe80::", 10, AddressScope::LinkLocal},
    {"2001:db8::", 32, AddressScope::Documentation},
    {"ff00::", 8, AddressScope::Multicast},
}};

// Four decimal numbers from 0 to 255, nothing else.
std::optional<quint32> dottedQuad(QStringView text)
{
    quint32 address = 0;
    int parts = 0;
    for (QStringView part : text.split(u'.')) {
        if (part.isEmpty() || part.size() > 3 || ++parts > 4)
            return std::nullopt;
        int value = 0;
        for (QChar c : part) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c.unicode() - u'0');
        }
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | quint32(value);
    }
    if (parts != 4)
        return std::nullopt;
    return address;
}

template <size_t N>
AddressScope scopeIn(const std::array<Range, N>& ranges, const QHostAddress& address, AddressScope otherwise)
{
    for (const Range& range : ranges) {
        if (address.isInSubnet(QHostAddress(QString::fromLatin1(range.network)), range.prefix))
            return range.scope;
    }
    return otherwise;
}

AddressScope ipv4Scope(quint32 address)
{
    // 224/4 is multicast and 240/4 reserved; together they are 224/3.
    if (address >> 28 == 0xE)
        return AddressScope::Multicast;
    if (address >> 28 == 0xF)
        return AddressScope::Reserved;
    return scopeIn(Ipv4Ranges, QHostAddress(address), AddressScope::Public);
}

// Why a router reports such an address, as far as its scope tells.
QString whyNotPublic(AddressScope scope)
{
    if (scope == AddressScope::SharedNat)
        return QStringLiteral("The Internet provider shares one public address among many homes "
                              "(carrier-grade NAT).");
    if (scope == AddressScope::Private)
        return QStringLiteral(
            "The router sits behind another router, or behind the Internet provider's NAT.");
    return QStringLiteral("The router may sit behind another NAT, another router's or the Internet "
                          "provider's, or not be connected to the Internet yet.");
}

// An IPv6 address has no provider's NAT to be asked away; an IPv4 one may,
// and where the home has IPv6 too, that may reach it where IPv4 cannot.
QString whatToDo(QStringView address)
{
    if (address.contains(u':') && !address.contains(u'.'))
        return QStringLiteral("Check the router's IPv6 settings, or ask the Internet provider for a public "
                              "IPv6 prefix.");
    return QStringLiteral("Ask the Internet provider for a public IPv4 address. Where the home has IPv6, the "
                          "host name may reach it over IPv6 where IPv4 cannot.");
}

} // namespace

AddressScope addressScope(QStringView address)
{
    const QStringView text = address.trimmed();
    if (const std::optional<quint32> ipv4 = dottedQuad(text))
        return ipv4Scope(*ipv4);
    // Without the colon test QHostAddress would take "127.1" or "0x7f.0.0.1"
    // as IPv4, forms no router writes in its log.
    QHostAddress ipv6;
    if (!text.contains(u':') || !ipv6.setAddress(text.toString()) ||
        ipv6.protocol() != QAbstractSocket::IPv6Protocol)
        return AddressScope::NotAnAddress;
    bool mapped = false;
    const quint32 ipv4 = ipv6.toIPv4Address(&mapped);
    if (mapped)
        return ipv4Scope(ipv4);
    return scopeIn(Ipv6Ranges, ipv6, AddressScope::Public);
}

QString toString(AddressScope scope)
{
    switch (scope) {
    case AddressScope::Public:
        return QStringLiteral("a public address");
    case AddressScope::NotAnAddress:
        return QStringLiteral("not an IP address");
    case AddressScope::ThisNetwork:
        return QStringLiteral("an all-zero address that names no host");
    case AddressScope::Loopback:
        return QStringLiteral("a loopback address");
    case AddressScope::Private:
        return QStringLiteral("a private address");
    case AddressScope::SharedNat:
        return QStringLiteral("a carrier-grade NAT address");
    case AddressScope::LinkLocal:
        return QStringLiteral("a link-local address");
    case AddressScope::Documentation:
        return QStringLiteral("an address reserved for documentation");
    case AddressScope::Benchmarking:
        return QStringLiteral("an address reserved for network benchmarks");
    case AddressScope::Multicast:
        return QStringLiteral("a multicast address");
    case AddressScope::Reserved:
        return QStringLiteral("a reserved address");
    }
    return {};
}

std::optional<QString> addressWarning(const QString& address, const QString& shown)
{
    const AddressScope scope = addressScope(address);
    if (scope == AddressScope::Public)
        return std::nullopt;
    if (scope == AddressScope::NotAnAddress)
        return QStringLiteral("\"%1\" is not an IP address; it is sent as the router wrote it.").arg(shown);
    return QStringLiteral("%1 is %2, not a public one, so the host name will not lead to this home from the "
                          "Internet. %3 %4")
        .arg(shown.trimmed(), toString(scope), whyNotPublic(scope), whatToDo(address));
}

} // namespace parlowen
