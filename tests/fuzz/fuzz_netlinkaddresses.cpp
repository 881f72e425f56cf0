// Fuzzes the reading of the kernel's rtnetlink answers (interfaces, IPv6
// addresses, default routes) and the choice made from what was read. The
// input is a run of datagrams, each a byte for its dump, two for its length
// (little-endian) and its bytes; the sequence numbers are the reader's own
// (1 links, 2 addresses, 3 routes). What must hold for any bytes: a broken
// dump stays broken, what is kept stays within the parser's limits, and an
// address chosen is a global unicast one, not temporary, of the view, on an
// interface of a default route.

#include "ownaddress/netlinkview.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void checkChoice(const KernelIpv6View& view, const QString& previous)
{
    const Result<Ipv6Choice, Ipv6Absence> choice = chooseIpv6Address(view, previous);
    if (!choice) {
        if (toString(choice.error()).isEmpty())
            fail("a reason without words");
        return;
    }
    const auto chosen =
        std::find_if(view.addresses.begin(), view.addresses.end(), [&](const KernelIpv6Address& a) {
            return ipv6Text(a.bytes) == choice.value().address &&
                   a.interfaceName == choice.value().interfaceName && !(a.flags & Ipv6AddressFlag::Temporary);
        });
    if (chosen == view.addresses.end())
        fail("a choice that is no lasting address of the view");
    if ((chosen->bytes[0] & 0xe0) != 0x20)
        fail("a choice outside 2000::/3");
    const bool routed =
        std::any_of(view.defaultRoutes.begin(), view.defaultRoutes.end(), [&](const KernelIpv6Route& r) {
            return r.type == RouteType::Unicast &&
                   std::find(r.interfaceIndexes.begin(), r.interfaceIndexes.end(), chosen->interfaceIndex) !=
                       r.interfaceIndexes.end();
        });
    if (!routed)
        fail("a choice where no default route leaves");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    NetlinkViewParser parser;
    bool broken = false;
    for (qsizetype at = 0; at + 3 <= input.size();) {
        const auto dump = NetlinkDump(quint8(input[at]) % 3);
        const qsizetype length =
            std::min<qsizetype>(quint8(input[at + 1]) | quint8(input[at + 2]) << 8, input.size() - at - 3);
        const DumpProgress progress = parser.read(input.sliced(at + 3, length), dump, quint32(dump) + 1);
        if (broken && progress != DumpProgress::Broken)
            fail("a broken dump read on");
        broken = progress == DumpProgress::Broken;
        at += 3 + length;
    }
    const KernelIpv6View view = parser.view();
    if (view.addresses.size() > NetlinkViewParser::kMostAddresses ||
        view.defaultRoutes.size() > NetlinkViewParser::kMostDefaultRoutes ||
        view.interfaceNames.size() > NetlinkViewParser::kMostInterfaces)
        fail("more kept than the limits allow");
    for (const KernelIpv6Address& address : view.addresses) {
        if (address.prefixLength > 128 || address.interfaceName.isEmpty())
            fail("an address with a prefix past 128 bits or without a name");
    }
    for (const KernelIpv6Route& route : view.defaultRoutes) {
        if (route.interfaceIndexes.size() > NetlinkViewParser::kMostNexthops)
            fail("more nexthops than the limit");
    }
    checkChoice(view, QString());
    if (!view.addresses.empty())
        checkChoice(view, ipv6Text(view.addresses.back().bytes));
    return 0;
}
