#pragma once
// A STUN server of the smallest kind (RFC 5389): it answers a Binding
// request with the address and port the request came from, so that a
// router asking "how does the Internet see me?" hears the upstream's view.
//
//     StunServer stun;
//     if (!stun.listen(QHostAddress(QStringLiteral("203.0.113.1"))))
//         qWarning() << stun.errorString();

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace parlowen::sim {

inline constexpr quint16 StunPort = 3478;

// The answer to one datagram from sender:senderPort. A Binding request
// gets a Binding success response with XOR-MAPPED-ADDRESS, or, when it
// holds a comprehension-required attribute this server cannot act on (such
// as a CHANGE-REQUEST of RFC 5780 for another address or port: it has one
// of each), a 420 error naming those attributes. Anything else, a
// request without the magic cookie of RFC 5389 included, gets no answer:
// empty.
QByteArray stunAnswer(const QByteArray& datagram, const QHostAddress& sender, quint16 senderPort);

class StunServer : public QObject {
    Q_OBJECT
public:
    explicit StunServer(QObject* parent = nullptr);

    // False, with errorString(), when the port cannot be had.
    bool listen(const QHostAddress& address, quint16 port = StunPort);
    quint16 port() const;
    QString errorString() const { return m_error; }

signals:
    // success: a Binding success response; otherwise the 420 error.
    void answered(const QHostAddress& sender, quint16 senderPort, bool success);

private:
    void readDatagrams();

    QUdpSocket* m_socket;
    QString m_error;
};

} // namespace parlowen::sim
