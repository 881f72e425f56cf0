#pragma once
// The router's NAT-PMP service (RFC 6886, UDP 5351): its answer to the
// public-address request, asked of the router's own address alone.

#include "upnp/helperreply.h"

#include <netinet/in.h>

#include <optional>

namespace parlowen::upnp {

// An Address reply: the address, or empty where the router says it has
// none ("network failure", or 0.0.0.0). Nothing when NAT-PMP gave no
// answer within the time: the router does not speak it, or not yet.
std::optional<HelperReply> askNatPmp(in_addr router, int milliseconds);

} // namespace parlowen::upnp
