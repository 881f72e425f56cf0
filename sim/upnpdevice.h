#pragma once
// What a simulated UPnP device says of itself: its root description, in the
// shapes real routers give it, and its answer to an SSDP search.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkInterface>
#include <QString>
#include <QStringList>

#include <optional>

namespace parlowen::sim {

// How a gateway's root description is laid out; each is one a client must
// read right to find the connection service.
enum class DescriptionShape {
    Standard,         // InternetGatewayDevice:1, one WANDevice, WANIPConnection:1
    SecondWanDevice,  // a DSL WANDevice without a connection service first, then the one with it
    PppOnly,          // WANPPPConnection:1 alone
    IgdV2,            // InternetGatewayDevice:2 down to WANIPConnection:2
    UrlBaseOtherPort, // a <URLBase> naming another port, control URLs relative to it
};

// "standard", "second-wan-device", "ppp-only", "igd-v2", "urlbase-other-port".
std::optional<DescriptionShape> descriptionShapeNamed(const QString& name);
QStringList descriptionShapeNames();
bool hasUrlBase(DescriptionShape shape);

struct RootDescription {
    QByteArray xml;
    QList<QByteArray> types;   // of its devices and services, the root device's first
    QByteArray connectionType; // of the WAN*Connection service; empty for a media server
    QString connectionPath;    // where that service is controlled
    QStringList controlPaths;  // of every service
};

// urlBase: the <URLBase>, for the shape that has one; its control URLs are
// then relative to it.
RootDescription gatewayDescription(DescriptionShape shape, const QByteArray& udn, const QString& urlBase);
RootDescription mediaServerDescription(const QByteArray& udn);

// The value of a header of an SSDP datagram, whose names are in any case.
QByteArray ssdpHeader(const QByteArray& datagram, QByteArrayView name);
bool isDiscoverySearch(const QByteArray& datagram);
// The unicast answer to a search for target, which the device has.
QByteArray ssdpAnswer(const QString& location, const QByteArray& target, const QByteArray& usn);
// Whether a device of these types answers a search for target: one of
// them, or an earlier version of one, which a device must answer too.
bool answersSearchFor(const QList<QByteArray>& types, const QByteArray& target);

// The interface SSDP of a device at address may use: the loopback for
// 127.0.0.0/8, or the interface that holds address, and only one that is
// up and carries multicast. Nothing, with why not in error, otherwise.
std::optional<QNetworkInterface> ssdpInterfaceFor(const QHostAddress& address, QString& error);

} // namespace parlowen::sim
