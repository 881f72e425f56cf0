// A UPnP gateway's description and its GetExternalIPAddress, with miniupnpc.
#include "upnp/igdquery.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnpreplyparse.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace parlowen::upnp {

namespace {

bool isWanConnection(const char* serviceType)
{
    return std::strstr(serviceType, ":service:WANIPConnection:") ||
           std::strstr(serviceType, ":service:WANPPPConnection:");
}

// The parser keeps values of up to this many bytes and cuts longer ones.
constexpr std::size_t LongestValue = sizeof(NameValue::value) - 1;

} // namespace

std::string canonicalAddress(const std::string& text)
{
    in_addr v4{};
    in6_addr v6{};
    char buffer[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return inet_ntop(AF_INET, &v4, buffer, sizeof buffer) ? buffer : "";
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return inet_ntop(AF_INET6, &v6, buffer, sizeof buffer) ? buffer : "";
    return {};
}

std::optional<GatewayControl> gatewayDescribedAt(const std::string& location,
                                                 const std::set<std::string>& router, HelperReply& whyNot)
{
    UPNPUrls urls{};
    IGDdatas data{};
    char lanAddress[64] = {};
    whyNot = {HelperReply::Kind::NotAGateway, {}};
    if (UPNP_GetIGDFromUrl(location.c_str(), &urls, &data, lanAddress, sizeof lanAddress) != 1)
        return std::nullopt;
    std::optional<GatewayControl> control;
    // The description names where to send the query; only the router
    // itself is asked.
    if (isWanConnection(data.first.servicetype) && urls.controlURL &&
        router.count(canonicalAddress(hostOfUrl(urls.controlURL))))
        control = GatewayControl{urls.controlURL, data.first.servicetype};
    FreeUPNPUrls(&urls);
    return control;
}

HelperReply askGateway(const GatewayControl& control)
{
    int size = 0;
    char* answer = simpleUPnPcommand(-1, control.controlUrl.c_str(), control.serviceType.c_str(),
                                     "GetExternalIPAddress", nullptr, &size);
    if (!answer)
        return {HelperReply::Kind::GatewayError, std::to_string(UPNPCOMMAND_HTTP_ERROR)};
    NameValueParserData values{};
    ParseNameValue(answer, size, &values);
    HelperReply reply{HelperReply::Kind::GatewayError, std::to_string(UPNPCOMMAND_UNKNOWN_ERROR)};
    const char* address = GetValueFromNameValueList(&values, "NewExternalIPAddress");
    if (const char* error = GetValueFromNameValueList(&values, "errorCode")) {
        reply.text = error;
    } else if (address || std::string_view(answer, std::size_t(size)).find("NewExternalIPAddress") !=
                              std::string_view::npos) {
        // An element with nothing in it is the answer of a router that has
        // no public address to tell.
        std::string text = address ? address : "";
        // A value the parser cut is marked so, that it is never taken for whole.
        if (text.size() >= LongestValue)
            text += "...";
        reply = {HelperReply::Kind::Address, text, HelperReply::Service::Upnp, control.controlUrl,
                 control.serviceType};
    }
    std::free(answer);
    ClearNameValueList(&values);
    return reply;
}

} // namespace parlowen::upnp
