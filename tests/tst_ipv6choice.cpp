// Which of this computer's IPv6 addresses the AAAA record gets, from the
// kernel's view written as data: every shape a computer's IPv6 can have.
#include "check/ipv6choice.h"

#include <QHostAddress>
#include <QTest>

#include <algorithm>

using namespace parlowen;

Q_DECLARE_METATYPE(parlowen::Ipv6Absence)

namespace {

int interfaceIndex(const QString& name)
{
    return QStringList{QStringLiteral("lo"), "d0", "d1", "d2"}.indexOf(name) + 1;
}

// "2001:db8:1::10/64 d0 temporary preferred=0": the address, its interface,
// then flags and lifetimes; "permanent" is the flag of one set by hand.
KernelIpv6Address address(const QString& spec)
{
    const QStringList words = spec.split(u' ', Qt::SkipEmptyParts);
    const QStringList addressAndPrefix = words.at(0).split(u'/');
    KernelIpv6Address address;
    const Q_IPV6ADDR raw = QHostAddress(addressAndPrefix.at(0)).toIPv6Address();
    std::copy(std::begin(raw.c), std::end(raw.c), address.bytes.begin());
    address.prefixLength = addressAndPrefix.at(1).toInt();
    address.interfaceName = words.at(1);
    address.interfaceIndex = interfaceIndex(words.at(1));
    const QMap<QString, quint32> flags{{"temporary", Ipv6AddressFlag::Temporary},
                                       {"deprecated", Ipv6AddressFlag::Deprecated},
                                       {"tentative", Ipv6AddressFlag::Tentative},
                                       {"dadfailed", Ipv6AddressFlag::DadFailed},
                                       {"optimistic", Ipv6AddressFlag::Optimistic},
                                       {"permanent", Ipv6AddressFlag::Permanent},
                                       {"mngtmpaddr", Ipv6AddressFlag::ManageTemporaries},
                                       {"stable-privacy", Ipv6AddressFlag::StablePrivacy},
                                       {"nodad", Ipv6AddressFlag::NoDad}};
    for (const QString& word : words.mid(2)) {
        if (word.startsWith(u"preferred="))
            address.preferredLifetime = word.mid(10).toUInt();
        else if (word.startsWith(u"valid="))
            address.validLifetime = word.mid(6).toUInt();
        else
            address.flags |= flags.value(word);
    }
    return address;
}

// "d0+d1 metric 100", "unreachable metric 1" (on lo, as the kernel keeps it).
KernelIpv6Route route(const QString& spec)
{
    const QStringList words = spec.split(u' ', Qt::SkipEmptyParts);
    KernelIpv6Route route;
    const QMap<QString, RouteType> types{{"unreachable", RouteType::Unreachable},
                                         {"blackhole", RouteType::Blackhole},
                                         {"prohibit", RouteType::Prohibit}};
    if (types.contains(words.at(0))) {
        route.type = types.value(words.at(0));
        route.interfaceIndexes = {interfaceIndex("lo")};
    } else {
        for (const QString& name : words.at(0).split(u'+'))
            route.interfaceIndexes.push_back(interfaceIndex(name));
    }
    route.metric = words.at(2).toUInt();
    return route;
}

KernelIpv6View view(const QStringList& addresses, const QStringList& routes)
{
    KernelIpv6View view;
    for (const QString& spec : addresses)
        view.addresses.push_back(address(spec));
    for (const QString& spec : routes)
        view.defaultRoutes.push_back(route(spec));
    for (const char* name : {"lo", "d0", "d1", "d2"})
        view.interfaceNames[interfaceIndex(name)] = name;
    return view;
}

// "2001:db8:1::10 on d0", or the reason's words and the detail.
QString outcome(const Result<Ipv6Choice, Ipv6Absence>& result)
{
    return result ? result.value().address + " on " + result.value().interfaceName
                  : result.failure().message();
}

const QString loopback = "::1/128 lo permanent";
const QString linkLocal = "fe80::ff:fe00:10/64 d0 permanent";

} // namespace

