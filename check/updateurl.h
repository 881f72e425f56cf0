#pragma once
// The address that tells the dynamic DNS provider the new WAN address.

#include "check/ipv6mode.h"

#include <QString>

namespace parlowen {

// The provider's update request, with its placeholders.
inline constexpr char16_t UpdateTemplate[] =
    u"varService?username=varName&password=varPass&hostname=varHost&myip=varWANIP";

struct UpdateFields {
    QString service; // the provider's update script, used as typed
    QString userName;
    QString password;
    QString host;
    QString wanAddress; // the router's IPv4 address; empty with Ipv6Mode::Only
    // What the check keeps of the AAAA record: with Ipv6Mode::No, or with
    // no address of this computer's to send, the provider is told to keep
    // it where it would delete it otherwise.
    Ipv6Mode ipv6 = Ipv6Mode::No;
    QString ipv6Address{}; // this computer's own; empty when none was found
};

// Fills the template in one pass from left to right. A service URL with a
// query of its own is continued with "&" instead of a second "?". Text taken from a field
// is never searched for placeholders again, and the four values are
// percent-encoded as query values, so "&", "=", "#", "+", "%" or a space in
// them reach the provider as typed instead of adding or breaking parameters.
QString buildUpdateUrl(const UpdateFields& fields);

// A value as it goes into a query: only RFC 3986's unreserved characters
// stay as they are.
QString queryValue(const QString& text);

} // namespace parlowen
