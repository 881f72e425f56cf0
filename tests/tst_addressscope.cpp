// Telling a public WAN address from one that only works behind another NAT.
#include "check/addressscope.h"

#include <QTest>

using namespace parlowen;

Q_DECLARE_METATYPE(parlowen::AddressScope)

class TestAddressScope : public QObject {
    Q_OBJECT
private slots:
    void scope_data();
    void scope();
    void everyScopeHasWordsOfItsOwn();
    void theWarningSaysWhyAndWhatToDo_data();
    void theWarningSaysWhyAndWhatToDo();
};

void TestAddressScope::scope_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<AddressScope>("expected");
    using S = AddressScope;

    // Each range once, the prefix lengths pinned at both edges of two of them.
    QTest::newRow("an ordinary IPv4 address is public") << "81.2.69.142" << S::Public;
    QTest::newRow("10/8 is private") << "10.0.0.0" << S::Private;
    QTest::newRow("172.16 starts the private 172.16/12") << "172.16.0.1" << S::Private;
    QTest::newRow("172.31 ends it") << "172.31.255.255" << S::Private;
    QTest::newRow("172.32 lies above it") << "172.32.0.0" << S::Public;
    QTest::newRow("192.168/16 is private") << "192.168.1.1" << S::Private;
    QTest::newRow("100.63 lies below carrier-grade NAT") << "100.63.255.255" << S::Public;
    QTest::newRow("100.64 starts carrier-grade NAT") << "100.64.0.0" << S::SharedNat;
    QTest::newRow("100.127 ends carrier-grade NAT") << "100.127.255.255" << S::SharedNat;
    QTest::newRow("100.128 lies above carrier-grade NAT") << "100.128.0.0" << S::Public;
    QTest::newRow("127/8 is loopback, not only 127.0.0.1") << "127.45.6.7" << S::Loopback;
    QTest::newRow("169.254/16 is link-local") << "169.254.10.20" << S::LinkLocal;
    QTest::newRow("TEST-NET-1 is for documentation") << "192.0.2.7" << S::Documentation;
    QTest::newRow("198.18/15 is for benchmarks") << "198.19.255.1" << S::Benchmarking;
    QTest::newRow("0/8 names no host") << "0.1.2.3" << S::ThisNetwork;
    QTest::newRow("224/4 is multicast") << "239.255.255.250" << S::Multicast;
    QTest::newRow("240/4 is reserved, broadcast included") << "255.255.255.255" << S::Reserved;

    QTest::newRow("zero padding is read as decimal") << "010.000.000.001" << S::Private;
    QTest::newRow("spaces around the address are ignored") << " 10.1.2.3 " << S::Private;
    QTest::newRow("a short IPv4 form is no address") << "127.1" << S::NotAnAddress;
    QTest::newRow("an octet over 255 is no address") << "10.0.0.256" << S::NotAnAddress;
    QTest::newRow("an empty text is no address") << "" << S::NotAnAddress;
    QTest::newRow("an address followed by more text") << "203.0.113.7 (PPPoE)" << S::NotAnAddress;

    QTest::newRow("a global IPv6 address is public") << "2a00:1450:4001:81b::200e" << S::Public;
    QTest::newRow("the IPv6 loopback") << "::1" << S::Loopback;
    QTest::newRow("fc00::/7 takes in the fd half") << "fdff:ffff::1" << S::Private;
    QTest::newRow("fe80::/10 reaches up to febf") << "febf::1" << S::LinkLocal;
    QTest::newRow("2001:db8::/32 is for documentation") << "2001:db8:1::7" << S::Documentation;
    QTest::newRow("ff00::/8 is multicast") << "ff02::1" << S::Multicast;
    QTest::newRow("an IPv4-mapped address has the IPv4 scope") << "::ffff:192.168.0.1" << S::Private;
    QTest::newRow("a broken IPv6 address") << "2001:db8:::1" << S::NotAnAddress;
}

void TestAddressScope::scope()
{
    QFETCH(QString, address);
    QFETCH(AddressScope, expected);
    // Compared in words, which makes a failure readable.
    QCOMPARE(toString(addressScope(address)), toString(expected));
}

void TestAddressScope::everyScopeHasWordsOfItsOwn()
{
    QStringList seen;
    for (int i = int(AddressScope::Public); i <= int(AddressScope::Reserved); ++i) {
        const QString words = toString(AddressScope(i));
        QVERIFY2(!words.isEmpty() && !seen.contains(words), qPrintable(words));
        seen << words;
    }
}

void TestAddressScope::theWarningSaysWhyAndWhatToDo_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("words"); // parts of the warning, in order; none for no warning
    const QString plainly =
        "not a public one, so the host name will not lead to this home from the Internet.";
    const QString askForIpv4 =
        "Ask the Internet provider for a public IPv4 address. Where the home has IPv6, "
        "the host name may reach it over IPv6 where IPv4 cannot.";
    const QString checkIpv6 = "Check the router's IPv6 settings";
    QTest::newRow("a public address is sent without a word") << "81.2.69.142" << QStringList();
    QTest::newRow("carrier-grade NAT: the provider shares the address")
        << "100.64.0.5"
        << QStringList{"100.64.0.5 is a carrier-grade NAT address, " + plainly,
                       "shares one public address among many homes", askForIpv4};
    QTest::newRow("a private address: another router or NAT in front")
        << " 192.168.0.5 "
        << QStringList{"192.168.0.5 is a private address, " + plainly, "behind another router", askForIpv4};
    QTest::newRow("a documentation address") << "203.0.113.7" << QStringList{plainly, askForIpv4};
    QTest::newRow("an IPv4-mapped private address is IPv4")
        << "::ffff:10.0.0.1" << QStringList{"is a private address", askForIpv4};
    QTest::newRow("a unique local IPv6 address has no provider's NAT")
        << "fd00::5" << QStringList{"fd00::5 is a private address", checkIpv6};
    QTest::newRow("a documentation IPv6 address") << "2001:db8::7" << QStringList{plainly, checkIpv6};
}

void TestAddressScope::theWarningSaysWhyAndWhatToDo()
{
    QFETCH(QString, address);
    QFETCH(QStringList, words);
    const std::optional<QString> warning = addressWarning(address, address);
    QCOMPARE(warning.has_value(), !words.isEmpty());
    qsizetype at = 0;
    for (const QString& part : std::as_const(words)) {
        const qsizetype found = warning->indexOf(part, at);
        QVERIFY2(found >= at, qPrintable(*warning));
        at = found + part.size();
    }
    if (warning && address.contains(':') && !address.contains('.'))
        QVERIFY2(!warning->contains("IPv4"), qPrintable(*warning));
}

QTEST_GUILESS_MAIN(TestAddressScope)
#include "tst_addressscope.moc"
