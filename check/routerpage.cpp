// Why the router's page gave no WAN address.
#include "check/routerpage.h"

#include "check/hiddenline.h"
#include "check/wanaddress.h"

namespace parlowen {

std::optional<QString> trustedWanAddress(const LoadedPage& page)
{
    // The page is searched once: a log of megabytes costs milliseconds a search.
    std::optional<WanLine> line = findWanLine(page.text);
    if (!line || wanLineMayBeHidden(page, *line))
        return std::nullopt;
    return std::move(line->address);
}

std::optional<QString> whyNoAddress(const LoadedPage& page)
{
    if (!page.loadErrorWords.isEmpty())
        return QStringLiteral("the router's page could not be loaded. %1").arg(page.loadErrorWords);
    if (trustedWanAddress(page))
        return std::nullopt;
    const int status = page.httpStatus;
    if (status == 401 || status == 403) {
        return QStringLiteral("the router refused the password (HTTP %1). "
                              "Check the router password in the settings.")
            .arg(status);
    }
    if (status == 404) {
        return QStringLiteral("the router has no system log page (HTTP 404): the page was not found. "
                              "Check the router address in the settings.");
    }
    if (status < 200 || status > 299) {
        return QStringLiteral("the router answered HTTP %1 instead of its system log, and that page "
                              "has no address. Check the router address in the settings.")
            .arg(status);
    }
    if (wanLineMayBeHidden(page))
        return hiddenLineReason();
    if (hasWanMarker(page.text)) {
        return QStringLiteral("the \"WAN IP is \" line is the last of the page and no line break ends "
                              "it, so where the address ends cannot be told.");
    }
    return QStringLiteral("the page has no \"WAN IP is \" line. To see the text the check reads, run "
                          "parlowen-check --page-text in a terminal.");
}

QString noAddressMessage(const QString& reason)
{
    return QStringLiteral("No WAN IP was found: %1").arg(reason);
}

} // namespace parlowen
