// The kernel's IPv6 as read, for the shapes of support/with-ipv6-interfaces
// made in the test's private network, held against iproute2's own reading;
// and hand-built answers no real kernel gives, which the fuzz target cannot
// judge. Which address each shape gives is tst_everyprovider's.
#include "ownaddress/netlinkview.h"
#include "ownaddress/ownipv6.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

using namespace parlowen;

namespace {

QByteArray run(const QString& program, const QStringList& arguments) // empty where it failed
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel); // the reason a shape failed
    process.start(program, arguments);
    const bool ran = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return ran && process.exitCode() == 0 ? process.readAllStandardOutput() + "\n" : QByteArray();
}

QJsonArray iproute2(const QStringList& arguments)
{
    return QJsonDocument::fromJson(run("ip", QStringList{"-j", "-6"} + arguments)).array();
}

// iproute2's words for the IFA_F_* flags, bit by bit; "permanent" is the one it leaves unsaid.
const QStringList kFlagWords{"temporary",  "nodad",         "optimistic", "dadfailed",
                             "home",       "deprecated",    "tentative",  "permanent",
                             "mngtmpaddr", "noprefixroute", "autojoin",   "stable-privacy"};

// "address on interface/prefix flags" of each address iproute2 lists, into lines, and its lifetimes.
std::map<QString, std::pair<quint32, quint32>> listed(QStringList* lines)
{
    std::map<QString, std::pair<quint32, quint32>> lifetimes;
    for (const QJsonValue& link : iproute2({"addr", "show"})) {
        for (const QJsonValue& info : link[u"addr_info"].toArray()) {
            const QString local = info[u"local"].toString();
            *lines << local + " on " + link[u"ifname"].toString() + "/" +
                          QString::number(info[u"prefixlen"].toInt());
            for (const QString& word : kFlagWords)
                lines->back() +=
                    info[word].toBool(word == u"permanent" && !info[u"dynamic"].toBool()) ? " " + word : "";
            lifetimes[local] = {quint32(info[u"preferred_life_time"].toDouble()),
                                quint32(info[u"valid_life_time"].toDouble())};
        }
    }
    return lifetimes;
}

template <typename T> QByteArray raw(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QByteArray padded(QByteArray bytes)
{
    return bytes.append(QByteArray(NLMSG_ALIGN(bytes.size()) - bytes.size(), '\0'));
}

QByteArray attribute(quint16 type, const QByteArray& value)
{
    return padded(raw(rtattr{quint16(RTA_LENGTH(value.size())), type}) + value);
}

QByteArray message(quint16 type, const QByteArray& body, quint32 sequence = 7)
{
    return padded(raw(nlmsghdr{quint32(NLMSG_LENGTH(body.size())), type, NLM_F_MULTI, sequence, 0}) + body);
}

} // namespace

class TestOwnIpv6 : public QObject {
    Q_OBJECT
private slots:
    void whatWasReadIsWhatIproute2Reads_data();
    void whatWasReadIsWhatIproute2Reads();
    void handBuiltAnswer_data();
    void handBuiltAnswer();
};

void TestOwnIpv6::whatWasReadIsWhatIproute2Reads_data()
{
    if (qgetenv("PARLOWEN_PRIVATE_NETWORK") != "1")
        QSKIP("makes interfaces and routes: runs only in a private network (support/in-private-network)");
    QTest::addColumn<QString>("shape");
    for (const char* shape : {"global-and-temporary", "several-global", "deprecated", "tentative",
                              "multipath", "unreachable-default", "lower-metric-elsewhere"})
        QTest::newRow(shape) << QString(shape);
}

void TestOwnIpv6::whatWasReadIsWhatIproute2Reads()
{
    QFETCH(QString, shape);
    QVERIFY2(!run(PARLOWEN_IPV6_SHAPES, {shape}).isEmpty(), "the shape could not be made");
    QStringList theirs, ours, theirRoutes, ourRoutes;
    const auto before = listed(&theirs); // lifetimes count down: ours lie between two readings
    const Result<KernelIpv6View, Ipv6Absence> read = readKernelIpv6View();
    const auto after = listed(&theirs);
    QVERIFY2(read, qPrintable(read ? QString() : read.failure().message()));
    for (const KernelIpv6Address& a : read.value().addresses) {
        const QString text = ipv6Text(a.bytes);
        ours << text + " on " + a.interfaceName + "/" + QString::number(a.prefixLength);
        for (int bit = 0; bit < kFlagWords.size(); ++bit)
            ours.back() += a.flags & 1u << bit ? " " + kFlagWords[bit] : "";
        QVERIFY2(
            after.count(text) && before.count(text) && after.at(text).first <= a.preferredLifetime &&
                a.preferredLifetime <= before.at(text).first && after.at(text).second <= a.validLifetime &&
                a.validLifetime <= before.at(text).second,
            qPrintable(QStringLiteral("%1 %2 %3").arg(text).arg(a.preferredLifetime).arg(a.validLifetime)));
    }
    ours += ours; // iproute2 was asked twice
    for (const QJsonValue& route : iproute2({"route", "show", "default"})) {
        QStringList through;
        for (const QJsonValue& hop : route[u"nexthops"].toArray())
            through << hop[u"dev"].toString();
        theirRoutes << (through.isEmpty() ? route[u"dev"].toString() : through.join(u'+')) + " " +
                           QString::number(route[u"metric"].toInt()) + " " +
                           route[u"type"].toString("unicast");
    }
    const char* types[] = {"unicast", "unreachable", "blackhole", "prohibit", "other"};
    for (const KernelIpv6Route& route : read.value().defaultRoutes) {
        QStringList through;
        for (int index : route.interfaceIndexes)
            through << read.value().interfaceNames.at(index);
        ourRoutes << through.join(u'+') + " " + QString::number(route.metric) + " " + types[int(route.type)];
    }
    for (QStringList* lines : {&theirs, &ours, &theirRoutes, &ourRoutes})
        lines->sort();
    QCOMPARE(ours, theirs);
    QCOMPARE(ourRoutes, theirRoutes);
}

void TestOwnIpv6::handBuiltAnswer_data()
{
    QTest::addColumn<QByteArray>("datagram"); // of the address dump, which holds no address it can take
    QTest::addColumn<QString>("fault");       // that broke the dump, or empty where it goes on
    const QByteArray address =
        padded(raw(ifaddrmsg{AF_INET6, 64, 0, 0, 2})) +
        attribute(IFA_ADDRESS, QByteArray::fromHex("20010db8000100000000000000000001"));
    QTest::newRow("another request's answer, its end too, is passed over")
        << message(RTM_NEWADDR, address, 99) + message(NLMSG_DONE, raw(0), 99) << "";
    QTest::newRow("a datagram cut short")
        << message(RTM_NEWADDR, address).chopped(4) << "a message cut short";
    QTest::newRow("a known attribute of the wrong length")
        << message(RTM_NEWADDR, address + attribute(IFA_CACHEINFO, raw(5)))
        << "an address whose attributes cannot be read";
}

void TestOwnIpv6::handBuiltAnswer()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, fault);
    NetlinkViewParser parser;
    const DumpProgress progress = parser.read(datagram, NetlinkDump::Addresses, 7);
    QCOMPARE(parser.fault(), fault);
    QCOMPARE(int(progress), int(fault.isEmpty() ? DumpProgress::Continues : DumpProgress::Broken));
    QCOMPARE(parser.view().addresses.size(), 0u);
}

QTEST_GUILESS_MAIN(TestOwnIpv6)
#include "tst_ownipv6.moc"
