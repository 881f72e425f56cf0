// The one record parlowen-upnp writes, and its reading.
#include "upnp/helperreply.h"

#include <array>
#include <utility>

namespace parlowen::upnp {

namespace {
using Kind = HelperReply::Kind;

constexpr std::array<std::pair<Kind, std::string_view>, 6> KindNames{{
    {Kind::Address, "address"},
    {Kind::NoGateway, "no-gateway"},
    {Kind::Elsewhere, "elsewhere"},
    {Kind::NotAGateway, "not-a-gateway"},
    {Kind::GatewayError, "gateway-error"},
    {Kind::Unresolved, "unresolved"},
}};
} // namespace

int writeReply(std::FILE* stream, const HelperReply& reply)
{
    for (const auto& [kind, name] : KindNames) {
        if (kind != reply.kind)
            continue;
        std::string record(name);
        record += '\t';
        record += reply.text.substr(0, MaxReplyBytes - record.size());
        const bool written = std::fwrite(record.data(), 1, record.size(), stream) == record.size();
        return std::fflush(stream) == 0 && written ? 0 : 1;
    }
    return 1;
}

std::optional<HelperReply> parseReply(std::string_view bytes)
{
    const std::size_t tab = bytes.find('\t');
    if (bytes.size() > MaxReplyBytes || tab == std::string_view::npos ||
        bytes.find('\0') != std::string_view::npos)
        return std::nullopt;
    for (const auto& [kind, name] : KindNames) {
        if (bytes.substr(0, tab) == name)
            return HelperReply{kind, std::string(bytes.substr(tab + 1))};
    }
    return std::nullopt;
}

std::string hostOfUrl(std::string_view url)
{
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::string_view rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos)
        rest = rest.substr(at + 1);
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        return close == std::string_view::npos ? std::string() : std::string(rest.substr(1, close - 1));
    }
    return std::string(rest.substr(0, rest.find(':')));
}

} // namespace parlowen::upnp
