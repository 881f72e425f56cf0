// The kernel asked over a netlink socket of our own, one dump at a time.
#include "ownaddress/ownipv6.h"

#include "ownaddress/netlinkview.h"

#include <QDeadlineTimer>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <variant>
#include <vector>

namespace parlowen {

namespace {

// The kernel's dump datagrams are 32 KiB at most; one that does not fit is
// refused, never read in part.
constexpr qsizetype kDatagramBytes = 64 * 1024;
// However many interfaces and routes: the whole view, or nothing, in this time.
constexpr int kDeadlineMs = 3000;
// A view read while the lists changed is read again, this many times at most,
// and then taken as it is: it is still what the kernel has.
constexpr int kMostReadings = 3;

struct Unreadable {
    QString detail;
};

class NetlinkSocket {
public:
    NetlinkSocket() : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~NetlinkSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1StringView(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

bool sendDumpRequest(int fd, NetlinkDump dump, quint32 sequence)
{
    struct {
        nlmsghdr header;
        union {
            ifinfomsg link;
            ifaddrmsg address;
            rtmsg route;
        } body;
    } request{};
    static const std::size_t bodySize[] = {sizeof(ifinfomsg), sizeof(ifaddrmsg), sizeof(rtmsg)};
    static const quint16 type[] = {RTM_GETLINK, RTM_GETADDR, RTM_GETROUTE};
    request.header.nlmsg_len = NLMSG_LENGTH(bodySize[int(dump)]);
    request.header.nlmsg_type = type[int(dump)];
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    if (dump == NetlinkDump::Addresses)
        request.body.address.ifa_family = AF_INET6;
    if (dump == NetlinkDump::Routes) {
        request.body.route.rtm_family = AF_INET6;
        request.body.route.rtm_table = RT_TABLE_MAIN; // heeded under strict checking, filtered again anyway
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    const ssize_t sent = ::sendto(fd, &request, request.header.nlmsg_len, 0,
                                  reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    return sent == ssize_t(request.header.nlmsg_len);
}

// One datagram from the kernel into buffer: its size, 0 for one to pass
// over, or the reason there is none.
std::variant<qsizetype, Unreadable> receive(int fd, std::vector<char>& buffer, const QDeadlineTimer& deadline)
{
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, int(deadline.remainingTime()));
    if (ready < 0)
        return errno == EINTR ? std::variant<qsizetype, Unreadable>(qsizetype(0))
                              : Unreadable{systemError("poll")};
    if (ready == 0)
        return Unreadable{QStringLiteral("the kernel did not finish its answer in time")};
    sockaddr_nl sender{};
    iovec piece{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &piece;
    message.msg_iovlen = 1;
    const ssize_t received = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (received < 0) {
        if (errno == EINTR || errno == EAGAIN)
            return qsizetype(0);
        return Unreadable{systemError("recvmsg")}; // ENOBUFS among them: part of the answer was dropped
    }
    if (message.msg_flags & MSG_TRUNC)
        return Unreadable{QStringLiteral("an answer larger than %1 bytes").arg(kDatagramBytes)};
    // Only the kernel speaks from port 0; anything else is not its answer.
    return sender.nl_pid == 0 ? qsizetype(received) : qsizetype(0);
}

std::optional<Unreadable> readDump(int fd, NetlinkDump dump, quint32 sequence, NetlinkViewParser& parser,
                                   const QDeadlineTimer& deadline)
{
    if (!sendDumpRequest(fd, dump, sequence))
        return Unreadable{systemError("sendto")};
    std::vector<char> buffer(kDatagramBytes);
    while (!deadline.hasExpired()) {
        const auto received = receive(fd, buffer, deadline);
        if (const Unreadable* failed = std::get_if<Unreadable>(&received))
            return *failed;
        const qsizetype size = std::get<qsizetype>(received);
        if (size == 0)
            continue;
        switch (parser.read(QByteArrayView(buffer.data(), size), dump, sequence)) {
        case DumpProgress::Ended:
            return std::nullopt;
        case DumpProgress::Broken:
            return Unreadable{parser.fault()};
        case DumpProgress::Continues:
            break;
        }
    }
    return Unreadable{QStringLiteral("the kernel did not finish its answer in time")};
}

std::variant<NetlinkViewParser, Unreadable> readOnce(const QDeadlineTimer& deadline)
{
    NetlinkSocket socket;
    if (socket.fd() < 0)
        return Unreadable{systemError("netlink socket")};
    // Lets the kernel filter the route dump by table; older kernels ignore it.
    const int on = 1;
    ::setsockopt(socket.fd(), SOL_NETLINK, NETLINK_GET_STRICT_CHK, &on, sizeof on);
    NetlinkViewParser parser;
    quint32 sequence = 0;
    for (NetlinkDump dump : {NetlinkDump::Links, NetlinkDump::Addresses, NetlinkDump::Routes}) {
        if (std::optional<Unreadable> failed = readDump(socket.fd(), dump, ++sequence, parser, deadline))
            return *failed;
    }
    return parser;
}

} // namespace

Result<KernelIpv6View, Ipv6Absence> readKernelIpv6View()
{
    const QDeadlineTimer deadline(kDeadlineMs);
    for (int reading = 1;; ++reading) {
        auto once = readOnce(deadline);
        if (const Unreadable* failed = std::get_if<Unreadable>(&once))
            return {Ipv6Absence::KernelUnreadable, failed->detail};
        const NetlinkViewParser& parser = std::get<NetlinkViewParser>(once);
        if (!parser.interrupted() || reading == kMostReadings || deadline.hasExpired())
            return parser.view();
    }
}

Result<Ipv6Choice, Ipv6Absence> thisComputersIpv6(const QString& previous)
{
    Result<KernelIpv6View, Ipv6Absence> view = readKernelIpv6View();
    if (!view)
        return view.failure();
    return chooseIpv6Address(view.value(), previous);
}

} // namespace parlowen
