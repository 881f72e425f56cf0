// Root descriptions as routers lay them out, and SSDP's answer to a search.
#include "sim/upnpdevice.h"

namespace parlowen::sim {

namespace {

const QByteArray schema = "urn:schemas-upnp-org:";

struct ServiceRow {
    QByteArray type; // without urn:schemas-upnp-org:service:
    QByteArray id;
    QString controlPath;
};

// A WANDevice: its interface's config and its WANConnectionDevice's services.
struct WanDeviceRow {
    ServiceRow interfaceConfig;
    QList<ServiceRow> connectionServices;
};

struct ShapeRow {
    const char* name;
    DescriptionShape shape;
    QByteArray version; // of the gateway's device types
    QList<WanDeviceRow> wanDevices;
};

const QList<ShapeRow>& shapeTable()
{
    const ServiceRow commonInterface{"WANCommonInterfaceConfig:1", "WANCommonIFC1", "/ctl/CmnIfCfg"};
    const ServiceRow ipConnection{"WANIPConnection:1", "WANIPConn1", "/ctl/IPConn"};
    // A DSL modem's WANDevice: the line, but no connection on it.
    const WanDeviceRow dsl{{"WANCommonInterfaceConfig:1", "WANCommonIFC1", "/ctl/DslCmnIfCfg"},
                           {{"WANDSLLinkConfig:1", "WANDSLLinkC1", "/ctl/DslLink"}}};
    static const QList<ShapeRow> shapes{
        {"standard", DescriptionShape::Standard, "1", {{commonInterface, {ipConnection}}}},
        {"second-wan-device",
         DescriptionShape::SecondWanDevice,
         "1",
         {dsl, {commonInterface, {ipConnection}}}},
        {"ppp-only",
         DescriptionShape::PppOnly,
         "1",
         {{commonInterface, {{"WANPPPConnection:1", "WANPPPConn1", "/ctl/PPPConn"}}}}},
        // Version 2 keeps WANCommonInterfaceConfig at 1.
        {"igd-v2",
         DescriptionShape::IgdV2,
         "2",
         {{commonInterface, {{"WANIPConnection:2", "WANIPConn1", "/ctl/IPConn"}}}}},
        {"urlbase-other-port", DescriptionShape::UrlBaseOtherPort, "1", {{commonInterface, {ipConnection}}}},
    };
    return shapes;
}

const ShapeRow& shapeRow(DescriptionShape shape)
{
    for (const ShapeRow& row : shapeTable()) {
        if (row.shape == shape)
            return row;
    }
    return shapeTable().first();
}

// Writes a description from the inside out, noting the types and control
// paths it names on the way.
class DescriptionWriter {
public:
    DescriptionWriter(const QByteArray& udn, bool relative) : m_udn(udn), m_relative(relative) {}

    QByteArray service(const ServiceRow& row)
    {
        const QByteArray type = schema + "service:" + row.type;
        if (!m_description.types.contains(type))
            m_description.types.append(type);
        m_description.controlPaths.append(row.controlPath);
        if (row.type.startsWith("WANIPConnection:") || row.type.startsWith("WANPPPConnection:")) {
            m_description.connectionType = type;
            m_description.connectionPath = row.controlPath;
        }
        const QByteArray name = row.controlPath.section(u'/', -1).toUtf8();
        // Relative to a URLBase, the paths lose their leading slash.
        const QByteArray root = m_relative ? "" : "/";
        return "<service><serviceType>" + type + "</serviceType><serviceId>urn:upnp-org:serviceId:" + row.id +
               "</serviceId><SCPDURL>" + root + name + ".xml</SCPDURL><controlURL>" +
               row.controlPath.mid(m_relative ? 1 : 0).toUtf8() + "</controlURL><eventSubURL>" + root +
               "evt/" + name + "</eventSubURL></service>";
    }

    QByteArray device(const QByteArray& type, const QByteArray& name, const QByteArray& udnSuffix,
                      const QByteArray& services, const QByteArray& embedded = {})
    {
        const QByteArray fullType = schema + "device:" + type;
        // Inner devices are written first: the root device's type goes before theirs.
        if (!m_description.types.contains(fullType))
            m_description.types.prepend(fullType);
        return "<device><deviceType>" + fullType + "</deviceType><friendlyName>" + name +
               "</friendlyName><manufacturer>Parlowen</manufacturer><modelName>parlowen-simulator</modelName>"
               "<UDN>" +
               m_udn + udnSuffix + "</UDN><serviceList>" + services + "</serviceList>" +
               (embedded.isEmpty() ? QByteArray() : "<deviceList>" + embedded + "</deviceList>") +
               "</device>";
    }

