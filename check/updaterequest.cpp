// The request that carries the address to a provider of an update URL.
#include "check/updaterequest.h"

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

// What the provider reads, in the order it is sent.
QList<Parameter> parametersFor(const Provider& provider, const UpdateFields& fields)
{
    QList<Parameter> ours;
    if (provider.account == AccountIn::Query) {
        if (!provider.userParameter.isEmpty() && !fields.userName.isEmpty())
            ours.append(qMakePair(provider.userParameter.toString(), fields.userName));
        if (!provider.passwordParameter.isEmpty() && !fields.password.isEmpty())
            ours.append(qMakePair(provider.passwordParameter.toString(), fields.password));
    }
    if (provider.hostForm != HostForm::NotSent)
        ours.append(qMakePair(provider.hostParameter.toString(), hostValue(provider, fields)));
    ours.append(qMakePair(provider.addressParameter.toString(), fields.wanAddress));
    return ours;
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
// token keeps its exact spelling.
QString queryWith(const QString& typed, QList<Parameter> ours, QStringView fixed)
{
    QStringList items;
    for (const QString& item : typed.split(u'&', Qt::SkipEmptyParts)) {
        if (!named(ours, nameOf(item)))
            items << item;
    }
    for (QStringView pair : fixed.split(u'&', Qt::SkipEmptyParts)) {
        const QString name = pair.left(pair.indexOf(u'=')).toString();
        const bool typedAlready = std::any_of(items.begin(), items.end(),
                                              [&](const QString& item) { return nameOf(item) == name; });
        if (!typedAlready)
            items << pair.toString();
    }
    for (const auto& [name, value] : ours)
        items << queryValue(name) + u'=' + queryValue(value);
    return items.join(u'&');
}

} // namespace

ProviderRequest updateRequest(const Provider& provider, const UpdateFields& fields)
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
    const QString query =
        queryWith(url.query(QUrl::FullyEncoded), parametersFor(provider, fields), provider.fixedParameters);
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
