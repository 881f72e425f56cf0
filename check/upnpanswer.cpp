// When the router's UPnP service is asked, and what its answers are called.
#include "check/upnpanswer.h"

#include "check/routerpage.h"

namespace parlowen {

bool mayAskUpnp(const LoadedPage& routerPage)
{
    if (!routerPage.loadErrorWords.isEmpty() || trustedWanAddress(routerPage))
        return false;
    const int status = routerPage.httpStatus;
    return (status >= 200 && status <= 299) || status == 404;
}

QString toString(UpnpFailure failure)
{
    switch (failure) {
    case UpnpFailure::NoGateway:
        return QStringLiteral("neither its NAT-PMP service nor a UPnP gateway answered. If the router can do "
                              "UPnP or NAT-PMP, turn it on in the router's settings");
    case UpnpFailure::GatewayElsewhere:
        return QStringLiteral("only a UPnP gateway at another address than the router's answered, and only "
                              "the router is believed");
    case UpnpFailure::NotAGateway:
        return QStringLiteral("the router answered, but offers no WAN connection over UPnP");
    case UpnpFailure::GatewayError:
        return QStringLiteral("the router's UPnP service refused to give its WAN address");
    case UpnpFailure::Unresolved:
        return QStringLiteral("the router's name stands for no address");
    case UpnpFailure::NoAnswerInTime:
        return QStringLiteral("the router's UPnP service did not answer within %1 seconds")
            .arg(UpnpLimit.count());
    case UpnpFailure::QueryFailed:
        return QStringLiteral("the UPnP query could not be made");
    }
    return {};
}

QString upnpSourceNote(AddressSource source)
{
    return QStringLiteral("The address came from %1, because its log has no \"WAN IP is \" line.")
        .arg(toString(source));
}

QString upnpFailureNote(const Failure<UpnpFailure>& failure)
{
    return QStringLiteral("The router's NAT-PMP and UPnP services were asked too: %1.")
        .arg(failure.message());
}

} // namespace parlowen
