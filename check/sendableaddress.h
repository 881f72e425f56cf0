#pragma once
// Whether what the router gave is an address a name can point at, in the
// form that is sent: only such an address ever reaches a provider.

#include "common/result.h"

#include <QString>

namespace parlowen {

// Where the address came from: the router's log, one of the router's own
// services, or, for IPv6=only, this computer's own interface.
enum class AddressSource { RouterLog, Upnp, NatPmp, ThisComputer };

// "the router's log", "the router's UPnP service", "the router's NAT-PMP
// service", "this computer's own network interface".
QString toString(AddressSource source);

enum class AddressRefusal {
    Empty,           // the log's line ends where the address should be
    NoPublicAddress, // a service of the router's answered with none: it has no public address of its own
    NotAnAddress, // neither dotted-decimal IPv4 nor, from the log, IPv6: trailing text, markup, a cut value
    NamesNoHost,  // 0.0.0.0/8 or ::, which a router writes while it is still connecting
    Multicast,    // 224.0.0.0/4, ff00::/8
    Reserved,     // 240.0.0.0/4, 255.255.255.255 among them
    Ipv6FromService, // UPnP and NAT-PMP tell the router's IPv4 address alone
};

// The address to send, written as an address is written (leading zeros and
// spaces gone, "010.000.000.001" sent as "10.0.0.1", as the router meant
// it), or why the value is none. Addresses that work but are not public
// are sent, with addressWarning()'s warning.
Result<QString, AddressRefusal> sendableAddress(const QString& value, AddressSource source);

// The reason, as a clause to follow "No WAN IP was found: ". shown is the
// value as it may be shown (passwords masked), quoted.
QString refusalReason(AddressRefusal refusal, AddressSource source, const QString& shown);

} // namespace parlowen
