#pragma once
// The kernel's answers to the three rtnetlink dumps that make up its view of
// IPv6 (interfaces, addresses, default routes), read from bytes alone, so
// that a fuzz target can feed it anything. The answer is treated as hostile
// input: every length is checked before it is read, an attribute of a known
// type with the wrong length breaks the dump, and what is kept is bounded.

#include "check/ipv6choice.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>

namespace parlowen {

enum class NetlinkDump { Links, Addresses, Routes };

// How far a dump has come after one datagram of it.
enum class DumpProgress { Continues, Ended, Broken };

class NetlinkViewParser {
public:
    // Far beyond any computer's; a view past them is refused, not cut.
    static constexpr std::size_t kMostInterfaces = 4096;
    static constexpr std::size_t kMostAddresses = 8192;
    static constexpr std::size_t kMostDefaultRoutes = 1024;
    static constexpr std::size_t kMostNexthops = 256;

    // One datagram of the dump asked for with `sequence`. Messages of other
    // sequences are passed over; a dump ends at NLMSG_DONE or fails at an
    // error. After Broken the parser takes nothing more.
    DumpProgress read(QByteArrayView datagram, NetlinkDump dump, quint32 sequence);

    QString fault() const { return m_fault; }
    // The kernel said the lists changed while it wrote them (NLM_F_DUMP_INTR).
    bool interrupted() const { return m_interrupted; }

    // What was read, each address named by the interface dump ("interface N"
    // where that had no name for it).
    KernelIpv6View view() const;

private:
    bool readMessage(quint16 type, QByteArrayView payload, NetlinkDump dump);
    bool readLink(QByteArrayView payload);
    bool readAddress(QByteArrayView payload);
    bool readRoute(QByteArrayView payload);
    DumpProgress broken(const QString& fault);
    bool refuse(const QString& fault); // false, the fault kept

    KernelIpv6View m_view;
    QString m_fault;
    bool m_interrupted = false;
};

} // namespace parlowen
