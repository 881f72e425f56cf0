// The simulated router's UPnP side: SSDP on loopback, and a root description
// and SOAP control served like any other page of the router.
#include "sim/upnpgateway.h"

#include "sim/natpmpservice.h"
#include "sim/routersim.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace parlowen::sim {

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 ssdpPort = 1900;
const QString descriptionPath = QStringLiteral("/rootDesc.xml");
const QByteArray udn = "uuid:5061726c-6f77-656e-8000-00000000c0de";

QByteArray envelope(const QByteArray& body)
{
    return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
           body + "</s:Body></s:Envelope>\r\n";
}

// UPnP control answers every fault with HTTP 500.
FakeResponse fault(int code, const QByteArray& description)
{
    return {.status = 500,
            .contentType = "text/xml; charset=\"utf-8\"",
            .body = envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                             "<detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>" +
                             QByteArray::number(code) + "</errorCode><errorDescription>" + description +
                             "</errorDescription></UPnPError></detail></s:Fault>")};
}

FakeResponse actionResponse(const QByteArray& serviceType, const QByteArray& action,
                            const QByteArray& arguments)
{
    return {.contentType = "text/xml; charset=\"utf-8\"",
            .body = envelope("<u:" + action + "Response xmlns:u=\"" + serviceType + "\">" + arguments +
                             "</u:" + action + "Response>")};
}

} // namespace

std::optional<UpnpBehaviour> upnpBehaviourNamed(const QString& name)
{
    static const QHash<QString, UpnpBehaviour> names{
        {QStringLiteral("address"), UpnpBehaviour::Address},
        {QStringLiteral("error"), UpnpBehaviour::Error},
        {QStringLiteral("silent"), UpnpBehaviour::Silent},
        {QStringLiteral("not-gateway"), UpnpBehaviour::NotGateway},
        {QStringLiteral("elsewhere"), UpnpBehaviour::Elsewhere},
    };
    const auto found = names.constFind(name);
    return found == names.cend() ? std::nullopt : std::optional(*found);
}

UpnpGateway::UpnpGateway(UpnpBehaviour behaviour, const QString& externalAddress, QObject* parent)
    : UpnpGateway(behaviour, externalAddress, {}, parent)
{}

UpnpGateway::UpnpGateway(UpnpBehaviour behaviour, const QString& externalAddress,
                         const GatewayFeatures& features, QObject* parent)
    : QObject(parent), m_behaviour(behaviour), m_externalAddress(externalAddress), m_features(features),
      m_http(new FakeHttpServer(this)),
      m_control(hasUrlBase(features.shape) ? new FakeHttpServer(this) : m_http), m_ssdp(new QUdpSocket(this))
{
    if (features.natPmp) {
        m_natPmp = new NatPmpService(externalAddress, this);
        connect(m_natPmp, &NatPmpService::requested, this, &UpnpGateway::natPmpRequested);
    }
    connect(m_http, &FakeHttpServer::requestReceived, this, [this](const RecordedRequest& request) {
        if (request.path == descriptionPath)
            emit descriptionRequested(request);
    });
    connect(m_ssdp, &QUdpSocket::readyRead, this, &UpnpGateway::readDatagrams);
}

// The description names the control server's port when it has a URLBase,
// so it is written once both listen.
bool UpnpGateway::serveHttp(const QHostAddress& host)
{
    if (!m_http->listen(0, host) || (m_control != m_http && !m_control->listen(0, host))) {
        m_error = QStringLiteral("cannot serve the UPnP description on %1").arg(host.toString());
        return false;
    }
    m_description =
        m_behaviour == UpnpBehaviour::NotGateway
            ? mediaServerDescription(udn)
            : gatewayDescription(m_features.shape, udn,
                                 m_control == m_http ? QString() : m_control->url(QStringLiteral("/")));
    m_http->setRoute(descriptionPath,
                     {.contentType = "text/xml; charset=\"utf-8\"", .body = m_description.xml});
    for (const QString& path : std::as_const(m_description.controlPaths))
        m_control->setHandler(path, [this](const RecordedRequest& request) { return control(request); });
    return true;
}

