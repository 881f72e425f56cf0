#pragma once
// The router as a UPnP Internet Gateway Device: it answers SSDP searches on
// the loopback's multicast group, serves its root description and answers
// the SOAP actions a client asks for the external address, so that a UPnP
// client can be tried against it end to end; and when asked, NAT-PMP's
// public-address request too. Only ever inside a private network namespace
// whose loopback carries multicast:
//
//     ip link set lo up; ip link set lo multicast on; ip route add 224.0.0.0/4 dev lo
//
//     UpnpGateway gateway(UpnpBehaviour::Address, QStringLiteral("203.0.113.7"));
//     if (!gateway.start())
//         qWarning() << gateway.errorString();

#include "sim/fakehttpserver.h"
#include "sim/upnpdevice.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <optional>

class QUdpSocket;

namespace parlowen::sim {

enum class UpnpBehaviour {
    Address,    // a working gateway; GetExternalIPAddress answers the text given, whatever it is
    Error,      // a working gateway whose GetExternalIPAddress fails: 501 Action Failed
    Silent,     // never answers a search (it still counts them)
    NotGateway, // answers searches, but describes a media server with no WAN connection service
    Elsewhere,  // Address, with its description and SOAP control on 127.0.0.2
};

// "address", "error", "silent", "not-gateway", "elsewhere"; nothing for anything else.
std::optional<UpnpBehaviour> upnpBehaviourNamed(const QString& name);

class NatPmpService;

// What the gateway has beyond its behaviour.
struct GatewayFeatures {
    DescriptionShape shape = DescriptionShape::Standard;
    bool natPmp = false; // NAT-PMP on UDP port 5351 of the gateway's address, whatever the behaviour
};

class UpnpGateway : public QObject {
    Q_OBJECT
public:
    UpnpGateway(UpnpBehaviour behaviour, const QString& externalAddress, QObject* parent = nullptr);
    UpnpGateway(UpnpBehaviour behaviour, const QString& externalAddress, const GatewayFeatures& features,
                QObject* parent = nullptr);

    // Serves the description on a port the OS chooses (and its control on
    // another, for a shape with a URLBase), NAT-PMP if asked, then listens
    // on UDP port 1900 of 239.255.255.250 joined on the loopback interface.
    // False, with errorString(), when the loopback cannot carry multicast, a
    // port is not free, or the group cannot be joined.
    bool start();
    QString errorString() const { return m_error; }

    // http://127.0.0.1:PORT/rootDesc.xml (127.0.0.2 for Elsewhere), the
    // LOCATION of every answer to a search.
    QString descriptionUrl() const;

    // The unicast answer to an SSDP datagram: empty unless it is an M-SEARCH
    // for ssdp:all, upnp:rootdevice, the device's UUID or a device or
    // service type it has, or when the gateway is Silent.
    QByteArray answerTo(const QByteArray& datagram) const;

    int searchCount() const { return m_searches; }          // M-SEARCH datagrams seen, answered or not
    int soapRequestCount() const { return m_soapRequests; } // POSTs to a control URL
    int natPmpRequestCount() const;

signals:
    void searched(const QByteArray& searchTarget, const QHostAddress& sender, quint16 senderPort,
                  bool answered);
    void descriptionRequested(const parlowen::sim::RecordedRequest& request);
    // action: the name after '#' in SOAPAction; status: the HTTP status answered.
    void soapRequested(const QByteArray& action, int status);
    // opcode: the NAT-PMP request's; result: the answer's result code.
    void natPmpRequested(int opcode, int result);

private:
    void readDatagrams();
    FakeResponse control(const RecordedRequest& request);
    bool serveHttp(const QHostAddress& host);

    UpnpBehaviour m_behaviour;
    QString m_externalAddress;
    GatewayFeatures m_features;
    RootDescription m_description;
    FakeHttpServer* m_http;
    FakeHttpServer* m_control; // m_http but for a shape with a URLBase
    NatPmpService* m_natPmp = nullptr;
    QUdpSocket* m_ssdp;
    QString m_error;
    int m_searches = 0;
    int m_soapRequests = 0;
};

} // namespace parlowen::sim
