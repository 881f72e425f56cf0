// A device that answers SSDP searches and never stops answering them.
#include "sim/ssdpchatter.h"

#include "sim/fakehttpserver.h"
#include "sim/upnpdevice.h"

#include <QFileInfo>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <chrono>

namespace parlowen::sim {

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 ssdpPort = 1900;
constexpr std::chrono::milliseconds repeatEvery{1500};
const QString descriptionPath = QStringLiteral("/description.xml");
const QByteArray udn = "uuid:5061726c-6f77-656e-8000-00000000c4a7";
const QHostAddress testLan(QStringLiteral("192.168.77.0"));

// Whether this process has a network namespace of its own: the system's
// is init's. Where init's cannot be read, it is taken to be this one.
bool inPrivateNetworkNamespace()
{
    const QString ours = QFileInfo(QStringLiteral("/proc/self/ns/net")).symLinkTarget();
    const QString systems = QFileInfo(QStringLiteral("/proc/1/ns/net")).symLinkTarget();
    return !ours.isEmpty() && !systems.isEmpty() && ours != systems;
}

} // namespace

SsdpChatter::SsdpChatter(const QHostAddress& address, QObject* parent)
    : QObject(parent), m_address(address), m_http(new FakeHttpServer(this)), m_group(new QUdpSocket(this)),
      m_unicast(new QUdpSocket(this)), m_repeat(new QTimer(this))
{
    m_http->setRoute(descriptionPath,
                     {.contentType = "text/xml; charset=\"utf-8\"", .body = mediaServerDescription(udn).xml});
    m_repeat->setInterval(repeatEvery);
    connect(m_repeat, &QTimer::timeout, this, &SsdpChatter::repeat);
    for (QUdpSocket* socket : {m_group, m_unicast})
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readDatagrams(socket); });
}

bool SsdpChatter::mayUse(const QHostAddress& address)
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol && address.isLoopback())
        return true;
    if (!address.isInSubnet(testLan, 24)) {
        m_error = QStringLiteral("%1 is neither in 127.0.0.0/8 nor in the test LAN 192.168.77.0/24")
                      .arg(address.toString());
        return false;
    }
    if (!inPrivateNetworkNamespace()) {
        m_error = QStringLiteral("%1 is used only inside a private network namespace, and this is not one "
                                 "(or, without root, cannot be told from the system's)")
                      .arg(address.toString());
        return false;
    }
    return true;
}

bool SsdpChatter::start()
{
    if (!mayUse(m_address))
        return false;
    const std::optional<QNetworkInterface> interface = ssdpInterfaceFor(m_address, m_error);
    if (!interface)
        return false;
    if (!m_http->listen(0, m_address)) {
        m_error = QStringLiteral("cannot serve the description on %1").arg(m_address.toString());
        return false;
    }
    const auto shared = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
    if (!m_group->bind(ssdpGroup, ssdpPort, shared) || !m_unicast->bind(m_address, ssdpPort, shared)) {
        m_error = QStringLiteral("cannot listen for SSDP on UDP port %1 of %2: %3")
                      .arg(ssdpPort)
                      .arg(m_address.toString(), m_group->errorString() + m_unicast->errorString());
        return false;
    }
    if (!m_group->joinMulticastGroup(ssdpGroup, *interface)) {
        m_error = QStringLiteral("cannot join the SSDP group %1 on %2: %3")
                      .arg(ssdpGroup.toString(), interface->name(), m_group->errorString());
        return false;
    }
    m_repeat->start();
    return true;
}

QString SsdpChatter::descriptionUrl() const
{
    return m_http->url(descriptionPath);
}

// Whatever the search asks for is what it says it is.
void SsdpChatter::readDatagrams(QUdpSocket* socket)
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!isDiscoverySearch(datagram.data()))
            continue;
        const QByteArray target = ssdpHeader(datagram.data(), "ST");
        const Searcher searcher{datagram.senderAddress(), quint16(datagram.senderPort()),
                                ssdpAnswer(descriptionUrl(), target, udn + "::" + target)};
        emit searched(target, searcher.address, searcher.port);
        send(searcher);
        const auto same = [&searcher](const Searcher& known) {
            return known.address == searcher.address && known.port == searcher.port;
        };
        m_searchers.removeIf(same);
        m_searchers.append(searcher);
    }
}

void SsdpChatter::send(const Searcher& searcher)
{
    m_unicast->writeDatagram(searcher.answer, searcher.address, searcher.port);
    ++m_answers;
}

void SsdpChatter::repeat()
{
    for (const Searcher& searcher : std::as_const(m_searchers))
        send(searcher);
}

} // namespace parlowen::sim
