#pragma once
// The router's UPnP service as a second source of the WAN address: when it
// is asked, and the words for what it answered.

#include "check/loadedpage.h"
#include "check/sendableaddress.h"
#include "common/result.h"

#include <QString>

#include <chrono>

namespace parlowen {

// The router's NAT-PMP service, then its UPnP gateway, asked only when the
// router's log page arrived but gave no address: a
// page that exists without the line (its ring buffer may have dropped it),
// or with a line it may hide, or no such page at all (HTTP 404). A refused password, an unreachable
// router or a page too complex to read are answered as without UPnP.
bool mayAskUpnp(const LoadedPage& routerPage);

// The whole query, discovery and all, ends within this.
inline constexpr std::chrono::seconds UpnpLimit{5};

enum class UpnpFailure {
    NoGateway,        // nothing answered the search
    GatewayElsewhere, // detail: the address of a gateway that is not the router
    NotAGateway,      // the router answered, but offers no WAN connection service
    GatewayError,     // detail: the error code the service gave
    Unresolved,       // the router's name stands for no address
    NoAnswerInTime,
    QueryFailed, // detail: what went wrong with the query itself
};

// The sentence for the user; Failure::message() adds the detail.
QString toString(UpnpFailure failure);

// A UPnP gateway to ask directly, without a search: the one that answered
// last time. Never a secret.
struct GatewayControl {
    QString controlUrl;
    QString serviceType;
    bool isEmpty() const { return controlUrl.isEmpty() || serviceType.isEmpty(); }
    friend bool operator==(const GatewayControl&, const GatewayControl&) = default;
};

// What the router's own services said: the value as it came, and which
// service said it; for UPnP, where that gateway is asked.
struct RouterAnswer {
    QString value;
    AddressSource source = AddressSource::Upnp;
    GatewayControl gateway{};
};

using UpnpAnswer = Result<RouterAnswer, UpnpFailure>;

// The second line of the final box when the address came from a service
// of the router's.
QString upnpSourceNote(AddressSource source);

// A line of the window's box, or a clause of the command's, when the
// query gave no address.
QString upnpFailureNote(const Failure<UpnpFailure>& failure);

} // namespace parlowen
