// Reading rtnetlink answers without trusting a single length in them.
#include "ownaddress/netlinkview.h"

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cstring>
#include <optional>

namespace parlowen {

// check/ spells the flags without the kernel's header; they must agree.
static_assert(Ipv6AddressFlag::Temporary == IFA_F_TEMPORARY && Ipv6AddressFlag::NoDad == IFA_F_NODAD &&
              Ipv6AddressFlag::Optimistic == IFA_F_OPTIMISTIC &&
              Ipv6AddressFlag::DadFailed == IFA_F_DADFAILED &&
              Ipv6AddressFlag::HomeAddress == IFA_F_HOMEADDRESS &&
              Ipv6AddressFlag::Deprecated == IFA_F_DEPRECATED &&
              Ipv6AddressFlag::Tentative == IFA_F_TENTATIVE &&
              Ipv6AddressFlag::Permanent == IFA_F_PERMANENT &&
              Ipv6AddressFlag::ManageTemporaries == IFA_F_MANAGETEMPADDR &&
              Ipv6AddressFlag::NoPrefixRoute == IFA_F_NOPREFIXROUTE &&
              Ipv6AddressFlag::MulticastAutoJoin == IFA_F_MCAUTOJOIN &&
              Ipv6AddressFlag::StablePrivacy == IFA_F_STABLE_PRIVACY);

namespace {

// A struct from the front of bytes, or nothing where they are too few.
template <typename T> std::optional<T> leading(QByteArrayView bytes)
{
    if (bytes.size() < qsizetype(sizeof(T)))
        return std::nullopt;
    T value;
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

// What follows a header of alignedSize bytes, or nothing where even that is cut short.
std::optional<QByteArrayView> after(QByteArrayView bytes, qsizetype alignedSize)
{
    if (bytes.size() < alignedSize)
        return std::nullopt;
    return bytes.sliced(alignedSize);
}

// Calls take(type, payload) for each attribute; false where one is cut short
// or take refuses one.
template <typename Take> bool forEachAttribute(QByteArrayView bytes, Take take)
{
    while (bytes.size() >= qsizetype(sizeof(rtattr))) {
        const rtattr header = *leading<rtattr>(bytes);
        if (header.rta_len < sizeof(rtattr) || header.rta_len > bytes.size())
            return false;
        if (!take(quint16(header.rta_type & NLA_TYPE_MASK),
                  bytes.sliced(RTA_LENGTH(0), header.rta_len - RTA_LENGTH(0))))
            return false;
        const qsizetype next = RTA_ALIGN(header.rta_len);
        bytes = next >= bytes.size() ? QByteArrayView() : bytes.sliced(next);
    }
    return bytes.isEmpty();
}

std::optional<quint32> u32(QByteArrayView payload)
{
    return payload.size() == 4 ? leading<quint32>(payload) : std::nullopt;
}

RouteType routeType(quint8 type)
{
    switch (type) {
    case RTN_UNICAST:
        return RouteType::Unicast;
    case RTN_UNREACHABLE:
        return RouteType::Unreachable;
    case RTN_BLACKHOLE:
        return RouteType::Blackhole;
    case RTN_PROHIBIT:
        return RouteType::Prohibit;
    default:
        return RouteType::Other;
    }
}

// The live nexthops' interfaces of RTA_MULTIPATH, or nothing where one is cut short.
std::optional<std::vector<int>> nexthopInterfaces(QByteArrayView bytes)
{
    std::vector<int> interfaces;
    while (!bytes.isEmpty()) {
        const std::optional<rtnexthop> hop = leading<rtnexthop>(bytes);
        if (!hop || hop->rtnh_len < sizeof(rtnexthop) || hop->rtnh_len > bytes.size())
            return std::nullopt;
        if (interfaces.size() >= NetlinkViewParser::kMostNexthops)
            return std::nullopt;
        if (!(hop->rtnh_flags & RTNH_F_DEAD))
            interfaces.push_back(hop->rtnh_ifindex);
        const qsizetype next = RTNH_ALIGN(hop->rtnh_len);
        bytes = next >= bytes.size() ? QByteArrayView() : bytes.sliced(next);
    }
    return interfaces;
}

QString systemWords(qint64 negativeErrno)
{
    const qint64 error = -negativeErrno;
    if (error <= 0 || error > 4095)
        return QStringLiteral("error %1").arg(negativeErrno);
    return QString::fromLocal8Bit(std::strerror(int(error)));
}

} // namespace

DumpProgress NetlinkViewParser::broken(const QString& fault)
{
    m_fault = fault;
    return DumpProgress::Broken;
}

bool NetlinkViewParser::refuse(const QString& fault)
{
    m_fault = fault;
    return false;
}

DumpProgress NetlinkViewParser::read(QByteArrayView datagram, NetlinkDump dump, quint32 sequence)
{
    if (!m_fault.isEmpty())
        return DumpProgress::Broken;
    while (!datagram.isEmpty()) {
        const std::optional<nlmsghdr> header = leading<nlmsghdr>(datagram);
        if (!header || header->nlmsg_len < NLMSG_HDRLEN || header->nlmsg_len > datagram.size())
            return broken(QStringLiteral("a message cut short"));
        const QByteArrayView payload = datagram.sliced(NLMSG_HDRLEN, header->nlmsg_len - NLMSG_HDRLEN);
        const qsizetype next = NLMSG_ALIGN(header->nlmsg_len);
        datagram = next >= datagram.size() ? QByteArrayView() : datagram.sliced(next);
        if (header->nlmsg_seq != sequence)
            continue;
        if (header->nlmsg_flags & NLM_F_DUMP_INTR)
            m_interrupted = true;
        if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
            // Both begin with the error, 0 for none; an error's ack of 0 does not end a dump.
            const std::optional<qint32> error = leading<qint32>(payload);
            if (error && *error < 0)
                return broken(QStringLiteral("the kernel answered: %1").arg(systemWords(*error)));
            if (header->nlmsg_type == NLMSG_DONE)
                return DumpProgress::Ended;
            if (!error)
                return broken(QStringLiteral("an error message cut short"));
            continue;
        }
        if (header->nlmsg_type == NLMSG_OVERRUN)
            return broken(QStringLiteral("the kernel lost part of its answer"));
        if (!readMessage(header->nlmsg_type, payload, dump))
            return DumpProgress::Broken;
    }
    return DumpProgress::Continues;
}

bool NetlinkViewParser::readMessage(quint16 type, QByteArrayView payload, NetlinkDump dump)
{
    if (dump == NetlinkDump::Links && type == RTM_NEWLINK)
        return readLink(payload);
    if (dump == NetlinkDump::Addresses && type == RTM_NEWADDR)
        return readAddress(payload);
    if (dump == NetlinkDump::Routes && type == RTM_NEWROUTE)
        return readRoute(payload);
    return true; // NLMSG_NOOP and whatever a later kernel adds
}

bool NetlinkViewParser::readLink(QByteArrayView payload)
{
    const std::optional<ifinfomsg> link = leading<ifinfomsg>(payload);
    const std::optional<QByteArrayView> attributes = after(payload, NLMSG_ALIGN(sizeof(ifinfomsg)));
    if (!link || !attributes)
        return refuse(QStringLiteral("an interface cut short"));
    std::optional<QString> name;
    const bool whole = forEachAttribute(*attributes, [&](quint16 type, QByteArrayView value) {
        if (type != IFLA_IFNAME)
            return true;
        const qsizetype end = value.indexOf('\0');
        if (end < 1 || end >= IFNAMSIZ)
            return false;
        name = QString::fromUtf8(value.first(end));
        return true;
    });
    if (!whole || !name)
        return refuse(QStringLiteral("an interface without a name that can be read"));
    if (m_view.interfaceNames.size() >= kMostInterfaces)
        return refuse(QStringLiteral("more interfaces than %1").arg(kMostInterfaces));
    m_view.interfaceNames[link->ifi_index] = *name;
    return true;
}

bool NetlinkViewParser::readAddress(QByteArrayView payload)
{
    const std::optional<ifaddrmsg> message = leading<ifaddrmsg>(payload);
    const std::optional<QByteArrayView> attributes = after(payload, NLMSG_ALIGN(sizeof(ifaddrmsg)));
    if (!message || !attributes || message->ifa_prefixlen > 128)
        return refuse(QStringLiteral("an address cut short"));
    if (message->ifa_family != AF_INET6)
        return true;
    KernelIpv6Address address;
    address.interfaceIndex = int(message->ifa_index);
    address.prefixLength = message->ifa_prefixlen;
    address.flags = message->ifa_flags;
    std::optional<QByteArrayView> local, peer;
    const bool whole = forEachAttribute(*attributes, [&](quint16 type, QByteArrayView value) {
        switch (type) {
        case IFA_LOCAL:
            local = value;
            return value.size() == 16;
        case IFA_ADDRESS:
            peer = value;
            return value.size() == 16;
        case IFA_FLAGS: { // the whole 32 bits, where ifa_flags has the low eight
            const std::optional<quint32> flags = u32(value);
            address.flags = flags.value_or(0);
            return flags.has_value();
        }
        case IFA_CACHEINFO: {
            const std::optional<ifa_cacheinfo> lifetimes = leading<ifa_cacheinfo>(value);
            if (!lifetimes || value.size() != qsizetype(sizeof(ifa_cacheinfo)))
                return false;
            address.preferredLifetime = lifetimes->ifa_prefered;
            address.validLifetime = lifetimes->ifa_valid;
            return true;
        }
        default:
            return true;
        }
    });
    // IFA_LOCAL is ours where the address has a peer; otherwise IFA_ADDRESS is.
    const std::optional<QByteArrayView> own = local ? local : peer;
    if (!whole || !own)
        return refuse(QStringLiteral("an address whose attributes cannot be read"));
    std::memcpy(address.bytes.data(), own->data(), 16);
    if (m_view.addresses.size() >= kMostAddresses)
        return refuse(QStringLiteral("more addresses than %1").arg(kMostAddresses));
    m_view.addresses.push_back(address);
    return true;
}

bool NetlinkViewParser::readRoute(QByteArrayView payload)
{
    const std::optional<rtmsg> message = leading<rtmsg>(payload);
    const std::optional<QByteArrayView> attributes = after(payload, NLMSG_ALIGN(sizeof(rtmsg)));
    if (!message || !attributes)
        return refuse(QStringLiteral("a route cut short"));
    quint32 table = message->rtm_table;
    KernelIpv6Route route;
    route.type = routeType(message->rtm_type);
    std::optional<std::vector<int>> nexthops;
    bool nexthopsWhole = true;
    const bool whole = forEachAttribute(*attributes, [&](quint16 type, QByteArrayView value) {
        const std::optional<quint32> number = u32(value);
        switch (type) {
        case RTA_TABLE:
            table = number.value_or(table);
            return number.has_value();
        case RTA_PRIORITY:
            route.metric = number.value_or(0);
            return number.has_value();
        case RTA_OIF:
            if (number && !(message->rtm_flags & RTNH_F_DEAD))
                route.interfaceIndexes = {int(*number)};
            return number.has_value();
        case RTA_MULTIPATH:
            nexthops = nexthopInterfaces(value);
            nexthopsWhole = nexthops.has_value();
            return nexthopsWhole;
        default:
            return true;
        }
    });
    if (!whole || !nexthopsWhole)
        return refuse(QStringLiteral("a route whose attributes cannot be read"));
    const bool wanted = message->rtm_family == AF_INET6 && message->rtm_dst_len == 0 &&
                        table == RT_TABLE_MAIN && !(message->rtm_flags & RTM_F_CLONED);
    if (!wanted)
        return true;
    if (nexthops)
        route.interfaceIndexes = *nexthops;
    if (m_view.defaultRoutes.size() >= kMostDefaultRoutes)
        return refuse(QStringLiteral("more default routes than %1").arg(kMostDefaultRoutes));
    m_view.defaultRoutes.push_back(std::move(route));
    return true;
}

KernelIpv6View NetlinkViewParser::view() const
{
    KernelIpv6View view = m_view;
    for (KernelIpv6Address& address : view.addresses) {
        const auto name = view.interfaceNames.find(address.interfaceIndex);
        address.interfaceName = name != view.interfaceNames.end()
                                    ? name->second
                                    : QStringLiteral("interface %1").arg(address.interfaceIndex);
    }
    return view;
}

} // namespace parlowen
