#pragma once
// Whether a check keeps the name's AAAA record too: the IPv6= key of
// [DNS settings], or parlowen-check's --ipv6 for one run.

#include <QStringView>

#include <optional>

namespace parlowen {

enum class Ipv6Mode {
    No,   // the router's IPv4 address alone, as a check without the key sends it
    Yes,  // the router's IPv4 address and this computer's own IPv6 address
    Only, // this computer's IPv6 address alone; the router is not asked
};

// "no", "yes" or "only", in any letter case, blanks around allowed; an
// empty value is "no", as is the key absent. Nothing for any other value.
std::optional<Ipv6Mode> parseIpv6Mode(QStringView value);

} // namespace parlowen
