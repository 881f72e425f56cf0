// Settings that cannot make a check.
#include "check/fieldproblem.h"

#include "check/examplesettings.h"
#include "check/providers.h"

#include <QHostAddress>
#include <QUrl>

#include <algorithm>

namespace parlowen {

namespace {

bool isLabelCharacter(QChar c)
{
    // Letters beyond ASCII for internationalised names; QUrl converts them.
    return c.isLetterOrNumber() || c == u'-';
}

bool isDecimal(QStringView label)
{
    return !label.isEmpty() && std::all_of(label.begin(), label.end(), [](QChar c) { return c.isDigit(); });
}

bool isDottedQuad(const QList<QStringView>& labels)
{
    if (labels.size() != 4)
        return false;
    return std::all_of(labels.begin(), labels.end(),
                       [](QStringView label) { return label.size() <= 3 && label.toInt() <= 255; });
}

bool isHostName(QStringView name)
{
    if (name.endsWith(u'.'))
        name.chop(1);
    if (name.isEmpty() || name.size() > 253)
        return false;
    const QList<QStringView> labels = name.split(u'.');
    for (QStringView label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-') || label.endsWith(u'-') ||
            !std::all_of(label.begin(), label.end(), isLabelCharacter))
            return false;
    }
    // Numbers alone must make an IPv4 address, not "999.1" or "10.0.0.2.5".
    if (std::all_of(labels.begin(), labels.end(), isDecimal))
        return isDottedQuad(labels);
    return true;
}

bool isBracketedIpv6(QStringView text)
{
    if (!text.startsWith(u'[') || !text.endsWith(u']'))
        return false;
    const QString inside = text.sliced(1, text.size() - 2).toString();
    QHostAddress address;
    return !inside.contains(u'%') && address.setAddress(inside) &&
           address.protocol() == QAbstractSocket::IPv6Protocol;
}

bool isWebAddress(const QString& url)
{
    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && !parsed.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

QString toString(FieldProblem problem)
{
    switch (problem) {
    case FieldProblem::RouterAddressEmpty:
        return QStringLiteral("is empty");
    case FieldProblem::RouterAddressNotAHost:
        return QStringLiteral("does not make a web address; give it as a number such as 192.168.1.1 or "
                              "a host name, without a port");
    case FieldProblem::ServiceUrlEmpty:
        return QStringLiteral("is empty, so there is nowhere to send the address");
    case FieldProblem::ServiceUrlNotWebAddress:
        return QStringLiteral("is not an http:// or https:// address");
    case FieldProblem::ServiceUrlHasFragment:
        return QStringLiteral("holds a \"#\", and a browser sends nothing after it, so the provider "
                              "would get none of the update's details; remove the \"#\" and what follows");
    case FieldProblem::ServiceUrlOfClosedProvider:
        return QStringLiteral(
            "belongs to a provider that has closed: Google Domains gave its names to "
            "Squarespace, which keeps no dynamic DNS. Move the name to another provider and "
            "give its update address");
    case FieldProblem::ServiceUrlUnderExampleName:
        return QStringLiteral("is under a name kept for examples (example.com, example.net, example.org, "
                              ".test, .invalid, .example), where no provider can ever be reached; give ") +
               serviceUrlToGive();
    }
    return {};
}

std::optional<FieldProblem> routerAddressProblem(const QString& address)
{
    if (address.trimmed().isEmpty())
        return FieldProblem::RouterAddressEmpty;
    if (isBracketedIpv6(address) || isHostName(address))
        return std::nullopt;
    return FieldProblem::RouterAddressNotAHost;
}

std::optional<FieldProblem> serviceUrlProblem(const QString& serviceUrl)
{
    if (serviceUrl.trimmed().isEmpty())
        return FieldProblem::ServiceUrlEmpty;
    if (hasFragment(serviceUrl))
        return FieldProblem::ServiceUrlHasFragment;
    if (!isWebAddress(serviceUrl))
        return FieldProblem::ServiceUrlNotWebAddress;
    if (isExampleServiceUrl(serviceUrl))
        return FieldProblem::ServiceUrlUnderExampleName;
    if (isClosedProvider(serviceUrl))
        return FieldProblem::ServiceUrlOfClosedProvider;
    return std::nullopt;
}

bool hasFragment(const QString& serviceUrl)
{
    return serviceUrl.contains(u'#');
}

bool isClosedProvider(const QString& serviceUrl)
{
    const Provider* provider = providerFor(serviceUrl);
    return provider && provider->protocol == UpdateProtocol::Closed;
}

} // namespace parlowen
