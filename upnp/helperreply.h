#pragma once
// What parlowen-upnp tells the program that started it, in one short
// record on its standard output: the kind, the service that answered, the
// control URL and service type of a UPnP gateway to ask directly next time,
// and the text (the gateway's answer as it came, which may hold any byte
// but NUL), a tab between each. Plain C++, so that the helper carries no Qt.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace parlowen::upnp {

struct HelperReply {
    enum class Kind {
        Address,      // text: what the router's service gave as its external address
        NoGateway,    // no gateway answered the search
        Elsewhere,    // text: the host of a gateway that is not the router
        NotAGateway,  // the router answered, but describes no WAN connection
        GatewayError, // text: the UPnP error code, or miniupnpc's negative one
        Unresolved,   // the router's name stands for no address
    };
    enum class Service { None, NatPmp, Upnp };
    Kind kind;
    std::string text;
    Service service = Service::None;
    // With Service::Upnp: where the gateway that answered is asked.
    std::string controlUrl{};
    std::string serviceType{};
    friend bool operator==(const HelperReply&, const HelperReply&) = default;
};

// The longest record a helper writes; a reader takes no more.
inline constexpr std::size_t MaxReplyBytes = 2048;

// Writes the record; the helper's exit status: 0, or 1 when it could not.
// A control URL or service type that holds a tab, a line break or a NUL
// is left out: it could never be asked again.
int writeReply(std::FILE* stream, const HelperReply& reply);

// The record in bytes, or nothing when they are not one.
std::optional<HelperReply> parseReply(std::string_view bytes);

// The host of an http URL as a description or an SSDP answer gives it,
// without the brackets of an IPv6 literal; empty when there is none.
std::string hostOfUrl(std::string_view url);

} // namespace parlowen::upnp
