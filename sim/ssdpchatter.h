#pragma once
// A chatty device on the LAN: a media server that answers every SSDP search,
// whatever it asks for, and then repeats its answer to the searcher every
// 1.5 s (to its last 16 searchers) until it is destroyed, as some devices
// do. A client that waits for the search to fall silent waits for ever
// beside it, as upnpc does.
//
// Its address must be one no real network can carry: in 127.0.0.0/8 (on a
// loopback made to carry multicast), or 192.168.77.0/24, the LAN of
// tests/support/in-router-network, and then only where every address is a
// test one (loopback, that LAN, documentation addresses, IPv6 link-local),
// as inside that script's namespaces.
//
//     SsdpChatter chatter(QHostAddress(QStringLiteral("127.0.0.3")));
//     if (!chatter.start())
//         qWarning() << chatter.errorString();

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTimer;
class QUdpSocket;

namespace parlowen::sim {

class FakeHttpServer;

class SsdpChatter : public QObject {
    Q_OBJECT
public:
    explicit SsdpChatter(const QHostAddress& address, QObject* parent = nullptr);

    // Serves its description on address, then listens on UDP port 1900 of
    // address and of 239.255.255.250 joined on address's interface. False,
    // with errorString(), for an address it may not use or a port or group
    // it cannot have.
    bool start();
    QString errorString() const { return m_error; }

    QString descriptionUrl() const;               // the LOCATION of its answers
    int answerCount() const { return m_answers; } // answers sent, repeats included

signals:
    void searched(const QByteArray& searchTarget, const QHostAddress& sender, quint16 senderPort);

private:
    struct Searcher {
        QHostAddress address;
        quint16 port;
        QByteArray answer;
    };

    bool mayUse(const QHostAddress& address);
    void readDatagrams(QUdpSocket* socket);
    void send(const Searcher& searcher);
    void repeat();

    QHostAddress m_address;
    FakeHttpServer* m_http;
    QUdpSocket* m_group;   // bound to the group, so that it hears searches only
    QUdpSocket* m_unicast; // bound to its own address: its answers come from there
    QTimer* m_repeat;
    QList<Searcher> m_searchers;
    QString m_error;
    int m_answers = 0;
};

} // namespace parlowen::sim
