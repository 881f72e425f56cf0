// The IPv6= key's three values.
#include "check/ipv6mode.h"

#include <array>
#include <utility>

namespace parlowen {

namespace {
constexpr std::array<std::pair<QStringView, Ipv6Mode>, 3> Values{{
    {u"no", Ipv6Mode::No},
    {u"yes", Ipv6Mode::Yes},
    {u"only", Ipv6Mode::Only},
}};
} // namespace

std::optional<Ipv6Mode> parseIpv6Mode(QStringView value)
{
    const QStringView word = value.trimmed();
    if (word.isEmpty())
        return Ipv6Mode::No;
    for (const auto& [name, mode] : Values) {
        if (word.compare(name, Qt::CaseInsensitive) == 0)
            return mode;
    }
    return std::nullopt;
}

} // namespace parlowen
