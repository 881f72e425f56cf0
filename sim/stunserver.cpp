// The STUN server: Binding requests in, the sender's address out.
#include "sim/stunserver.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

#include <optional>

namespace parlowen::sim {

namespace {

constexpr quint16 BindingRequest = 0x0001;
constexpr quint16 BindingSuccess = 0x0101;
constexpr quint16 BindingError = 0x0111;
constexpr quint32 MagicCookie = 0x2112A442;
constexpr quint16 XorMappedAddress = 0x0020;
constexpr quint16 ErrorCode = 0x0009;
constexpr quint16 UnknownAttributes = 0x000A;
constexpr quint16 ChangeRequest = 0x0003;
constexpr int HeaderSize = 20;

quint16 read16(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

void append16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value >> 8)).append(char(value & 0xff));
}

void append32(QByteArray& bytes, quint32 value)
{
    append16(bytes, quint16(value >> 16));
    append16(bytes, quint16(value & 0xffff));
}

// Attributes are padded to a multiple of four bytes.
void appendAttribute(QByteArray& message, quint16 type, const QByteArray& value)
{
    append16(message, type);
    append16(message, quint16(value.size()));
    message += value;
    message += QByteArray((4 - value.size() % 4) % 4, '\0');
}

// The address and port XORed with the cookie (and for IPv6 the
// transaction ID too), so that a NAT that rewrites addresses it finds in
// packets leaves this one alone.
QByteArray xorMappedAddress(const QByteArray& transaction, const QHostAddress& sender, quint16 port)
{
    QByteArray value(1, '\0');
    QByteArray address;
    bool isV4 = false;
    const quint32 v4 = sender.toIPv4Address(&isV4);
    if (isV4) {
        append32(address, v4);
    } else {
        const Q_IPV6ADDR v6 = sender.toIPv6Address();
        address = QByteArray(reinterpret_cast<const char*>(v6.c), 16);
    }
    value.append(char(isV4 ? 0x01 : 0x02));
    append16(value, quint16(port ^ (MagicCookie >> 16)));
    QByteArray key;
    append32(key, MagicCookie);
    key += transaction;
    for (qsizetype i = 0; i < address.size(); ++i)
        address[i] = char(address[i] ^ key[i]);
    return value + address;
}

QByteArray message(quint16 type, const QByteArray& transaction, const QByteArray& attributes)
{
    QByteArray bytes;
    append16(bytes, type);
    append16(bytes, quint16(attributes.size()));
    append32(bytes, MagicCookie);
    return bytes + transaction + attributes;
}

// The comprehension-required attributes (types below 0x8000) of a request
// that this server cannot act on; nothing when the attributes are not well
// formed. A CHANGE-REQUEST (RFC 5780) that asks for nothing to change is
// understood, since routers send one with every request; one that asks for
// an answer from another address or port cannot be done by a server with
// one of each, and is refused as an attribute not known would be.
std::optional<QList<quint16>> unknownRequiredAttributes(const QByteArray& datagram)
{
    QList<quint16> unknown;
    qsizetype at = HeaderSize;
    while (at < datagram.size()) {
        if (datagram.size() - at < 4)
            return std::nullopt;
        const quint16 type = read16(datagram, at);
        const qsizetype length = read16(datagram, at + 2);
        const qsizetype padded = (length + 3) / 4 * 4;
        if (datagram.size() - at - 4 < padded)
            return std::nullopt;
        const bool unchanged = type == ChangeRequest && length == 4 &&
                               qFromBigEndian<quint32>(datagram.constData() + at + 4) == 0;
        if (type < 0x8000 && !unchanged && !unknown.contains(type))
            unknown.append(type);
        at += 4 + padded;
    }
    return unknown;
}

} // namespace

QByteArray stunAnswer(const QByteArray& datagram, const QHostAddress& sender, quint16 senderPort)
{
    if (datagram.size() < HeaderSize || read16(datagram, 0) != BindingRequest ||
        read16(datagram, 2) != datagram.size() - HeaderSize ||
        qFromBigEndian<quint32>(datagram.constData() + 4) != MagicCookie)
        return {};
    const std::optional<QList<quint16>> unknown = unknownRequiredAttributes(datagram);
    if (!unknown)
        return {};
    const QByteArray transaction = datagram.mid(8, 12);
    QByteArray attributes;
    if (unknown->isEmpty()) {
        appendAttribute(attributes, XorMappedAddress, xorMappedAddress(transaction, sender, senderPort));
        return message(BindingSuccess, transaction, attributes);
    }
    QByteArray error("\0\0\x04\x14", 4); // class 4, number 20: 420
    appendAttribute(attributes, ErrorCode, error + "Unknown Attribute");
    QByteArray types;
    for (const quint16 type : *unknown)
        append16(types, type);
    appendAttribute(attributes, UnknownAttributes, types);
    return message(BindingError, transaction, attributes);
}

StunServer::StunServer(QObject* parent) : QObject(parent), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &StunServer::readDatagrams);
}

bool StunServer::listen(const QHostAddress& address, quint16 port)
{
    if (m_socket->bind(address, port))
        return true;
    m_error = QStringLiteral("cannot listen for STUN on %1 UDP port %2: %3")
                  .arg(address.toString())
                  .arg(port)
                  .arg(m_socket->errorString());
    return false;
}

quint16 StunServer::port() const
{
    return m_socket->localPort();
}

void StunServer::readDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        const quint16 senderPort = quint16(datagram.senderPort());
        const QByteArray answer = stunAnswer(datagram.data(), datagram.senderAddress(), senderPort);
        if (answer.isEmpty())
            continue;
        m_socket->writeDatagram(answer, datagram.senderAddress(), senderPort);
        emit answered(datagram.senderAddress(), senderPort, read16(answer, 0) == BindingSuccess);
    }
}

} // namespace parlowen::sim
