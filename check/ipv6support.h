#pragma once
// Which providers an IPv6 address can be sent to, and the words when the
// Service URL's cannot take it as IPv6= asks: told before anything is sent,
// so that an update never changes one record and leaves the other wrong.

#include "check/ipv6mode.h"
#include "check/updateurl.h"

#include <QString>

#include <optional>

namespace parlowen {

// What the provider is refused for, in words that say what to do; nothing
// when the mode can be sent to it. Mode No is never refused, nor a blank or
// closed provider's Service URL, whose own words come first.
std::optional<QString> ipv6Refusal(Ipv6Mode mode, const QString& serviceUrl);

// The mode the requests are built for: Yes without an IPv6 address of this
// computer's is No, so that the IPv4 address still goes, the AAAA record kept.
// Only without one has nothing to send: the check ends before the update,
// since requests built for it would be IPv6=no's with no IPv4 address.
Ipv6Mode ipv6ModeToSend(const UpdateFields& fields);

} // namespace parlowen
