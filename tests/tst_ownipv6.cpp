// This computer's own IPv6 address as the kernel really lists it: each shape
// of support/with-ipv6-interfaces made in the test's private network, the
// address chosen from it, and what the reader read held against iproute2's
// own reading of the same kernel.
#include "ownaddress/ownipv6.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace parlowen;

Q_DECLARE_METATYPE(parlowen::Ipv6Absence)

namespace {

// Makes the shape; false with the script's words where it could not.
bool makeShape(const QString& shape, QString* words)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(PARLOWEN_IPV6_SHAPES), {shape});
    const bool ran = script.waitForFinished(60000);
    *words = QString::fromLocal8Bit(script.readAll());
    return ran && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

QJsonArray iproute2(const QStringList& arguments)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), QStringList{"-j", "-6"} + arguments);
    if (!ip.waitForFinished(30000) || ip.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(ip.readAllStandardOutput()).array();
}

// The flags iproute2 prints, by the words it prints them with.
const std::vector<std::pair<QString, quint32>> kFlagWords{{"temporary", Ipv6AddressFlag::Temporary},
                                                          {"nodad", Ipv6AddressFlag::NoDad},
                                                          {"optimistic", Ipv6AddressFlag::Optimistic},
                                                          {"dadfailed", Ipv6AddressFlag::DadFailed},
                                                          {"home", Ipv6AddressFlag::HomeAddress},
                                                          {"deprecated", Ipv6AddressFlag::Deprecated},
                                                          {"tentative", Ipv6AddressFlag::Tentative},
                                                          {"mngtmpaddr", Ipv6AddressFlag::ManageTemporaries},
                                                          {"noprefixroute", Ipv6AddressFlag::NoPrefixRoute},
                                                          {"autojoin", Ipv6AddressFlag::MulticastAutoJoin},
                                                          {"stable-privacy", Ipv6AddressFlag::StablePrivacy}};

struct Listed {
    QString line; // address, interface, prefix and flags
    quint32 preferred;
    quint32 valid;
};

std::map<QString, Listed> byAddress(const QJsonArray& interfaces)
{
    std::map<QString, Listed> listed;
    for (const QJsonValue& link : interfaces) {
        for (const QJsonValue& value : link[u"addr_info"].toArray()) {
            const QJsonObject info = value.toObject();
            QStringList flags;
            for (const auto& [word, flag] : kFlagWords) {
                if (info.value(word).toBool())
                    flags << word;
            }
            if (!info.value(u"dynamic").toBool())
                flags << QStringLiteral("permanent");
            const QString local = info[u"local"].toString();
            listed[local] = {QStringLiteral("%1 on %2/%3 %4")
                                 .arg(local, link[u"ifname"].toString())
                                 .arg(info[u"prefixlen"].toInt())
                                 .arg(flags.join(u' ')),
                             quint32(info[u"preferred_life_time"].toDouble()),
                             quint32(info[u"valid_life_time"].toDouble())};
        }
    }
    return listed;
}

QString line(const KernelIpv6Address& address)
{
    QStringList flags;
    for (const auto& [word, flag] : kFlagWords) {
        if (address.flags & flag)
            flags << word;
    }
    if (address.flags & Ipv6AddressFlag::Permanent)
        flags << QStringLiteral("permanent");
    return QStringLiteral("%1 on %2/%3 %4")
        .arg(ipv6Text(address.bytes), address.interfaceName)
        .arg(address.prefixLength)
        .arg(flags.join(u' '));
}

// "d0+d1 metric 1024 unicast", from either reading, sorted.
QStringList routeLines(const KernelIpv6View& view)
{
    QStringList lines;
    const QStringList types{"unicast", "unreachable", "blackhole", "prohibit", "other"};
    for (const KernelIpv6Route& route : view.defaultRoutes) {
        QStringList through;
        for (int index : route.interfaceIndexes)
            through << view.interfaceNames.at(index);
        lines << QStringLiteral("%1 metric %2 %3")
                     .arg(through.join(u'+'))
                     .arg(route.metric)
                     .arg(types[int(route.type)]);
    }
    lines.sort();
    return lines;
}

QStringList routeLines(const QJsonArray& routes)
{
    QStringList lines;
    for (const QJsonValue& route : routes) {
        QStringList through;
        for (const QJsonValue& hop : route[u"nexthops"].toArray())
            through << hop[u"dev"].toString();
        if (through.isEmpty())
            through << route[u"dev"].toString();
        lines << QStringLiteral("%1 metric %2 %3")
                     .arg(through.join(u'+'))
                     .arg(route[u"metric"].toInt())
                     .arg(route[u"type"].toString(QStringLiteral("unicast")));
    }
    lines.sort();
    return lines;
}

} // namespace

class TestOwnIpv6 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachShape_data();
    void eachShape();
    void whatWasReadIsWhatIproute2Reads_data();
    void whatWasReadIsWhatIproute2Reads();
};

void TestOwnIpv6::initTestCase()
{
    if (qgetenv("PARLOWEN_PRIVATE_NETWORK") != "1")
        QSKIP("makes interfaces and routes: runs only in a private network (support/in-private-network)");
}

