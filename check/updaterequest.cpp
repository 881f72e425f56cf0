// The request that carries the address to a provider of an update URL.
#include "check/updaterequest.h"

#include "check/ipv6support.h"

#include <QUrl>

#include <algorithm>

namespace parlowen {

namespace {

using Parameter = QPair<QString, QString>;

QString hostValue(const Provider& provider, const UpdateFields& fields)
{
    const QString& host = fields.host;
    switch (provider.hostForm) {
    case HostForm::FullName:
    case HostForm::NotSent:
        return host;
    case HostForm::DuckDnsName: {
        const QLatin1String suffix(".duckdns.org");
        return host.endsWith(suffix, Qt::CaseInsensitive) ? host.chopped(suffix.size()) : host;
    }
    case HostForm::InDomain: {
        const QString domain = fields.userName.trimmed();
        if (domain.isEmpty())
            return host;
        if (host.compare(domain, Qt::CaseInsensitive) == 0)
            return QStringLiteral("@");
        const QString suffix = u'.' + domain;
        return host.endsWith(suffix, Qt::CaseInsensitive) ? host.chopped(suffix.size()) : host;
    }
    }
    return host;
}

// Which addresses one request carries.
enum class Carried { Ipv4, Both, Ipv6 };

// The address parameters of a request, their values encoded, and what is
// sent beside them for a record the request does not name.
struct Carrying {
    QList<Parameter> addresses;
    QStringView keep;
};

Parameter encoded(QStringView name, const QString& value)
{
    return qMakePair(name.toString(), queryValue(value));
}

// "name=value" pairs as a row writes them, already encoded.
QList<Parameter> pairsOf(QStringView pairs)
{
    QList<Parameter> parsed;
    for (QStringView pair : pairs.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(u'=');
        parsed.append(qMakePair(pair.left(equals).toString(), pair.mid(equals + 1).toString()));
    }
    return parsed;
}

Carrying carrying(const Provider& provider, const UpdateFields& fields, Carried carried)
{
    switch (carried) {
    case Carried::Ipv4:
        return {{encoded(provider.addressParameter, fields.wanAddress)}, provider.keepIpv6};
    case Carried::Both:
        // The comma stays a comma: it is what the provider splits the list at.
        if (provider.ipv6Form == Ipv6Form::BothInAddress)
            return {{qMakePair(provider.addressParameter.toString(),
                               queryValue(fields.wanAddress) + u',' + queryValue(fields.ipv6Address))},
                    {}};
        return {{encoded(provider.addressParameter, fields.wanAddress),
                 encoded(provider.ipv6Parameter, fields.ipv6Address)},
                {}};
    case Carried::Ipv6:
        break;
    }
    QStringView name =
        provider.ipv6Form == Ipv6Form::Parameter ? provider.ipv6Parameter : provider.addressParameter;
    if (!provider.ipv6AloneParameter.isEmpty())
        name = provider.ipv6AloneParameter;
    return {pairsOf(provider.keepIpv4) << encoded(name, fields.ipv6Address), {}};
}

// The requests an update takes, by what each carries: two for a provider
// that takes one family a request.
QList<Carried> carriedFor(const Provider& provider, const UpdateFields& fields)
{
    const Ipv6Mode mode = ipv6ModeToSend(fields);
    if (mode == Ipv6Mode::No || provider.ipv6Form == Ipv6Form::None ||
        provider.ipv6Form == Ipv6Form::ApiRecord)
        return {Carried::Ipv4};
    if (mode == Ipv6Mode::Only)
        return {Carried::Ipv6};
    switch (provider.ipv6Form) {
    case Ipv6Form::Parameter:
    case Ipv6Form::BothInAddress:
        return {Carried::Both};
    case Ipv6Form::SecondRequest:
        return {Carried::Ipv4, Carried::Ipv6};
    case Ipv6Form::None:
    case Ipv6Form::OwnUrl: // refused before anything is sent
    case Ipv6Form::ApiRecord:
        break;
    }
    return {Carried::Ipv4};
}

// What the provider reads, in the order it is sent, the values encoded.
QList<Parameter> parametersFor(const Provider& provider, const UpdateFields& fields,
                               const QList<Parameter>& addresses)
{
    QList<Parameter> ours;
    if (provider.account == AccountIn::Query) {
        if (!provider.userParameter.isEmpty() && !fields.userName.isEmpty())
            ours.append(encoded(provider.userParameter, fields.userName));
        if (!provider.passwordParameter.isEmpty() && !fields.password.isEmpty())
            ours.append(encoded(provider.passwordParameter, fields.password));
    }
    if (provider.hostForm != HostForm::NotSent)
        ours.append(encoded(provider.hostParameter, hostValue(provider, fields)));
    return ours << addresses;
}

QString nameOf(const QString& encodedItem)
{
    return QUrl::fromPercentEncoding(encodedItem.left(encodedItem.indexOf(u'=')).toLatin1());
}

bool named(const QList<Parameter>& parameters, const QString& name)
{
    return std::any_of(parameters.begin(), parameters.end(),
                       [&](const Parameter& parameter) { return parameter.first == name; });
}

// The typed query as it was typed, but for the items set here; a bare
// token keeps its exact spelling. A fixed pair goes unless the query or
// ours name it.
QString queryWith(const QString& typed, const QList<Parameter>& ours, QStringList fixed)
{
    QStringList items;
    for (const QString& item : typed.split(u'&', Qt::SkipEmptyParts)) {
        if (!named(ours, nameOf(item)))
            items << item;
    }
    for (const QString& pair : fixed) {
        const QString name = pair.left(pair.indexOf(u'='));
        const bool typedAlready = std::any_of(items.begin(), items.end(),
                                              [&](const QString& item) { return nameOf(item) == name; });
        if (!typedAlready && !named(ours, name))
            items << pair;
    }
    for (const auto& [name, value] : ours)
        items << queryValue(name) + u'=' + value;
    return items.join(u'&');
}

QStringList fixedPairs(QStringView fixed, QStringView keep)
{
    QStringList pairs;
    for (QStringView pairList : {fixed, keep}) {
        for (QStringView pair : pairList.split(u'&', Qt::SkipEmptyParts))
            pairs << pair.toString();
    }
    return pairs;
}

ProviderRequest requestCarrying(const Provider& provider, const UpdateFields& fields, Carried carried)
{
    QUrl url(fields.service.trimmed(), QUrl::StrictMode);
    // An account typed into the URL, as the old way of giving one.
    const QString typedUser = url.userName(QUrl::FullyDecoded);
    const QString typedPassword = url.password(QUrl::FullyDecoded);
    if (url.scheme() != QLatin1String("https")) {
        url.setScheme(QStringLiteral("https"));
        url.setPort(-1);
    }
    if (!provider.requestHost.isEmpty())
        url.setHost(provider.requestHost.toString());
    const Carrying addresses = carrying(provider, fields, carried);
    const QString query =
        queryWith(url.query(QUrl::FullyEncoded), parametersFor(provider, fields, addresses.addresses),
                  fixedPairs(provider.fixedParameters, addresses.keep));
    const QString address =
        url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::FullyEncoded);

