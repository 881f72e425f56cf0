// The kernel's rtnetlink answers read from bytes: what it writes, and the
// damaged answers that must be refused rather than read past their end.
#include "ownaddress/netlinkview.h"

#include <QTest>

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

using namespace parlowen;

Q_DECLARE_METATYPE(parlowen::NetlinkDump)
Q_DECLARE_METATYPE(parlowen::DumpProgress)

namespace {

constexpr quint32 kSequence = 7;

template <typename T> QByteArray raw(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QByteArray padded(QByteArray bytes)
{
    bytes.append(QByteArray(NLMSG_ALIGN(bytes.size()) - bytes.size(), '\0'));
    return bytes;
}

QByteArray attribute(quint16 type, const QByteArray& value, int lengthBeyond = 0)
{
    const rtattr header{quint16(RTA_LENGTH(value.size()) + lengthBeyond), type};
    return padded(raw(header) + value);
}

QByteArray message(quint16 type, const QByteArray& body, quint32 sequence = kSequence,
                   quint16 flags = NLM_F_MULTI)
{
    const nlmsghdr header{quint32(NLMSG_LENGTH(body.size())), type, flags, sequence, 0};
    return padded(raw(header) + body);
}

QByteArray done()
{
    return message(NLMSG_DONE, raw(qint32(0)));
}

QByteArray ipv6(quint8 last)
{
    return QByteArray::fromHex("20010db8000100000000000000000000").replace(15, 1, QByteArray(1, char(last)));
}

QByteArray addressMessage(quint8 prefix, quint8 flags, const QByteArray& attributes, quint8 family = AF_INET6)
{
    const ifaddrmsg body{family, prefix, flags, RT_SCOPE_UNIVERSE, 2};
    return message(RTM_NEWADDR, padded(raw(body)) + attributes);
}

QByteArray routeMessage(quint8 dstLength, quint8 type, const QByteArray& attributes,
                        quint8 table = RT_TABLE_MAIN)
{
    const rtmsg body{AF_INET6, dstLength, 0, 0, table, RTPROT_BOOT, RT_SCOPE_UNIVERSE, type, 0};
    return message(RTM_NEWROUTE, padded(raw(body)) + attributes);
}

QByteArray linkMessage(int index, const QByteArray& name)
{
    ifinfomsg body{};
    body.ifi_index = index;
    return message(RTM_NEWLINK, padded(raw(body)) + attribute(IFLA_IFNAME, name));
}

QByteArray nexthop(int index, quint8 flags = 0)
{
    return padded(raw(rtnexthop{sizeof(rtnexthop), flags, 0, index}));
}

QByteArray u32(quint32 value)
{
    return raw(value);
}

// What the view holds, one line each.
QString summary(const KernelIpv6View& view)
{
    QStringList lines;
    for (const auto& [index, name] : view.interfaceNames)
        lines << QStringLiteral("link %1 %2").arg(index).arg(name);
    for (const KernelIpv6Address& a : view.addresses) {
        lines << QStringLiteral("%1/%2 on %3 flags %4 preferred %5 valid %6")
                     .arg(ipv6Text(a.bytes))
                     .arg(a.prefixLength)
                     .arg(a.interfaceName)
                     .arg(a.flags, 0, 16)
                     .arg(a.preferredLifetime)
                     .arg(a.validLifetime);
    }
    for (const KernelIpv6Route& r : view.defaultRoutes) {
        QStringList through;
        for (int index : r.interfaceIndexes)
            through << QString::number(index);
        lines << QStringLiteral("default through %1 metric %2 type %3")
                     .arg(through.join(u'+'))
                     .arg(r.metric)
                     .arg(int(r.type));
    }
    return lines.join(u'\n');
}

} // namespace

class TestNetlinkView : public QObject {
    Q_OBJECT
private slots:
    void datagram_data();
    void datagram();
};

void TestNetlinkView::datagram_data()
{
    QTest::addColumn<NetlinkDump>("dump");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<DumpProgress>("progress");
    QTest::addColumn<QString>("read"); // the view, or the fault where Broken
    using D = NetlinkDump;
    using P = DumpProgress;
    const QByteArray lifetimes = attribute(IFA_CACHEINFO, raw(ifa_cacheinfo{3600, 7200, 0, 0}));
    const QString noLifetimes = "preferred 4294967295 valid 4294967295";

    QTest::newRow("an address with its lifetimes, then the dump's end")
        << D::Addresses << addressMessage(64, 0, attribute(IFA_ADDRESS, ipv6(0x10)) + lifetimes) + done()
        << P::Ended << "2001:db8:1::10/64 on interface 2 flags 0 preferred 3600 valid 7200";
    QTest::newRow("IFA_FLAGS holds the flags past the eighth bit")
        << D::Addresses
        << addressMessage(64, IFA_F_PERMANENT,
                          attribute(IFA_ADDRESS, ipv6(1)) + attribute(IFA_FLAGS, u32(0x880)))
        << P::Continues << "2001:db8:1::1/64 on interface 2 flags 880 " + noLifetimes;
    QTest::newRow("IFA_LOCAL is our own end where IFA_ADDRESS is the peer's")
        << D::Addresses
        << addressMessage(128, 0, attribute(IFA_ADDRESS, ipv6(2)) + attribute(IFA_LOCAL, ipv6(1)))
        << P::Continues << "2001:db8:1::1/128 on interface 2 flags 0 " + noLifetimes;
    QTest::newRow("an IPv4 address is passed over")
        << D::Addresses
        << addressMessage(24, 0, attribute(IFA_ADDRESS, QByteArray::fromHex("c0000201")), AF_INET)
        << P::Continues << "";
    QTest::newRow("another request's messages are passed over")
        << D::Addresses
        << message(RTM_NEWADDR,
                   padded(raw(ifaddrmsg{AF_INET6, 64, 0, 0, 2})) + attribute(IFA_ADDRESS, ipv6(1)), 99) +
               message(NLMSG_DONE, raw(qint32(0)), 99)
        << P::Continues << "";
    QTest::newRow("unknown attributes are passed over")
        << D::Addresses << addressMessage(64, 0, attribute(250, "xyz") + attribute(IFA_ADDRESS, ipv6(3)))
        << P::Continues << "2001:db8:1::3/64 on interface 2 flags 0 " + noLifetimes;
    QTest::newRow("interfaces by name")
        << D::Links << linkMessage(2, QByteArray("d0", 3)) + linkMessage(3, QByteArray("d1", 3))
        << P::Continues << "link 2 d0\nlink 3 d1";
    QTest::newRow("a default route with its interface and metric")
        << D::Routes
        << routeMessage(0, RTN_UNICAST, attribute(RTA_OIF, u32(2)) + attribute(RTA_PRIORITY, u32(1024)))
        << P::Continues << "default through 2 metric 1024 type 0";
    QTest::newRow("a multipath route's live nexthops")
        << D::Routes
        << routeMessage(0, RTN_UNICAST,
                        attribute(RTA_MULTIPATH, nexthop(2) + nexthop(3, RTNH_F_DEAD) + nexthop(4)) +
                            attribute(RTA_PRIORITY, u32(5)))
        << P::Continues << "default through 2+4 metric 5 type 0";
    QTest::newRow("an unreachable default route keeps its type")
        << D::Routes << routeMessage(0, RTN_UNREACHABLE, attribute(RTA_OIF, u32(1))) << P::Continues
        << "default through 1 metric 0 type 1";
    QTest::newRow("routes that are not the main table's default are passed over")
        << D::Routes
        << routeMessage(64, RTN_UNICAST, attribute(RTA_OIF, u32(2))) +
               routeMessage(0, RTN_UNICAST, attribute(RTA_OIF, u32(2)), RT_TABLE_LOCAL) +
               routeMessage(0, RTN_UNICAST, attribute(RTA_OIF, u32(2)) + attribute(RTA_TABLE, u32(100)))
        << P::Continues << "";

    QTest::newRow("the kernel's refusal ends the dump in its words")
        << D::Addresses << message(NLMSG_ERROR, raw(qint32(-EPERM)) + QByteArray(16, '\0')) << P::Broken
        << "the kernel answered: Operation not permitted";
    QTest::newRow("an error of INT_MIN is told as a number")
        << D::Routes << message(NLMSG_DONE, raw(qint32(INT_MIN))) << P::Broken
        << "the kernel answered: error -2147483648";
    QTest::newRow("a message longer than the datagram")
        << D::Addresses << addressMessage(64, 0, attribute(IFA_ADDRESS, ipv6(1))).chopped(4) << P::Broken
        << "a message cut short";
    QTest::newRow("a header cut short")
        << D::Addresses << QByteArray(10, '\x10') << P::Broken << "a message cut short";
    QTest::newRow("an attribute that claims more than the message holds")
        << D::Addresses << addressMessage(64, 0, attribute(IFA_ADDRESS, ipv6(1), 8)) << P::Broken
        << "an address whose attributes cannot be read";
    QTest::newRow("an address of four bytes")
        << D::Addresses << addressMessage(64, 0, attribute(IFA_ADDRESS, "\x20\x01\x0d\xb8")) << P::Broken
        << "an address whose attributes cannot be read";
    QTest::newRow("IFA_FLAGS of two bytes")
        << D::Addresses
        << addressMessage(64, 0, attribute(IFA_ADDRESS, ipv6(1)) + attribute(IFA_FLAGS, "\x01\x00"))
        << P::Broken << "an address whose attributes cannot be read";
    QTest::newRow("lifetimes cut short")
        << D::Addresses
        << addressMessage(64, 0, attribute(IFA_ADDRESS, ipv6(1)) + attribute(IFA_CACHEINFO, u32(5)))
        << P::Broken << "an address whose attributes cannot be read";
    QTest::newRow("a prefix longer than an address")
        << D::Addresses << addressMessage(129, 0, attribute(IFA_ADDRESS, ipv6(1))) << P::Broken
        << "an address cut short";
    QTest::newRow("an address without its address")
        << D::Addresses << addressMessage(64, 0, lifetimes) << P::Broken
        << "an address whose attributes cannot be read";
    QTest::newRow("a nexthop that claims more than the route holds")
        << D::Routes << routeMessage(0, RTN_UNICAST, attribute(RTA_MULTIPATH, raw(rtnexthop{64, 0, 0, 2})))
        << P::Broken << "a route whose attributes cannot be read";
    QTest::newRow("an interface name without its end")
        << D::Links << linkMessage(2, QByteArray(IFNAMSIZ, 'x')) << P::Broken
        << "an interface without a name that can be read";
}

void TestNetlinkView::datagram()
{
    QFETCH(NetlinkDump, dump);
    QFETCH(QByteArray, datagram);
    QFETCH(DumpProgress, progress);
    QFETCH(QString, read);
    NetlinkViewParser parser;
    const DumpProgress seen = parser.read(datagram, dump, kSequence);
    QCOMPARE(seen == DumpProgress::Broken ? parser.fault() : summary(parser.view()), read);
    QCOMPARE(int(seen), int(progress));
    if (seen == DumpProgress::Broken) // and stays so: nothing more is taken from that answer
        QCOMPARE(int(parser.read(done(), dump, kSequence)), int(DumpProgress::Broken));
}

QTEST_APPLESS_MAIN(TestNetlinkView)
#include "tst_netlinkview.moc"
