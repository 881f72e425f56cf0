#pragma once
// The router's NAT-PMP service (RFC 6886) on UDP port 5351 of a loopback
// address: it tells its public address and maps no ports.
//
//     NatPmpService natPmp(QStringLiteral("203.0.113.7"));
//     if (!natPmp.start(QHostAddress::LocalHost))
//         qWarning() << natPmp.errorString();

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace parlowen::sim {

// The answer to one request: the public address for opcode 0, with result
// 3 (network failure) when externalAddress is no IPv4 address, as a router
// without one answers; result 1 for another version, 5 for another opcode.
// Empty for what is no request, which is not answered at all.
QByteArray natPmpAnswer(const QByteArray& request, const QString& externalAddress, quint32 secondsSinceStart);

class NatPmpService : public QObject {
    Q_OBJECT
public:
    explicit NatPmpService(const QString& externalAddress, QObject* parent = nullptr);

    // False, with errorString(), for an address that is not loopback or a
    // port that is taken.
    bool start(const QHostAddress& address);
    QString errorString() const { return m_error; }
    int requestCount() const { return m_requests; }

signals:
    // opcode: the request's; result: the answer's result code.
    void requested(int opcode, int result);

private:
    void readDatagrams();

    QString m_externalAddress;
    QUdpSocket* m_socket;
    QElapsedTimer m_sinceStart;
    QString m_error;
    int m_requests = 0;
};

} // namespace parlowen::sim