    ProviderRequest request;
    request.url = query.isEmpty() ? address : address + u'?' + query;
    request.keepBody = provider.dialect == AnswerDialect::Namecheap;
    if (provider.account == AccountIn::Basic) {
        request.signIn = ProviderRequest::SignIn::WithRequest;
        const bool fieldsEmpty = fields.userName.isEmpty() && fields.password.isEmpty();
        request.user = fieldsEmpty ? typedUser : fields.userName;
        request.password = fieldsEmpty ? typedPassword : fields.password;
    }
    return request;
}

} // namespace

QList<ProviderRequest> updateRequests(const Provider& provider, const UpdateFields& fields)
{
    const QList<Carried> carried = carriedFor(provider, fields);
    QList<ProviderRequest> requests;
    for (Carried each : carried)
        requests << requestCarrying(provider, fields, each);
    if (requests.size() > 1)
        requests.back().purpose = QStringLiteral("sending the IPv6 address");
    return requests;
}

ProviderRequest templateRequest(const UpdateFields& fields)
{
    ProviderRequest request;
    request.url = buildUpdateUrl(fields);
    if (QUrl(fields.service.trimmed()).userName().isEmpty()) {
        request.signIn = ProviderRequest::SignIn::OnChallenge;
        request.user = fields.userName;
        request.password = fields.password;
    }
    return request;
}

} // namespace parlowen