void TestOwnIpv6::eachShape_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("chosen");      // "address on interface", or empty for none
    QTest::addColumn<Ipv6Absence>("absence"); // where there is none
    using A = Ipv6Absence;
    QTest::newRow("none") << "none"
                          << ""
                          << "" << A::NoIpv6;
    QTest::newRow("one-global") << "one-global"
                                << ""
                                << "2001:db8:1::10 on d0" << A{};
    QTest::newRow("one-global, another address before") << "one-global"
                                                        << "2001:db8:9::1"
                                                        << "2001:db8:1::10 on d0" << A{};
    QTest::newRow("global-and-temporary") << "global-and-temporary"
                                          << ""
                                          << "2001:db8:1:0:ffff::10 on d0" << A{};
    QTest::newRow("ula-only") << "ula-only"
                              << ""
                              << "" << A::OnlyLinkLocalOrPrivate;
    QTest::newRow("link-local-only") << "link-local-only"
                                     << ""
                                     << "" << A::OnlyLinkLocalOrPrivate;
    QTest::newRow("route-elsewhere") << "route-elsewhere"
                                     << ""
                                     << "" << A::OnOtherInterfaces;
    QTest::newRow("several-global") << "several-global"
                                    << ""
                                    << "2001:db8:1::10 on d0" << A{};
    QTest::newRow("several-global, the previous one kept") << "several-global"
                                                           << "2001:db8:1::20"
                                                           << "2001:db8:1::20 on d0" << A{};
    QTest::newRow("several-global, the previous lease gives way") << "several-global"
                                                                  << "2001:db8:1::5"
                                                                  << "2001:db8:1::10 on d0" << A{};
    QTest::newRow("deprecated") << "deprecated"
                                << ""
                                << "" << A::OnlyDeprecatedOrTentative;
    QTest::newRow("tentative") << "tentative"
                               << ""
                               << "" << A::OnlyDeprecatedOrTentative;
    QTest::newRow("lower-metric-elsewhere") << "lower-metric-elsewhere"
                                            << ""
                                            << "2001:db8:2::10 on d1" << A{};
    QTest::newRow("multipath") << "multipath"
                               << ""
                               << "2001:db8:2::10 on d1" << A{};
    QTest::newRow("unreachable-default") << "unreachable-default"
                                         << ""
                                         << "" << A::NoDefaultRoute;
}

void TestOwnIpv6::eachShape()
{
    QFETCH(QString, shape);
    QFETCH(QString, previous);
    QFETCH(QString, chosen);
    QFETCH(Ipv6Absence, absence);
    QString words;
    QVERIFY2(makeShape(shape, &words), qPrintable(words));
    const Result<Ipv6Choice, Ipv6Absence> result = thisComputersIpv6(previous);
    const QString outcome =
        result ? result.value().address + " on " + result.value().interfaceName : result.failure().message();
    if (chosen.isEmpty()) {
        QVERIFY2(!result, qPrintable(outcome));
        QCOMPARE(toString(result.error()), toString(absence));
    } else {
        QCOMPARE(outcome, chosen);
    }
}

void TestOwnIpv6::whatWasReadIsWhatIproute2Reads_data()
{
    QTest::addColumn<QString>("shape");
    for (const char* shape : {"global-and-temporary", "several-global", "deprecated", "tentative",
                              "multipath", "unreachable-default", "lower-metric-elsewhere"})
        QTest::newRow(shape) << QString::fromLatin1(shape);
}

void TestOwnIpv6::whatWasReadIsWhatIproute2Reads()
{
    QFETCH(QString, shape);
    QString words;
    QVERIFY2(makeShape(shape, &words), qPrintable(words));
    // Lifetimes count down: ours lies between a reading before and one after.
    const std::map<QString, Listed> before = byAddress(iproute2({"addr", "show"}));
    const Result<KernelIpv6View, Ipv6Absence> read = readKernelIpv6View();
    const std::map<QString, Listed> after = byAddress(iproute2({"addr", "show"}));
    QVERIFY2(read, qPrintable(read ? QString() : read.failure().message()));
    QVERIFY(!before.empty());
    QStringList ours, theirs;
    for (const KernelIpv6Address& address : read.value().addresses) {
        ours << line(address);
        const QString text = ipv6Text(address.bytes);
        QVERIFY2(before.count(text) && after.count(text), qPrintable(text));
        QVERIFY2(after.at(text).preferred <= address.preferredLifetime &&
                     address.preferredLifetime <= before.at(text).preferred,
                 qPrintable(QStringLiteral("%1 preferred %2").arg(text).arg(address.preferredLifetime)));
        QVERIFY2(after.at(text).valid <= address.validLifetime &&
                     address.validLifetime <= before.at(text).valid,
                 qPrintable(QStringLiteral("%1 valid %2").arg(text).arg(address.validLifetime)));
    }
    for (const auto& [address, listed] : before)
        theirs << listed.line;
    ours.sort();
    theirs.sort();
    QCOMPARE(ours, theirs);
    QCOMPARE(routeLines(read.value()), routeLines(iproute2({"route", "show", "default"})));
}

QTEST_GUILESS_MAIN(TestOwnIpv6)
#include "tst_ownipv6.moc"
