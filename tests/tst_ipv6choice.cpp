// Which of this computer's IPv6 addresses the AAAA record gets, from the
// kernel's view written as data: each rule of the choice once.
#include "check/ipv6choice.h"

#include <QHostAddress>
#include <QTest>

#include <algorithm>

using namespace parlowen;

namespace {

// Addresses "2001:db8:1::10/64 d0 permanent preferred=0, ..." with the
// kernel's flag words; routes "d0+d1 1024, unreachable 1": where, then metric.
KernelIpv6View view(const QString& addresses, const QString& routes)
{
    const QStringList flagWords{"temporary", "nodad",      "optimistic", "dadfailed",
                                "home",      "deprecated", "tentative",  "permanent"}; // IFA_F_*, bit by bit
    const QStringList names{"", "lo", "d0", "d1"};                                     // by index
    KernelIpv6View view{{}, {}, {{1, "lo"}, {2, "d0"}, {3, "d1"}}};
    for (const QString& entry : addresses.split(u',', Qt::SkipEmptyParts)) {
        const QStringList words = entry.split(u' ', Qt::SkipEmptyParts);
        KernelIpv6Address& a = view.addresses.emplace_back();
        const Q_IPV6ADDR raw = QHostAddress(words[0].section(u'/', 0, 0)).toIPv6Address();
        std::copy(std::begin(raw.c), std::end(raw.c), a.bytes.begin());
        a.prefixLength = words[0].section(u'/', 1).toInt();
        a.interfaceName = words[1];
        a.interfaceIndex = names.indexOf(words[1]);
        for (const QString& word : words)
            a.flags |= flagWords.contains(word) ? 1u << flagWords.indexOf(word) : 0u;
        a.preferredLifetime = words.contains("preferred=0") ? 0 : a.preferredLifetime;
        a.validLifetime = words.contains("valid=0") ? 0 : a.validLifetime;
    }
    for (const QString& entry : routes.split(u',', Qt::SkipEmptyParts)) {
        const QStringList words = entry.split(u' ', Qt::SkipEmptyParts);
        KernelIpv6Route& r = view.defaultRoutes.emplace_back();
        const int refusing = QStringList{"unreachable", "blackhole", "prohibit"}.indexOf(words[0]);
        r.type = refusing < 0 ? RouteType::Unicast : RouteType(refusing + 1);
        for (const QString& name : refusing < 0 ? words[0].split(u'+') : QStringList{"lo"})
            r.interfaceIndexes.push_back(names.indexOf(name));
        r.metric = words[1].toUInt();
    }
    return view;
}

// The address chosen, or "Reason: detail" (the detail empty where there is none).
QString outcome(const Result<Ipv6Choice, Ipv6Absence>& result)
{
    const QStringList reasons{
        "NoIpv6",        "OnlyLinkLocalOrPrivate",    "NoDefaultRoute",  "OnOtherInterfaces",
        "OnlyTemporary", "OnlyDeprecatedOrTentative", "KernelUnreadable"};
    return result ? result.value().address
                  : QStringList{reasons[int(result.error())], result.failure().detail}.join(": ");
}

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
    QTest::addColumn<QString>("row"); // addresses | default routes | previous | outcome
#define STABLE "2001:db8:1::10/64 d0 permanent"
    QTest::newRow("global alone, though the others sort first")
        << "::1/128 lo permanent, ::ffff:192.0.2.1/128 d0, 100::1/64 d0, fe80::1/64 d0, " STABLE
           " | d0 1 |  | 2001:db8:1::10";
    QTest::newRow("the route's interface, not the previous one's")
        << STABLE ", 2001:db8:2::10/64 d1 | d1 1 | 2001:db8:1::10 | 2001:db8:2::10";
    QTest::newRow("the lowest metric's interface")
        << STABLE ", 2001:db8:2::10/64 d1 | d0 200, d1 100 |  | 2001:db8:2::10";
    QTest::newRow("every nexthop of a multipath route")
        << "2001:db8:2::10/64 d1 | d0+d1 1 |  | 2001:db8:2::10";
    QTest::newRow("an unreachable route of lower metric is no route")
        << STABLE " | unreachable 1, d0 1024 |  | 2001:db8:1::10";
    QTest::newRow("temporary never, though lowest and previous")
        << "2001:db8:1::1/64 d0 temporary, 2001:db8:1::ff/64 d0 | d0 1 | 2001:db8:1::1 | 2001:db8:1::ff";
    QTest::newRow("deprecated, tentative, failed and expired passed over")
        << "2001:db8:1::1/64 d0 deprecated, 2001:db8:1::2/64 d0 tentative, 2001:db8:1::3/64 d0 dadfailed, "
           "2001:db8:1::4/64 d0 preferred=0, 2001:db8:1::5/64 d0 valid=0, 2001:db8:1::9/64 d0 | d0 1 |  | "
           "2001:db8:1::9";
    QTest::newRow("stable, a /128 set by hand among them, before a previous DHCPv6 lease")
        << "2001:db8:1::5/128 d0, 2001:db8:1::6/128 d0 permanent, 2001:db8:1::ff/64 d0 | d0 1 | 2001:db8:1::5"
           " | 2001:db8:1::6";
    QTest::newRow("leases alone: the lowest")
        << "2001:db8:1::9/128 d0, 2001:db8:1::7/128 d0 | d0 1 |  | 2001:db8:1::7";
    QTest::newRow("the previous one kept, however spelled")
        << "2001:db8:1::30/64 d0, " STABLE
           ", 2001:db8:1::20/64 d0 | d0 1 | 2001:DB8:1:0::20 | 2001:db8:1::20";
    QTest::newRow("the previous one gone: the lowest, not the first listed")
        << "2001:db8:1::30/64 d0, " STABLE " | d0 1 | 2001:db8:1::20 | 2001:db8:1::10";
    QTest::newRow("loopback alone") << "::1/128 lo permanent |  |  | NoIpv6: ";
    QTest::newRow("link-local, private, site-local and multicast")
        << "fe80::1/64 d0, fd00:1::10/64 d0, fec0::1/64 d0, ff02::1/128 d0 | d0 1 |  | "
           "OnlyLinkLocalOrPrivate: fd00:1::10 on d0";
    QTest::newRow("refusing routes alone")
        << STABLE " | unreachable 1, blackhole 2, prohibit 3 |  | NoDefaultRoute: 2001:db8:1::10 on d0";
    QTest::newRow("none where the lowest metric leaves") << STABLE
        " | d1 100, d0 200 |  | OnOtherInterfaces: the default route leaves through d1; 2001:db8:1::10 on d0";
    QTest::newRow("temporary alone")
        << "2001:db8:1::1/64 d0 temporary | d0 1 |  | OnlyTemporary: 2001:db8:1::1 on d0";
    QTest::newRow("a deprecated stable beside a usable temporary")
        << "2001:db8:1::1/64 d0 temporary, 2001:db8:1::ff/64 d0 deprecated | d0 1 |  | "
           "OnlyDeprecatedOrTentative: 2001:db8:1::ff on d0, deprecated";
    QTest::newRow("tentative alone")
        << "2001:db8:1::10/64 d0 tentative | d0 1 |  | "
           "OnlyDeprecatedOrTentative: 2001:db8:1::10 on d0, still being checked";
#undef STABLE
}

void TestIpv6Choice::choice()
{
    QFETCH(QString, row);
    const QStringList field = row.split(QStringLiteral(" | "));
    KernelIpv6View kernel = view(field[0], field[1]);
    QCOMPARE(outcome(chooseIpv6Address(kernel, field[2])), field[3]);
    // The kernel's order is no part of the choice, nor of what the words name.
    std::reverse(kernel.addresses.begin(), kernel.addresses.end());
    std::reverse(kernel.defaultRoutes.begin(), kernel.defaultRoutes.end());
    QCOMPARE(outcome(chooseIpv6Address(kernel, field[2])), field[3]);
}

void TestIpv6Choice::everyAbsenceSaysWhatToDo()
{
    QStringList seen;
    for (int i = int(Ipv6Absence::NoIpv6); i <= int(Ipv6Absence::KernelUnreadable); ++i) {
        seen << toString(Ipv6Absence(i));
        QVERIFY2(seen.back().contains(u"set IPv6=no") && seen.count(seen.back()) == 1,
                 qPrintable(seen.back()));
    }
}

QTEST_APPLESS_MAIN(TestIpv6Choice)
#include "tst_ipv6choice.moc"
