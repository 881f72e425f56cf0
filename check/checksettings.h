#pragma once
// What a check is made of: the six settings as the window's fields or the
// settings file hold them, whether the router's own services may be asked,
// and which of its gateways answered last time.

#include "check/ipv6mode.h"
#include "check/redaction.h"
#include "check/upnpanswer.h"

#include <QString>

namespace parlowen {

struct CheckSettings {
    QString routerPassword;
    QString routerAddress;
    QString serviceUrl;
    QString userName;
    QString servicePassword;
    QString host;
    bool askUpnp = true; // when the log has no address
    // The router's UPnP gateway that answered last time, asked directly.
    GatewayControl rememberedGateway{};
    // Whether this computer's IPv6 address goes with the router's IPv4
    // address, or alone; and the one the provider accepted last, which is
    // kept while it stays this computer's.
    Ipv6Mode ipv6 = Ipv6Mode::No;
    QString acceptedIpv6{};
};

// A masker that knows every secret these settings hold, so that nothing a
// check shows can give one away.
Redactor redactorFor(const CheckSettings& settings);

} // namespace parlowen
