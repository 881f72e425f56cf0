#pragma once
// A UPnP gateway's own answers: what its description says about where to
// ask, and its answer to GetExternalIPAddress, read whole.

#include "upnp/helperreply.h"

#include <optional>
#include <set>
#include <string>

namespace parlowen::upnp {

// The address as inet_ntop writes it, so that "127.000.000.001" from a
// gateway and "127.0.0.1" from the settings compare equal; empty when the
// text is no numeric address.
std::string canonicalAddress(const std::string& text);

struct GatewayControl {
    std::string controlUrl;
    std::string serviceType;
};

// Where the description at location says its WAN connection service is
// asked, when that is at one of router's addresses; otherwise why not: a
// NotAGateway reply.
std::optional<GatewayControl> gatewayDescribedAt(const std::string& location,
                                                 const std::set<std::string>& router, HelperReply& whyNot);

// GetExternalIPAddress of the service at control: an Address reply whose
// text is the value whole (miniupnpc's own call cuts it at 15 bytes
// without a word, so "100.100.100.1000" would become an address), or a
// GatewayError reply with the UPnP error code.
HelperReply askGateway(const GatewayControl& control);

} // namespace parlowen::upnp
