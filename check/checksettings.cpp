// The secrets a check's settings hold.
#include "check/checksettings.h"

#include "check/providers.h"
#include "check/routerurl.h"

namespace parlowen {

Redactor redactorFor(const CheckSettings& settings)
{
    Redactor redactor;
    redactor.addSecret(settings.routerPassword, RouterUser);
    redactor.addSecret(settings.servicePassword, settings.userName);
    for (const QString& secret : providerSecrets(settings.serviceUrl, settings.userName))
        redactor.addSecret(secret);
    return redactor;
}

} // namespace parlowen
