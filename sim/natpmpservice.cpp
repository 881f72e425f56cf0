// NAT-PMP's public-address request, answered from a loopback address.
#include "sim/natpmpservice.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

namespace parlowen::sim {

namespace {

constexpr quint16 natPmpPort = 5351;

enum Result : quint16 { Success = 0, UnsupportedVersion = 1, NetworkFailure = 3, UnsupportedOpcode = 5 };

QByteArray header(quint8 opcode, quint16 result, quint32 seconds)
{
    QByteArray answer(8, '\0');
    answer[1] = char(opcode | 0x80);
    qToBigEndian(result, answer.data() + 2);
    qToBigEndian(seconds, answer.data() + 4);
    return answer;
}

} // namespace

QByteArray natPmpAnswer(const QByteArray& request, const QString& externalAddress, quint32 secondsSinceStart)
{
    // An opcode with the top bit set is an answer, perhaps our own.
    if (request.size() < 2 || (quint8(request[1]) & 0x80))
        return {};
    const quint8 opcode = quint8(request[1]);
    if (request[0] != 0)
        return header(opcode, UnsupportedVersion, secondsSinceStart);
    // Port mappings are refused as an opcode this gateway does not have.
    if (opcode != 0)
        return header(opcode, UnsupportedOpcode, secondsSinceStart);
    const QHostAddress address(externalAddress);
    const bool ipv4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    QByteArray answer = header(opcode, ipv4 ? Success : NetworkFailure, secondsSinceStart);
    answer.append(4, '\0');
    if (ipv4)
        qToBigEndian(address.toIPv4Address(), answer.data() + 8);
    return answer;
}

NatPmpService::NatPmpService(const QString& externalAddress, QObject* parent)
    : QObject(parent), m_externalAddress(externalAddress), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &NatPmpService::readDatagrams);
}

bool NatPmpService::start(const QHostAddress& address)
{
    // Its answers must never reach a real network.
    if (!address.isLoopback()) {
        m_error =
            QStringLiteral("NAT-PMP is served on a loopback address only, not %1").arg(address.toString());
        return false;
    }
    if (!m_socket->bind(address, natPmpPort)) {
        m_error = QStringLiteral("cannot serve NAT-PMP on %1 UDP port %2: %3")
                      .arg(address.toString())
                      .arg(natPmpPort)
                      .arg(m_socket->errorString());
        return false;
    }
    m_sinceStart.start();
    return true;
}

void NatPmpService::readDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        const QByteArray answer =
            natPmpAnswer(datagram.data(), m_externalAddress, quint32(m_sinceStart.elapsed() / 1000));
        if (answer.isEmpty())
            continue;
        ++m_requests;
        m_socket->writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
        emit requested(quint8(datagram.data().at(1)), qFromBigEndian<quint16>(answer.constData() + 2));
    }
}

} // namespace parlowen::sim