class TestIpv6Choice : public QObject {
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void everyAbsenceSaysWhatToDo();
};

void TestIpv6Choice::choice_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("routes");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("chosen");      // empty where there is none
    QTest::addColumn<Ipv6Absence>("absence"); // where there is none
    QTest::addColumn<QString>("detail");      // what the words name, where there is none
    using A = Ipv6Absence;
    const QStringList onD0{"d0 metric 1024"};
    const QString stable = "2001:db8:1::10/64 d0 permanent";

    QTest::newRow("one global address where the default route leaves")
        << QStringList{loopback, linkLocal, stable} << onD0 << ""
        << "2001:db8:1::10 on d0" << A{} << "";
    QTest::newRow("documentation addresses are chosen like any other global one")
        << QStringList{"2001:db8:ffff::1/64 d0 permanent"} << onD0 << ""
        << "2001:db8:ffff::1 on d0" << A{} << "";
    QTest::newRow("the address is written as QHostAddress writes it: lowercase, compressed")
        << QStringList{"2001:0DB8:0:0:0:0:0:00AB/64 d0 permanent"} << onD0 << ""
        << "2001:db8::ab on d0" << A{} << "";
    QTest::newRow("a temporary address is never chosen, though it sorts first")
        << QStringList{"2001:db8:1::1/64 d0 temporary", "2001:db8:1::ff/64 d0 mngtmpaddr"} << onD0 << ""
        << "2001:db8:1::ff on d0" << A{} << "";
    QTest::newRow("not even when it was the previous one")
        << QStringList{"2001:db8:1::1/64 d0 temporary", "2001:db8:1::ff/64 d0 mngtmpaddr"} << onD0
        << "2001:db8:1::1"
        << "2001:db8:1::ff on d0" << A{} << "";
    QTest::newRow("deprecated, tentative and failed addresses are passed over")
        << QStringList{"2001:db8:1::1/64 d0 deprecated", "2001:db8:1::2/64 d0 tentative",
                       "2001:db8:1::3/64 d0 dadfailed",  "2001:db8:1::4/64 d0 preferred=0",
                       "2001:db8:1::5/64 d0 valid=0",    "2001:db8:1::9/64 d0 stable-privacy"}
        << onD0 << ""
        << "2001:db8:1::9 on d0" << A{} << "";
    QTest::newRow("an optimistic address that has left its tentative state is usable")
        << QStringList{"2001:db8:1::1/64 d0 optimistic preferred=3600 valid=7200"} << onD0 << ""
        << "2001:db8:1::1 on d0" << A{} << "";
    QTest::newRow("several global: the numerically lowest, not the first listed")
        << QStringList{"2001:db8:1::30/64 d0 permanent", "2001:db8:1::10/64 d0 permanent",
                       "2001:db8:1::20/64 d0"}
        << onD0 << ""
        << "2001:db8:1::10 on d0" << A{} << "";
    QTest::newRow("several global: the previous one while it is still there")
        << QStringList{"2001:db8:1::30/64 d0 permanent", "2001:db8:1::10/64 d0 permanent",
                       "2001:db8:1::20/64 d0"}
        << onD0 << " 2001:DB8:1:0::20 "
        << "2001:db8:1::20 on d0" << A{} << "";
    QTest::newRow("several global: the lowest again once the previous one is gone")
        << QStringList{"2001:db8:1::30/64 d0 permanent", "2001:db8:1::10/64 d0 permanent"} << onD0
        << "2001:db8:1::20"
        << "2001:db8:1::10 on d0" << A{} << "";
    QTest::newRow("a previous one with a zone is not this address")
        << QStringList{"2001:db8:1::30/64 d0 permanent", "2001:db8:1::10/64 d0 permanent"} << onD0
        << "2001:db8:1::30%d0"
        << "2001:db8:1::10 on d0" << A{} << "";
    QTest::newRow("stable before a DHCPv6 lease, though the lease sorts first")
        << QStringList{"2001:db8:1::5/128 d0 preferred=3600 valid=7200", "2001:db8:1:0:aa:bbff:fecc:dd/64 d0"}
        << onD0 << ""
        << "2001:db8:1:0:aa:bbff:fecc:dd on d0" << A{} << "";
    QTest::newRow("a previous DHCPv6 lease gives way to a stable address that came since")
        << QStringList{"2001:db8:1::5/128 d0 preferred=3600 valid=7200", "2001:db8:1::ff/64 d0 permanent"}
        << onD0 << "2001:db8:1::5"
        << "2001:db8:1::ff on d0" << A{} << "";
    QTest::newRow("a /128 set by hand is stable")
        << QStringList{"2001:db8:1::5/128 d0 permanent", "2001:db8:1::ff/64 d0 permanent"} << onD0 << ""
        << "2001:db8:1::5 on d0" << A{} << "";
    QTest::newRow("DHCPv6 leases alone: the lowest of them")
        << QStringList{"2001:db8:1::9/128 d0 preferred=3600", "2001:db8:1::7/128 d0 preferred=3600"} << onD0
        << ""
        << "2001:db8:1::7 on d0" << A{} << "";
    QTest::newRow("DHCPv6 leases alone: the previous one kept")
        << QStringList{"2001:db8:1::9/128 d0 preferred=3600", "2001:db8:1::7/128 d0 preferred=3600"} << onD0
        << "2001:db8:1::9"
        << "2001:db8:1::9 on d0" << A{} << "";
    QTest::newRow("only the interface of the default route counts")
        << QStringList{"2001:db8:1::10/64 d0 permanent", "2001:db8:2::10/64 d1 permanent"}
        << QStringList{"d1 metric 1024"} << "2001:db8:1::10"
        << "2001:db8:2::10 on d1" << A{} << "";
    QTest::newRow("of several default routes, the lowest metric's")
        << QStringList{"2001:db8:1::10/64 d0 permanent", "2001:db8:2::10/64 d1 permanent"}
        << QStringList{"d0 metric 200", "d1 metric 100"} << ""
        << "2001:db8:2::10 on d1" << A{} << "";
    QTest::newRow("every nexthop of a multipath route counts")
        << QStringList{"2001:db8:2::10/64 d1 permanent"} << QStringList{"d0+d1 metric 1024"} << ""
        << "2001:db8:2::10 on d1" << A{} << "";
    QTest::newRow("an unreachable default route of a lower metric does not count")
        << QStringList{stable} << QStringList{"unreachable metric 1", "d0 metric 1024"} << ""
        << "2001:db8:1::10 on d0" << A{} << "";

    QTest::newRow("no IPv6 but loopback") << QStringList{loopback} << QStringList{} << ""
                                          << "" << A::NoIpv6 << "";
    QTest::newRow("no IPv6 at all") << QStringList{} << onD0 << ""
                                    << "" << A::NoIpv6 << "";
    QTest::newRow("link-local alone") << QStringList{loopback, linkLocal} << QStringList{} << ""
                                      << "" << A::OnlyLinkLocalOrPrivate << "fe80::ff:fe00:10 on d0";
    QTest::newRow("a private address (ULA) with a default route")
        << QStringList{linkLocal, "fd00:1::10/64 d0 permanent"} << onD0 << ""
        << "" << A::OnlyLinkLocalOrPrivate << "fd00:1::10 on d0";
    QTest::newRow("neither mapped IPv4, site-local nor multicast is global")
        << QStringList{"::ffff:192.0.2.1/128 d0 permanent", "fec0::1/64 d0 permanent", "ff02::1/128 d0"}
        << onD0 << ""
        << "" << A::OnlyLinkLocalOrPrivate << "";
    QTest::newRow("a global address without a default route")
        << QStringList{linkLocal, stable} << QStringList{} << ""
        << "" << A::NoDefaultRoute << "2001:db8:1::10 on d0";
    QTest::newRow("an unreachable default route alone")
        << QStringList{stable} << QStringList{"unreachable metric 1024"} << ""
        << "" << A::NoDefaultRoute << "";
    QTest::newRow("blackhole and prohibit default routes alone")
        << QStringList{stable} << QStringList{"blackhole metric 1", "prohibit metric 2"} << ""
        << "" << A::NoDefaultRoute << "";
    QTest::newRow("the global address is on another interface than the default route")
        << QStringList{stable, "fe80::1/64 d1 permanent"} << QStringList{"d1 metric 1024"} << ""
        << "" << A::OnOtherInterfaces << "the default route leaves through d1; 2001:db8:1::10 on d0";
    QTest::newRow("the lower metric's interface has none, though another route's has")
        << QStringList{stable} << QStringList{"d1 metric 100", "d0 metric 200"} << ""
        << "" << A::OnOtherInterfaces << "through d1;";
    QTest::newRow("only temporary addresses")
        << QStringList{linkLocal, "2001:db8:1:0:1234:5678:9abc:def0/64 d0 temporary"} << onD0 << ""
        << "" << A::OnlyTemporary << "2001:db8:1:0:1234:5678:9abc:def0 on d0";
    QTest::newRow("a usable temporary beside a deprecated stable address")
        << QStringList{"2001:db8:1::1/64 d0 temporary",
                       "2001:db8:1::ff/64 d0 mngtmpaddr deprecated preferred=0"}
        << onD0 << ""
        << "" << A::OnlyDeprecatedOrTentative << "2001:db8:1::ff on d0, deprecated";
    QTest::newRow("only a tentative address") << QStringList{"2001:db8:1::10/64 d0 tentative"} << onD0 << ""
                                              << "" << A::OnlyDeprecatedOrTentative << "still being checked";
    QTest::newRow("only an address another host has too")
        << QStringList{"2001:db8:1::10/64 d0 dadfailed tentative"} << onD0 << ""
        << "" << A::OnlyDeprecatedOrTentative << "another device on the network has too";
    QTest::newRow("only a deprecated address, even the previous one")
        << QStringList{"2001:db8:1::10/64 d0 preferred=0 valid=600"} << onD0 << "2001:db8:1::10"
        << "" << A::OnlyDeprecatedOrTentative << "deprecated";
}

