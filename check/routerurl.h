#pragma once
// The address of the router's system-log page.

#include <QString>

namespace parlowen {

// The user name the router's page is loaded with; its Basic sign-in sends
// it with the password.
inline const QString RouterUser = QStringLiteral("admin");

// "http://admin:" password "@" address ":80/doc/syslog.htm". The password is
// percent-encoded so that "@", ":", "/", "#", "?", "%" or a space in it can
// neither break the address nor send other credentials; the address goes in
// as typed, so a host name works as well as a dotted address.
QString routerLogUrl(const QString& password, const QString& address);

} // namespace parlowen
