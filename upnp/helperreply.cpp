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
constexpr std::array<std::pair<HelperReply::Service, std::string_view>, 3> ServiceNames{{
    {HelperReply::Service::None, ""},
    {HelperReply::Service::NatPmp, "natpmp"},
    {HelperReply::Service::Upnp, "upnp"},
}};

bool isField(std::string_view text)
{
    return text.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

// The next field up to a tab, taken off the front of bytes.
std::optional<std::string_view> takeField(std::string_view& bytes)
{
    const std::size_t tab = bytes.find('\t');
    if (tab == std::string_view::npos)
        return std::nullopt;
    const std::string_view field = bytes.substr(0, tab);
    bytes.remove_prefix(tab + 1);
    return field;
}

template <typename T, std::size_t N>
std::optional<T> named(const std::array<std::pair<T, std::string_view>, N>& names, std::string_view name)
{
    for (const auto& [value, spelling] : names) {
        if (spelling == name)
            return value;
    }
    return std::nullopt;
}
} // namespace

int writeReply(std::FILE* stream, const HelperReply& reply)
{
    const bool askable = isField(reply.controlUrl) && isField(reply.serviceType);
    std::string record;
    for (const auto& [kind, name] : KindNames) {
        if (kind == reply.kind)
            record = name;
    }
    for (const auto& [service, name] : ServiceNames) {
        if (service == reply.service)
            record += '\t' + std::string(name);
    }
    record += '\t' + (askable ? reply.controlUrl : std::string()) + '\t' +
              (askable ? reply.serviceType : std::string()) + '\t';
    if (record.size() > MaxReplyBytes)
        return 1;
    record += reply.text.substr(0, MaxReplyBytes - record.size());
    const bool written = std::fwrite(record.data(), 1, record.size(), stream) == record.size();
    return std::fflush(stream) == 0 && written ? 0 : 1;
}

std::optional<HelperReply> parseReply(std::string_view bytes)
{
    if (bytes.size() > MaxReplyBytes || bytes.find('\0') != std::string_view::npos)
        return std::nullopt;
    const auto kindName = takeField(bytes);
    const auto serviceName = takeField(bytes);
    const auto controlUrl = takeField(bytes);
    const auto serviceType = takeField(bytes);
    if (!kindName || !serviceName || !controlUrl || !serviceType)
        return std::nullopt;
    const std::optional<HelperReply::Kind> kind = named(KindNames, *kindName);
    const std::optional<HelperReply::Service> service = named(ServiceNames, *serviceName);
    if (!kind || !service)
        return std::nullopt;
    return HelperReply{*kind, std::string(bytes), *service, std::string(*controlUrl),
                       std::string(*serviceType)};
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