bool UpnpGateway::start()
{
    const QHostAddress host(m_behaviour == UpnpBehaviour::Elsewhere ? QStringLiteral("127.0.0.2")
                                                                    : QStringLiteral("127.0.0.1"));
    if (!serveHttp(host))
        return false;
    if (m_natPmp && !m_natPmp->start(host)) {
        m_error = m_natPmp->errorString();
        return false;
    }
    // Searches must never reach or come from a real network: only a loopback
    // made to carry multicast, as in a private network namespace, will do.
    const std::optional<QNetworkInterface> loopback = ssdpInterfaceFor(QHostAddress::LocalHost, m_error);
    if (!loopback)
        return false;
    if (!m_ssdp->bind(QHostAddress::AnyIPv4, ssdpPort,
                      QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        m_error = QStringLiteral("cannot listen for SSDP on UDP port %1: %2")
                      .arg(ssdpPort)
                      .arg(m_ssdp->errorString());
        return false;
    }
    if (!m_ssdp->joinMulticastGroup(ssdpGroup, *loopback)) {
        m_error = QStringLiteral("cannot join the SSDP group %1 on %2: %3")
                      .arg(ssdpGroup.toString(), loopback->name(), m_ssdp->errorString());
        m_ssdp->close();
        return false;
    }
    return true;
}

QString UpnpGateway::descriptionUrl() const
{
    return m_http->url(descriptionPath);
}

int UpnpGateway::natPmpRequestCount() const
{
    return m_natPmp ? m_natPmp->requestCount() : 0;
}

QByteArray UpnpGateway::answerTo(const QByteArray& datagram) const
{
    if (m_behaviour == UpnpBehaviour::Silent || !isDiscoverySearch(datagram) || m_description.types.isEmpty())
        return {};
    const QByteArray target = ssdpHeader(datagram, "ST");
    // ssdp:all is answered for the root device alone: one answer leads a
    // client to the description, which lists the rest.
    const QByteArray answered = target == "ssdp:all" ? m_description.types.first() : target;
    if (!(answered == "upnp:rootdevice" || answered == udn ||
          answersSearchFor(m_description.types, answered)))
        return {};
    return ssdpAnswer(descriptionUrl(), answered, answered == udn ? udn : udn + "::" + answered);
}

void UpnpGateway::readDatagrams()
{
    while (m_ssdp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_ssdp->receiveDatagram();
        if (!datagram.data().startsWith("M-SEARCH "))
            continue;
        ++m_searches;
        const QByteArray answer = answerTo(datagram.data());
        if (!answer.isEmpty())
            m_ssdp->writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
        emit searched(ssdpHeader(datagram.data(), "ST"), datagram.senderAddress(),
                      quint16(datagram.senderPort()), !answer.isEmpty());
    }
}

// Only the connection service answers, and only in the namespace of the
// type the description gives it: a client that asks in another has not
// read the description right.
FakeResponse UpnpGateway::control(const RecordedRequest& request)
{
    const QByteArray soapAction = request.header("SOAPAction").replace('"', "");
    const qsizetype hash = soapAction.indexOf('#');
    const QByteArray serviceType = soapAction.left(hash);
    const QByteArray action = soapAction.mid(hash + 1);
    FakeResponse response;
    if (request.method != "POST" || request.path != m_description.connectionPath ||
        serviceType != m_description.connectionType)
        response = fault(401, "Invalid Action");
    else if (action == "GetExternalIPAddress")
        response = m_behaviour == UpnpBehaviour::Error
                       ? fault(501, "Action Failed")
                       : actionResponse(serviceType, action,
                                        "<NewExternalIPAddress>" + htmlEscaped(m_externalAddress.toUtf8()) +
                                            "</NewExternalIPAddress>");
    else if (action == "GetStatusInfo")
        response = actionResponse(serviceType, action,
                                  "<NewConnectionStatus>Connected</NewConnectionStatus>"
                                  "<NewLastConnectionError>ERROR_NONE</NewLastConnectionError>"
                                  "<NewUptime>3600</NewUptime>");
    else if (action == "GetConnectionTypeInfo")
        response = actionResponse(serviceType, action,
                                  "<NewConnectionType>IP_Routed</NewConnectionType>"
                                  "<NewPossibleConnectionTypes>IP_Routed</NewPossibleConnectionTypes>");
    else
        response = fault(401, "Invalid Action");
    ++m_soapRequests;
    emit soapRequested(action, response.status);
    return response;
}

} // namespace parlowen::sim