    RootDescription finish(const QByteArray& root, const QString& urlBase)
    {
        m_description.xml =
            "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
            "<specVersion><major>1</major><minor>0</minor></specVersion>" +
            (urlBase.isEmpty() ? QByteArray() : "<URLBase>" + urlBase.toUtf8() + "</URLBase>") + root +
            "</root>\r\n";
        return m_description;
    }

private:
    QByteArray m_udn;
    bool m_relative;
    RootDescription m_description;
};

} // namespace

std::optional<DescriptionShape> descriptionShapeNamed(const QString& name)
{
    for (const ShapeRow& row : shapeTable()) {
        if (name == QLatin1StringView(row.name))
            return row.shape;
    }
    return std::nullopt;
}

QStringList descriptionShapeNames()
{
    QStringList names;
    for (const ShapeRow& row : shapeTable())
        names.append(QString::fromLatin1(row.name));
    return names;
}

bool hasUrlBase(DescriptionShape shape)
{
    return shape == DescriptionShape::UrlBaseOtherPort;
}

// A client takes a device for a gateway by its WANCommonInterfaceConfig
// service and asks the WAN*Connection service for the address.
RootDescription gatewayDescription(DescriptionShape shape, const QByteArray& udn, const QString& urlBase)
{
    const ShapeRow& row = shapeRow(shape);
    DescriptionWriter writer(udn, !urlBase.isEmpty());
    QByteArray wanDevices;
    for (qsizetype i = 0; i < row.wanDevices.size(); ++i) {
        const WanDeviceRow& wan = row.wanDevices[i];
        const QByteArray suffix = "-wan" + (i == 0 ? QByteArray() : QByteArray::number(i + 1));
        QByteArray connectionServices;
        for (const ServiceRow& service : wan.connectionServices)
            connectionServices += writer.service(service);
        const QByteArray connection = writer.device("WANConnectionDevice:" + row.version, "WAN connection",
                                                    suffix + "-conn", connectionServices);
        wanDevices += writer.device("WANDevice:" + row.version, "WAN device", suffix,
                                    writer.service(wan.interfaceConfig), connection);
    }
    return writer.finish(writer.device("InternetGatewayDevice:" + row.version, "Parlowen simulated router",
                                       {}, {}, wanDevices),
                         urlBase);
}

RootDescription mediaServerDescription(const QByteArray& udn)
{
    DescriptionWriter writer(udn, false);
    const QByteArray services =
        writer.service({"ContentDirectory:1", "ContentDirectory", QStringLiteral("/ctl/ContentDir")});
    return writer.finish(writer.device("MediaServer:1", "Parlowen simulated media server", {}, services), {});
}

QByteArray ssdpHeader(const QByteArray& datagram, QByteArrayView name)
{
    for (const QByteArray& line : datagram.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

bool isDiscoverySearch(const QByteArray& datagram)
{
    return datagram.startsWith("M-SEARCH * HTTP/1.1\r\n") &&
           ssdpHeader(datagram, "MAN") == "\"ssdp:discover\"";
}

QByteArray ssdpAnswer(const QString& location, const QByteArray& target, const QByteArray& usn)
{
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: " + location.toUtf8() +
           "\r\nSERVER: Linux/6.1 UPnP/1.1 parlowen-simulator/1\r\nST: " + target + "\r\nUSN: " + usn +
           "\r\n\r\n";
}

bool answersSearchFor(const QList<QByteArray>& types, const QByteArray& target)
{
    const qsizetype colon = target.lastIndexOf(':');
    bool numbered = false;
    const int version = target.mid(colon + 1).toInt(&numbered);
    for (const QByteArray& type : types) {
        if (type == target)
            return true;
        if (numbered && colon > 0 && type.startsWith(target.left(colon + 1)) &&
            type.mid(colon + 1).toInt() >= version)
            return true;
    }
    return false;
}

std::optional<QNetworkInterface> ssdpInterfaceFor(const QHostAddress& address, QString& error)
{
    const bool loopback = address.isLoopback();
    for (const QNetworkInterface& candidate : QNetworkInterface::allInterfaces()) {
        bool holds = loopback && candidate.flags().testFlag(QNetworkInterface::IsLoopBack);
        for (const QNetworkAddressEntry& entry : candidate.addressEntries())
            holds = holds || (!loopback && entry.ip() == address);
        if (!holds)
            continue;
        if (candidate.flags().testFlag(QNetworkInterface::CanMulticast) &&
            candidate.flags().testFlag(QNetworkInterface::IsUp))
            return candidate;
        break;
    }
    error = loopback
                ? QStringLiteral("the loopback interface does not carry multicast, so SSDP would have to "
                                 "use a real network; run inside a private network namespace after: "
                                 "ip link set lo up; ip link set lo multicast on; "
                                 "ip route add 224.0.0.0/4 dev lo")
                : QStringLiteral("no interface that is up and carries multicast holds %1")
                      .arg(address.toString());
    return std::nullopt;
}

} // namespace parlowen::sim
