// The STUN server against the sample messages of RFC 5769 and the requests
// miniupnpd sends, and over a real socket on loopback.
#include "sim/stunserver.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace parlowen::sim;

namespace {

// "21 12 a4 42" and the like: bytes written as the RFCs print them.
QByteArray bytes(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// The transaction ID of RFC 5769's samples.
const QByteArray transaction = bytes("b7 e7 a7 01 bc 34 d6 86 fa 87 df ae");

QByteArray header(const char* type, quint16 attributesLength)
{
    return bytes(type) + char(attributesLength >> 8) + char(attributesLength & 0xff) + bytes("21 12 a4 42") +
           transaction;
}

QByteArray request(const QByteArray& attributes = {})
{
    return header("00 01", quint16(attributes.size())) + attributes;
}

// A CHANGE-REQUEST with these flags (4: another address, 2: another port).
QByteArray changeRequest(const char* flags)
{
    return bytes("00 03 00 04 00 00 00") + bytes(flags);
}

const QByteArray unknownAttributeError =
    bytes("00 09 00 15 00 00 04 14") + "Unknown Attribute" + bytes("00 00 00");

} // namespace

class TestStunServer : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void answersOverTheNetwork();
};

void TestStunServer::answers_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<QByteArray>("expected"); // empty: no answer at all

    // RFC 5769 2.2 and 2.3: the XOR-MAPPED-ADDRESS of 192.0.2.1:32853 and
    // of [2001:db8:1234:5678:11:2233:4455:6677]:32853.
    const QByteArray ipv4Mapped = bytes("00 20 00 08 00 01 a1 47 e1 12 a6 43");
    const QByteArray ipv6Mapped =
        bytes("00 20 00 14 00 02 a1 47 01 13 a9 fa a5 d3 f1 79 bc 25 f4 b5 be d2 b9 d9");
    const QString v4 = QStringLiteral("192.0.2.1");
    const QString v6 = QStringLiteral("2001:db8:1234:5678:11:2233:4455:6677");
    const quint16 port = 32853;
    QTest::newRow("a Binding request from IPv4")
        << request() << v4 << port << header("01 01", 12) + ipv4Mapped;
    QTest::newRow("a Binding request from IPv6")
        << request() << v6 << port << header("01 01", 24) + ipv6Mapped;
    QTest::newRow("from an IPv4 address mapped into IPv6, as a dual-stack socket sees it")
        << request() << QStringLiteral("::ffff:192.0.2.1") << port << header("01 01", 12) + ipv4Mapped;
    QTest::newRow("an attribute that may be ignored (SOFTWARE)")
        << request(bytes("80 22 00 04") + "test") << v4 << port << header("01 01", 12) + ipv4Mapped;

    // miniupnpd's four requests: one to see the address, three to see
    // whether answers from elsewhere get through.
    QTest::newRow("a CHANGE-REQUEST for no change")
        << request(changeRequest("00")) << v4 << port << header("01 01", 12) + ipv4Mapped;
    const QByteArray refusedChange = unknownAttributeError + bytes("00 0a 00 02 00 03 00 00");
    QTest::newRow("a CHANGE-REQUEST for another port")
        << request(changeRequest("02")) << v4 << port << header("01 11", 36) + refusedChange;
    QTest::newRow("a CHANGE-REQUEST for another address")
        << request(changeRequest("04")) << v4 << port << header("01 11", 36) + refusedChange;
    QTest::newRow("a CHANGE-REQUEST for both")
        << request(changeRequest("06")) << v4 << port << header("01 11", 36) + refusedChange;
    QTest::newRow("two attributes that may not be ignored, each named once")
        << request(bytes("00 24 00 04 6e 00 01 ff 00 25 00 00 00 24 00 04 6e 00 01 ff")) << v4 << port
        << header("01 11", 36) + unknownAttributeError + bytes("00 0a 00 04 00 24 00 25");

    const QByteArray noAnswer;
    QTest::newRow("nothing") << QByteArray() << v4 << port << noAnswer;
    QTest::newRow("half a header") << request().left(10) << v4 << port << noAnswer;
    QTest::newRow("an RFC 3489 request, without the magic cookie")
        << QByteArray(bytes("00 01 00 00") + bytes("00 00 00 00") + transaction) << v4 << port << noAnswer;
    QTest::newRow("a length that is not the datagram's")
        << QByteArray(header("00 01", 8)) << v4 << port << noAnswer;
    QTest::newRow("an attribute longer than the message")
        << request(bytes("80 22 00 08") + "test") << v4 << port << noAnswer;
    QTest::newRow("an attribute header cut short") << request(bytes("80 22")) << v4 << port << noAnswer;
    QTest::newRow("a Binding indication, which is never answered")
        << header("00 11", 0) << v4 << port << noAnswer;
    QTest::newRow("a success response, so that two servers cannot answer each other forever")
        << QByteArray(header("01 01", 12) + ipv4Mapped) << v4 << port << noAnswer;
    QTest::newRow("a request of another method (Allocate)") << header("00 03", 0) << v4 << port << noAnswer;
}

void TestStunServer::answers()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, sender);
    QFETCH(quint16, port);
    QFETCH(QByteArray, expected);
    QCOMPARE(stunAnswer(datagram, QHostAddress(sender), port).toHex(' '), expected.toHex(' '));
}

void TestStunServer::answersOverTheNetwork()
{
    StunServer server;
    QVERIFY2(server.listen(QHostAddress::LocalHost, 0), qPrintable(server.errorString()));
    QSignalSpy answered(&server, &StunServer::answered);
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    client.writeDatagram(request(), QHostAddress::LocalHost, server.port());
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.first().at(1).value<quint16>(), client.localPort());
    QVERIFY(answered.first().at(2).toBool());
    QTRY_VERIFY(client.hasPendingDatagrams());
    const QByteArray answer = client.receiveDatagram().data();
    QCOMPARE(answer, stunAnswer(request(), QHostAddress::LocalHost, client.localPort()));
}

QTEST_GUILESS_MAIN(TestStunServer)
#include "tst_stunserver.moc"
