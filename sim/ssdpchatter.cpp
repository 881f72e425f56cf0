// A device that answers SSDP searches and never stops answering them.
#include "sim/ssdpchatter.h"

#include "sim/fakehttpserver.h"
#include "sim/upnpdevice.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>

namespace parlowen::sim {

namespace {

const QHostAddress ssdpGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 ssdpPort = 1900;
constexpr std::chrono::milliseconds repeatEvery{1500};
const QString descriptionPath = QStringLiteral("/description.xml");
const QByteArray udn = "uuid:5061726c-6f77-656e-8000-00000000c4a7";
const QHostAddress testLan(QStringLiteral("192.168.77.0"));
// Enough for every client a test runs at once; a demo left running would
// otherwise repeat itself to every closed port of every check since.
constexpr qsizetype searchersKept = 16;

// Whether every address here is one of a test network, as in the namespaces
// of tests/support/in-router-network, so that no real network is in reach.
// (The system's namespace cannot be told apart by its inode where init's
// is hidden, as it is in containers, even from root.)
bool onlyTestNetworksHere()
{
    const QList<QPair<QHostAddress, int>> testNetworks{
        {testLan, 24},
        QHostAddress::parseSubnet(QStringLiteral("192.0.2.0/24")),
        QHostAddress::parseSubnet(QStringLiteral("198.51.100.0/24")),
        QHostAddress::parseSubnet(QStringLiteral("203.0.113.0/24")),
        QHostAddress::parseSubnet(QStringLiteral("fe80::/10")),
    };
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        const auto holds = [&address](const QPair<QHostAddress, int>& network) {
            return address.isInSubnet(network);
        };
        if (!address.isLoopback() && std::none_of(testNetworks.cbegin(), testNetworks.cend(), holds))
            return false;
    }
    return true;
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
    if (!onlyTestNetworksHere()) {
        m_error = QStringLiteral("%1 is used only inside a private network namespace that holds test "
                                 "addresses alone, and this one has others")
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
        if (m_searchers.size() > searchersKept)
            m_searchers.removeFirst();
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
