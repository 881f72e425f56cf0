#pragma once
// What a check is made of: the six settings as the window's fields or the
// settings file hold them, and whether the router's UPnP service may be asked.

#include "check/redaction.h"

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
};

// A masker that knows every secret these settings hold, so that nothing a
// check shows can give one away.
Redactor redactorFor(const CheckSettings& settings);

} // namespace parlowen