void TestIpv6Choice::choice()
{
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, routes);
    QFETCH(QString, previous);
    QFETCH(QString, chosen);
    QFETCH(Ipv6Absence, absence);
    QFETCH(QString, detail);
    KernelIpv6View kernel = view(addresses, routes);
    const Result<Ipv6Choice, Ipv6Absence> result = chooseIpv6Address(kernel, previous);
    if (chosen.isEmpty()) {
        QVERIFY2(!result, qPrintable(outcome(result)));
        QCOMPARE(toString(result.error()), toString(absence));
        QVERIFY2(result.failure().detail.contains(detail), qPrintable(result.failure().detail));
    } else {
        QCOMPARE(outcome(result), chosen);
    }
    // The kernel's order is no part of the choice, nor of what the words name.
    std::reverse(kernel.addresses.begin(), kernel.addresses.end());
    std::reverse(kernel.defaultRoutes.begin(), kernel.defaultRoutes.end());
    QCOMPARE(outcome(chooseIpv6Address(kernel, previous)), outcome(result));
}

void TestIpv6Choice::everyAbsenceSaysWhatToDo()
{
    QStringList seen;
    for (int i = int(Ipv6Absence::NoIpv6); i <= int(Ipv6Absence::KernelUnreadable); ++i) {
        const QString words = toString(Ipv6Absence(i));
        QVERIFY2(!words.isEmpty() && !seen.contains(words), qPrintable(words));
        QVERIFY2(words.endsWith(u"set IPv6=no.") ||
                     words.endsWith(u"set IPv6=no to keep the name's IPv4 address alone."),
                 qPrintable(words));
        seen << words;
    }
}

QTEST_APPLESS_MAIN(TestIpv6Choice)
#include "tst_ipv6choice.moc"
