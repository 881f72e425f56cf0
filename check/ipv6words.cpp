// What a check says about the IPv6 address it sends, or does not.
#include "check/ipv6words.h"

namespace parlowen {

QString ipv6FoundStep(const QString& address, const QString& interfaceName)
{
    return QStringLiteral("IPv6 address: %1, this computer's own on %2").arg(address, interfaceName);
}

QString ipv6MissingStep(const QString& why)
{
    return QStringLiteral("IPv6 address: none: %1").arg(why);
}

QString noIpv6Message(const QString& why)
{
    return QStringLiteral("No IPv6 address was sent: %1").arg(why);
}

std::optional<QString> ipv6VerdictNote(Ipv6Mode mode, const QString& address, const QString& interfaceName,
                                       const QString& why)
{
    switch (mode) {
    case Ipv6Mode::No:
        return std::nullopt;
    case Ipv6Mode::Yes:
        if (address.isEmpty())
            return QStringLiteral("Only the router's IPv4 address was sent, and the name's IPv6 address "
                                  "(its AAAA record) was left as it was: %1")
                .arg(why);
        return QStringLiteral("This computer's own IPv6 address, %1 on %2, was sent with it: over IPv6 "
                              "the name leads to this computer itself.")
            .arg(address, interfaceName);
    case Ipv6Mode::Only:
        return QStringLiteral("The address sent is this computer's own IPv6 address, %1 on %2; the router "
                              "was not asked (IPv6=only), and the name's IPv4 address was left as it was.")
            .arg(address, interfaceName);
    }
    return std::nullopt;
}

std::optional<QString> ipv6ValueProblem(const QString& value)
{
    if (parseIpv6Mode(value))
        return std::nullopt;
    return QStringLiteral("IPv6=%1 in [DNS settings] is none of the values it takes: write IPv6=yes to "
                          "send this computer's IPv6 address too, IPv6=only to send it alone, or IPv6=no "
                          "(or remove the line) to send the router's IPv4 address alone.")
        .arg(value.trimmed());
}

} // namespace parlowen
