#pragma once
// What parlowen-upnp tells the program that started it, in one short
// record on its standard output: the kind, a tab, and the text (the
// gateway's answer as it came, which may hold any byte but NUL). Plain C++,
// so that the helper carries no Qt.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace parlowen::upnp {

struct HelperReply {
    enum class Kind {
        Address,      // text: what the gateway gave as its external address
        NoGateway,    // no gateway answered the search
        Elsewhere,    // text: the host of a gateway that is not the router
        NotAGateway,  // the router answered, but describes no WAN connection
        GatewayError, // text: the UPnP error code, or miniupnpc's negative one
        Unresolved,   // the router's name stands for no address
    };
    Kind kind;
    std::string text;
    friend bool operator==(const HelperReply&, const HelperReply&) = default;
};

// The longest record a helper writes; a reader takes no more.
inline constexpr std::size_t MaxReplyBytes = 256;

// Writes the record; the helper's exit status: 0, or 1 when it could not.
int writeReply(std::FILE* stream, const HelperReply& reply);

// The record in bytes, or nothing when they are not one.
std::optional<HelperReply> parseReply(std::string_view bytes);

// The host of an http URL as a description or an SSDP answer gives it,
// without the brackets of an IPv6 literal; empty when there is none.
std::string hostOfUrl(std::string_view url);

} // namespace parlowen::upnp
