#pragma once
// The address that tells the dynamic DNS provider the new WAN address.

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
    QString wanAddress;
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
