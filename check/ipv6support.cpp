// Which providers an IPv6 address can be sent to.
#include "check/ipv6support.h"

#include "check/providers.h"

#include <QUrl>

namespace parlowen {

namespace {

const QString SetNo = QStringLiteral("Set IPv6=no to send the router's IPv4 address alone");

} // namespace

std::optional<QString> ipv6Refusal(Ipv6Mode mode, const QString& serviceUrl)
{
    if (mode == Ipv6Mode::No || serviceUrl.trimmed().isEmpty())
        return std::nullopt;
    const Provider* provider = providerFor(serviceUrl);
    if (!provider) {
        const QString host = QUrl(serviceUrl.trimmed()).host();
        return QStringLiteral("Parlowen knows how to send an IPv6 address only to the providers of its "
                              "table; %1 is not one of them. %2, or choose a provider that Parlowen knows.")
            .arg(host.isEmpty() ? QStringLiteral("the Service URL's host") : host, SetNo);
    }
    switch (provider->ipv6Form) {
    case Ipv6Form::None:
        if (provider->protocol == UpdateProtocol::Closed)
            return std::nullopt;
        return QStringLiteral("%1 keeps no AAAA record through this update URL. %2, or keep the name's "
                              "AAAA record with a provider that takes one.")
            .arg(provider->name.toString(), SetNo);
    case Ipv6Form::OwnUrl:
        if (mode == Ipv6Mode::Only)
            return std::nullopt;
        return QStringLiteral("%1 gives each record an update URL of its own, so one Service URL cannot "
                              "carry both addresses. Set IPv6=only with the update URL of the name's AAAA "
                              "record, or IPv6=no with that of its A record.")
            .arg(provider->name.toString());
    case Ipv6Form::Parameter:
    case Ipv6Form::BothInAddress:
    case Ipv6Form::SecondRequest:
    case Ipv6Form::ApiRecord:
        break;
    }
    return std::nullopt;
}

Ipv6Mode ipv6ModeToSend(const UpdateFields& fields)
{
    return fields.ipv6Address.isEmpty() ? Ipv6Mode::No : fields.ipv6;
}

} // namespace parlowen
