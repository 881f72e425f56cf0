#pragma once
// Whether an address the router reports is one the rest of the Internet can
// reach, or one that only makes sense behind some other network's NAT.

#include <QString>
#include <QStringView>

#include <optional>

namespace parlowen {

enum class AddressScope {
    Public,
    NotAnAddress,  // neither a dotted IPv4 address nor an IPv6 address
    ThisNetwork,   // 0.0.0.0/8 and ::, which name no host
    Loopback,      // 127.0.0.0/8, ::1
    Private,       // 10/8, 172.16/12, 192.168/16, fc00::/7
    SharedNat,     // 100.64.0.0/10, the carrier-grade NAT range
    LinkLocal,     // 169.254/16, fe80::/10
    Documentation, // 192.0.2/24, 198.51.100/24, 203.0.113/24, 2001:db8::/32
    Benchmarking,  // 198.18.0.0/15
    Multicast,     // 224.0.0.0/4, ff00::/8
    Reserved,      // 240.0.0.0/4, 255.255.255.255 among them
};

// The scope of an address as the router wrote it. Spaces around it are
// ignored. IPv4 must be four decimal numbers: a router that pads with zeros
// ("010.000.000.001") means decimal, not the octal an address parser would
// read. An IPv6 address that carries an IPv4 one (::ffff:a.b.c.d) has the
// scope of that IPv4 address.
AddressScope addressScope(QStringView address);

// The warning for an address about to be sent, or nothing for a public
// one: that the host name will not reach the home from the Internet, why
// the router may report such an address, and what to do. It is sent all
// the same: a router behind another NAT still reports what it has, and
// only its owner knows whether that helps. The address came from the
// router's page, so the warning quotes it as shown: with any password it
// echoes masked (Redactor).
std::optional<QString> addressWarning(const QString& address, const QString& shown);

// For a warning: "a private address", "a carrier-grade NAT address", ...
QString toString(AddressScope scope);

} // namespace parlowen
