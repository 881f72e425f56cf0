// The router's "WAN IP is " line where a rule not read might hide it.
#include "check/hiddenline.h"

namespace parlowen {

bool wanLineMayBeHidden(const LoadedPage& page)
{
    const std::optional<WanLine> line = findWanLine(page.text);
    return line && wanLineMayBeHidden(page, *line);
}

bool wanLineMayBeHidden(const LoadedPage& page, const WanLine& line)
{
    // The line break belongs to the line: a rule that hides what follows
    // may leave the address running on into the next line's text.
    return page.doubt.covers(line.start, line.end + 2);
}

QString hiddenLineReason()
{
    return QStringLiteral("the page uses style rules Parlowen cannot read, and its \"WAN IP is \" line "
                          "may be one the page hides, so its address is not sent.");
}

QString hiddenLineReasonWithoutServices()
{
    return hiddenLineReason() +
           QStringLiteral(" Turn on the router's UPnP or NAT-PMP service and let the check ask it: "
                          "UPnP=no in the settings file, or --no-upnp for parlowen-check, keeps it from asking.");
}

QString hiddenLineUpnpStep(const QString& router)
{
    return QStringLiteral("WAN address: the log's \"WAN IP is \" line may be one the page hides, as the page "
                          "uses style rules Parlowen cannot read; asking the router's NAT-PMP and UPnP "
                          "services at %1")
        .arg(router);
}

QString hiddenLineSourceNote(AddressSource source)
{
    return QStringLiteral("The address came from %1, because the page uses style rules Parlowen cannot read "
                          "and its \"WAN IP is \" line may be one the page hides.")
        .arg(toString(source));
}

} // namespace parlowen
