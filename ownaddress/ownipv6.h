#pragma once
// This computer's own IPv6 address for the name's AAAA record, as the kernel
// lists it: its addresses and default routes over rtnetlink, never a server
// outside asked what it sees.

#include "check/ipv6choice.h"
#include "common/result.h"

#include <QString>

namespace parlowen {

// The address check/ chooses from the kernel's view; `previous` is the IPv6
// address the provider last accepted (empty for none), kept while it stays
// one of the best. Never blocks for long: the kernel's answer has a
// deadline of its own (KernelUnreadable past it).
Result<Ipv6Choice, Ipv6Absence> thisComputersIpv6(const QString& previous);

// The kernel's view itself: every IPv6 address of every interface, and the
// IPv6 default routes of the main table.
Result<KernelIpv6View, Ipv6Absence> readKernelIpv6View();

} // namespace parlowen
