// Only an address is ever sent.
#include "check/sendableaddress.h"

#include "check/addressscope.h"

#include <QHostAddress>

namespace parlowen {

namespace {

// The canonical form, or nothing for a value that is no literal of either
// family as a router writes it (no zone, no other spelling of IPv4).
std::optional<QHostAddress> literal(const QString& text)
{
    if (text.isEmpty() || text.contains(u'%'))
        return std::nullopt;
    const AddressScope scope = addressScope(text);
    if (scope == AddressScope::NotAnAddress)
        return std::nullopt;
    if (!text.contains(u':')) {
        // Decimal, whatever its zeros: addressScope has read it so.
        quint32 address = 0;
        for (QStringView part : QStringView(text).split(u'.'))
            address = (address << 8) | quint32(part.toUInt());
        return QHostAddress(address);
    }
    return QHostAddress(text);
}

} // namespace

QString toString(AddressSource source)
{
    switch (source) {
    case AddressSource::RouterLog:
        return QStringLiteral("the router's log");
    case AddressSource::Upnp:
        return QStringLiteral("the router's UPnP service");
    case AddressSource::NatPmp:
        return QStringLiteral("the router's NAT-PMP service");
    case AddressSource::ThisComputer:
        return QStringLiteral("this computer's own network interface");
    }
    return {};
}

Result<QString, AddressRefusal> sendableAddress(const QString& value, AddressSource source)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return source == AddressSource::RouterLog ? AddressRefusal::Empty : AddressRefusal::NoPublicAddress;
    const std::optional<QHostAddress> address = literal(text);
    if (!address)
        return AddressRefusal::NotAnAddress;
    bool mapped = false;
    address->toIPv4Address(&mapped);
    const bool ipv6 = address->protocol() == QAbstractSocket::IPv6Protocol;
    if (ipv6 && (source != AddressSource::RouterLog || mapped))
        return mapped ? AddressRefusal::NotAnAddress : AddressRefusal::Ipv6FromService;
    switch (addressScope(text)) {
    case AddressScope::ThisNetwork:
        return AddressRefusal::NamesNoHost;
    case AddressScope::Multicast:
        return AddressRefusal::Multicast;
    case AddressScope::Reserved:
        return AddressRefusal::Reserved;
    default:
        break;
    }
    return address->toString();
}

QString refusalReason(AddressRefusal refusal, AddressSource source, const QString& shown)
{
    const QString gave = QStringLiteral("%1 gave %2").arg(toString(source), shown);
    switch (refusal) {
    case AddressRefusal::Empty:
        return QStringLiteral(
            "the log's \"WAN IP is \" line has no address after it, and an empty one is never "
            "sent: a provider takes it for the address the request comes from, or deletes the "
            "name's record.");
    case AddressRefusal::NoPublicAddress:
        return QStringLiteral(
                   "%1 answered with no address: the router has no public address of its own, because "
                   "the Internet provider shares one among many homes (carrier-grade NAT) or another "
                   "router stands in front of it, so no IPv4 update can reach it. Ask the Internet "
                   "provider for a public IPv4 address, or use the address of the router in front.")
            .arg(toString(source));
    case AddressRefusal::NotAnAddress:
        return QStringLiteral("%1, which is not an IP address, so nothing was sent.").arg(gave);
    case AddressRefusal::NamesNoHost:
        return QStringLiteral(
                   "%1, an all-zero address that names no host: a router writes it while it is still "
                   "connecting. Nothing was sent; try again in a minute.")
            .arg(gave);
    case AddressRefusal::Multicast:
        return QStringLiteral(
                   "%1, a multicast address, which no host name can point at, so nothing was sent.")
            .arg(gave);
    case AddressRefusal::Reserved:
        return QStringLiteral(
                   "%1, a reserved or broadcast address, which no host name can point at, so nothing was "
                   "sent.")
            .arg(gave);
    case AddressRefusal::Ipv6FromService:
        return QStringLiteral(
                   "%1, an IPv6 address, where it should tell the router's IPv4 address, so nothing was "
                   "sent.")
            .arg(gave);
    }
    return {};
}

} // namespace parlowen
