// The simulated router's UPnP side: SSDP on loopback, and a root description
// and SOAP control served like any other page of the router.
#include "sim/upnpgateway.h"

#include "sim/routersim.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

namespace parlowen::sim {

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 ssdpPort = 1900;
const QString descriptionPath = QStringLiteral("/rootDesc.xml");
const QString ipConnectionPath = QStringLiteral("/ctl/IPConn");
const QString commonInterfacePath = QStringLiteral("/ctl/CmnIfCfg");
const QString contentDirectoryPath = QStringLiteral("/ctl/ContentDir");
const QByteArray udn = "uuid:5061726c-6f77-656e-8000-00000000c0de";
const QByteArray schema = "urn:schemas-upnp-org:";
const QByteArray ipConnectionType = schema + "service:WANIPConnection:1";

QByteArray device(const QByteArray& type, const QByteArray& name, const QByteArray& uuid,
                  const QByteArray& services, const QByteArray& embedded = {})
{
    return "<device><deviceType>" + schema + "device:" + type + "</deviceType><friendlyName>" + name +
           "</friendlyName><manufacturer>Parlowen</manufacturer><modelName>parlowen-simulator</modelName>"
           "<UDN>" +
           uuid + "</UDN><serviceList>" + services + "</serviceList>" +
           (embedded.isEmpty() ? QByteArray() : "<deviceList>" + embedded + "</deviceList>") + "</device>";
}

QByteArray service(const QByteArray& type, const QByteArray& id, const QString& controlPath)
{
    const QByteArray name = controlPath.section(u'/', -1).toUtf8();
    return "<service><serviceType>" + schema + "service:" + type +
           "</serviceType><serviceId>urn:upnp-org:serviceId:" + id + "</serviceId><SCPDURL>/" + name +
           ".xml</SCPDURL><controlURL>" + controlPath.toUtf8() + "</controlURL><eventSubURL>/evt/" + name +
           "</eventSubURL></service>";
}

// A client takes a device for a gateway by its WANCommonInterfaceConfig
// service and asks the WAN*Connection service for the address; a media
// server has neither.
QByteArray rootDescription(bool gateway)
{
    const QByteArray top =
        gateway ? device("InternetGatewayDevice:1", "Parlowen simulated router", udn, {},
                         device("WANDevice:1", "WAN device", udn + "-wan",
                                service("WANCommonInterfaceConfig:1", "WANCommonIFC1", commonInterfacePath),
                                device("WANConnectionDevice:1", "WAN connection", udn + "-conn",
                                       service("WANIPConnection:1", "WANIPConn1", ipConnectionPath))))
                : device("MediaServer:1", "Parlowen simulated media server", udn,
                         service("ContentDirectory:1", "ContentDirectory", contentDirectoryPath));
    return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>0</minor></specVersion>" +
           top + "</root>\r\n";
}

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

FakeResponse actionResponse(const QByteArray& action, const QByteArray& arguments)
{
    return {.contentType = "text/xml; charset=\"utf-8\"",
            .body = envelope("<u:" + action + "Response xmlns:u=\"" + ipConnectionType + "\">" + arguments +
                             "</u:" + action + "Response>")};
}

// The value of a header of an SSDP datagram, whose names are in any case.
QByteArray ssdpHeader(const QByteArray& datagram, QByteArrayView name)
{
    for (const QByteArray& line : datagram.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
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
    : QObject(parent), m_behaviour(behaviour), m_externalAddress(externalAddress),
      m_http(new FakeHttpServer(this)), m_ssdp(new QUdpSocket(this))
{
    const bool gateway = behaviour != UpnpBehaviour::NotGateway;
    m_http->setRoute(descriptionPath,
                     {.contentType = "text/xml; charset=\"utf-8\"", .body = rootDescription(gateway)});
    for (const QString& path :
         gateway ? QStringList{ipConnectionPath, commonInterfacePath} : QStringList{contentDirectoryPath})
        m_http->setHandler(path, [this](const RecordedRequest& request) { return control(request); });
    connect(m_http, &FakeHttpServer::requestReceived, this, [this](const RecordedRequest& request) {
        if (request.path == descriptionPath)
            emit descriptionRequested(request);
    });
    connect(m_ssdp, &QUdpSocket::readyRead, this, &UpnpGateway::readDatagrams);
}

bool UpnpGateway::start()
{
    const QHostAddress host(m_behaviour == UpnpBehaviour::Elsewhere ? QStringLiteral("127.0.0.2")
                                                                    : QStringLiteral("127.0.0.1"));
    if (!m_http->listen(0, host)) {
        m_error = QStringLiteral("cannot serve the UPnP description on %1").arg(host.toString());
        return false;
    }
    // Searches must never reach or come from a real network: only a loopback
    // made to carry multicast, as in a private network namespace, will do.
    QNetworkInterface loopback;
    for (const QNetworkInterface& candidate : QNetworkInterface::allInterfaces()) {
        if (candidate.flags().testFlag(QNetworkInterface::IsLoopBack))
            loopback = candidate;
    }
    if (!loopback.flags().testFlag(QNetworkInterface::CanMulticast) ||
        !loopback.flags().testFlag(QNetworkInterface::IsUp)) {
        m_error = QStringLiteral("the loopback interface does not carry multicast, so SSDP would have to "
                                 "use a real network; run inside a private network namespace after: "
                                 "ip link set lo up; ip link set lo multicast on; "
                                 "ip route add 224.0.0.0/4 dev lo");
        return false;
    }
    if (!m_ssdp->bind(QHostAddress::AnyIPv4, ssdpPort,
                      QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        m_error = QStringLiteral("cannot listen for SSDP on UDP port %1: %2")
                      .arg(ssdpPort)
                      .arg(m_ssdp->errorString());
        return false;
    }
    if (!m_ssdp->joinMulticastGroup(ssdpGroup, loopback)) {
        m_error = QStringLiteral("cannot join the SSDP group %1 on %2: %3")
                      .arg(ssdpGroup.toString(), loopback.name(), m_ssdp->errorString());
        m_ssdp->close();
        return false;
    }
    return true;
}

QString UpnpGateway::descriptionUrl() const
{
    return m_http->url(descriptionPath);
}

QByteArray UpnpGateway::answerTo(const QByteArray& datagram) const
{
    if (m_behaviour == UpnpBehaviour::Silent || !datagram.startsWith("M-SEARCH * HTTP/1.1\r\n"))
        return {};
    const QByteArray target = ssdpHeader(datagram, "ST");
    const bool discover = ssdpHeader(datagram, "MAN") == "\"ssdp:discover\"";
    const QList<QByteArray> types =
        m_behaviour == UpnpBehaviour::NotGateway
            ? QList<QByteArray>{schema + "device:MediaServer:1", schema + "service:ContentDirectory:1"}
            : QList<QByteArray>{schema + "device:InternetGatewayDevice:1", schema + "device:WANDevice:1",
                                schema + "device:WANConnectionDevice:1",
                                schema + "service:WANCommonInterfaceConfig:1", ipConnectionType};
    // ssdp:all is answered for the root device alone: one answer leads a
    // client to the description, which lists the rest.
    const QByteArray answered = target == "ssdp:all" ? types.first() : target;
    if (!discover || !(answered == "upnp:rootdevice" || answered == udn || types.contains(answered)))
        return {};
    const QByteArray usn = answered == udn ? udn : udn + "::" + answered;
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: " +
           descriptionUrl().toUtf8() +
           "\r\nSERVER: Linux/6.1 UPnP/1.1 parlowen-simulator/1\r\nST: " + answered + "\r\nUSN: " + usn +
           "\r\n\r\n";
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

FakeResponse UpnpGateway::control(const RecordedRequest& request)
{
    const QByteArray soapAction = request.header("SOAPAction");
    const QByteArray action = soapAction.mid(soapAction.indexOf('#') + 1).replace('"', "");
    FakeResponse response;
    if (request.method != "POST" || request.path != ipConnectionPath)
        response = fault(401, "Invalid Action");
    else if (action == "GetExternalIPAddress")
        response =
            m_behaviour == UpnpBehaviour::Error
                ? fault(501, "Action Failed")
                : actionResponse(action, "<NewExternalIPAddress>" + htmlEscaped(m_externalAddress.toUtf8()) +
                                             "</NewExternalIPAddress>");
    else if (action == "GetStatusInfo")
        response = actionResponse(action, "<NewConnectionStatus>Connected</NewConnectionStatus>"
                                          "<NewLastConnectionError>ERROR_NONE</NewLastConnectionError>"
                                          "<NewUptime>3600</NewUptime>");
    else if (action == "GetConnectionTypeInfo")
        response =
            actionResponse(action, "<NewConnectionType>IP_Routed</NewConnectionType>"
                                   "<NewPossibleConnectionTypes>IP_Routed</NewPossibleConnectionTypes>");
    else
        response = fault(401, "Invalid Action");
    ++m_soapRequests;
    emit soapRequested(action, response.status);
    return response;
}

} // namespace parlowen::sim
