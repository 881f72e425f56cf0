// A dyndns2-family provider's answer to one update, by its row of
// sim/dyndns2rules.cpp: the account, the host, the address, then the record.
#include "sim/dyndns2rules.h"
#include "sim/providerplays.h"

#include <QCryptographicHash>

#include <algorithm>

namespace parlowen::sim {

namespace {

bool listed(Keys keys, const QString& value)
{
    return std::any_of(keys.begin(), std::find(keys.begin(), keys.end(), nullptr),
                       [&value](const char* key) { return value == QLatin1StringView(key); });
}

FakeResponse answerWith(const Refusal& refusal, const RecordedRequest& request)
{
    const QString body = QString::fromUtf8(refusal.body ? refusal.body : "")
                             .replace(QStringLiteral("%1"), addressText(sourceAddress(request)));
    FakeResponse answer = textAnswer(refusal.status, body.isEmpty() ? QByteArray() : body.toUtf8() + '\n');
    if (refusal.challenge)
        answer.headers.append({QByteArray("WWW-Authenticate"), QByteArray(refusal.challenge)});
    return answer;
}

bool systemAccepted(const Dyndns2Rules& rules, const RecordedRequest& request)
{
    const std::optional<QString> system = parameter(request, QStringLiteral("system"));
    switch (rules.system) {
    case SystemRule::Ignored:
        return true;
    case SystemRule::CheckedWhenSent:
        return !system || *system == u"dyndns" || *system == u"statdns" || *system == u"custom";
    case SystemRule::Required:
        return system == u"dyndns";
    }
    return false;
}

struct Account {
    bool given = false;
    bool right = false;
};

bool secretMatches(const Dyndns2Rules& rules, const QString& expected, const QString& given)
{
    if (accepts(expected, given))
        return true;
    const QByteArray hex = given.toLower().toLatin1();
    return rules.hashedPasswords &&
           (hex == QCryptographicHash::hash(expected.toUtf8(), QCryptographicHash::Md5).toHex() ||
            hex == QCryptographicHash::hash(expected.toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool userMatches(const Dyndns2Rules& rules, const ProviderRecord& record, const QString& user)
{
    return accepts(record.user, user) ||
           (rules.hostAsUser && user.compare(record.host, Qt::CaseInsensitive) == 0);
}

Account basicAccount(const ProviderCall& call, const Dyndns2Rules& rules, bool anyUser)
{
    if (!call.request.authorization().startsWith("Basic "))
        return {};
    const auto [user, password] = call.request.basicCredentials();
    return {true, (anyUser || userMatches(rules, call.record, user)) &&
                      secretMatches(rules, call.record.secret, password)};
}

Account tokenAccount(const ProviderCall& call, const Dyndns2Rules& rules)
{
    QStringList tokens;
    for (const char* key : rules.accountKeys) {
        if (key)
            tokens.append(parameter(call.request, QString::fromLatin1(key)).value_or(QString()));
    }
    tokens.append(authorizationValue(call.request, "Bearer").value_or(QString()));
    tokens.append(call.request.basicCredentials().first);
    tokens.append(call.request.basicCredentials().second);
    tokens.removeAll(QString());
    const auto right = [&call](const QString& token) {
        return accepts(call.record.secret, token);
    };
    return {!tokens.isEmpty(), std::any_of(tokens.cbegin(), tokens.cend(), right)};
}

// Without Basic: the query's user and password keys, or a key parameter alone.
Account queryAccount(const ProviderCall& call, const Dyndns2Rules& rules)
{
    const bool withUser = rules.signIn == SignIn::BasicOrQuery;
    const auto value = [&call, &rules](int index) {
        return parameter(call.request, QString::fromLatin1(rules.accountKeys[index]));
    };
    const std::optional<QString> user = withUser ? value(0) : std::nullopt;
    const std::optional<QString> password = value(withUser ? 1 : 0);
    if (!user && !password)
        return {};
    return {true, (!withUser || userMatches(rules, call.record, user.value_or(QString()))) &&
                      secretMatches(rules, call.record.secret, password.value_or(QString()))};
}

Account accountOf(const ProviderCall& call, const Dyndns2Rules& rules)
{
    switch (rules.signIn) {
    case SignIn::Basic:
        return basicAccount(call, rules, false);
    case SignIn::BasicPasswordOnly:
        return basicAccount(call, rules, true);
    case SignIn::TokenAnywhere:
        return tokenAccount(call, rules);
    case SignIn::BasicOrQuery:
    case SignIn::BasicOrKey:
        break;
    }
    // Basic wins where both come, as Spdyn documents.
    const Account basic = basicAccount(call, rules, false);
    return basic.given ? basic : queryAccount(call, rules);
}

struct Hosts {
    std::optional<Refusal> refusal;
    QStringList names;
};

Hosts requestedHosts(const ProviderCall& call, const Dyndns2Rules& rules)
{
    if (rules.hostRule == HostRule::Bound)
        return {{}, {call.record.host}};
    QString value = firstParameter(call.request, rules.hostKeys).value_or(QString());
    // Hurricane Electric's Basic user is the host.
    if (value.isEmpty() && rules.signIn == SignIn::BasicOrKey)
        value = call.request.basicCredentials().first;
    const bool all = value.isEmpty() || (rules.allHosts && value == QLatin1StringView(rules.allHosts));
    if (all && rules.hostRule == HostRule::Optional)
        return {{}, {call.record.host}};
    QStringList names = rules.maxHosts > 1 ? value.split(u',', Qt::SkipEmptyParts) : QStringList{value};
    for (QString& name : names)
        name = name.trimmed();
    names.removeAll(QString());
    if (names.isEmpty())
        return {rules.noHost, {}};
    if (names.size() > rules.maxHosts)
        return {Refusal{200, "numhost"}, {}};
    return {{}, names};
}

struct Addresses {
    std::optional<Refusal> refusal;
    std::optional<QHostAddress> v4;
    std::optional<QHostAddress> v6;
};

// The address parameter as sent: one address, or one of each family where
// the provider takes a list. An empty or absent one means the source
// address, unless an IPv6 address came on its own where the provider takes
// that as an update of the IPv6 address alone, as No-IP documents.
Addresses sentAddresses(const ProviderCall& call, const Dyndns2Rules& rules, const QHostAddress& source,
                        bool ipv6Sent)
{
    Addresses sent;
    const auto fromSource = [&source] {
        return isIpv6(source) ? Addresses{{}, {}, source} : Addresses{{}, source, {}};
    };
    const std::optional<QString> value = firstParameter(call.request, rules.addressKeys);
    if (!value && ipv6Sent && rules.ipv6AloneLeavesIpv4)
        return sent;
    if (!value || value->isEmpty() || (rules.sourceValue && *value == QLatin1StringView(rules.sourceValue)))
        return fromSource();
    if (rules.keepValue && *value == QLatin1StringView(rules.keepValue))
        return sent;
    for (const QString& item : rules.takesLists ? value->split(u',') : QStringList{*value}) {
        const std::optional<QHostAddress> address = parseAddress(item.trimmed());
        std::optional<QHostAddress>& slot = address && isIpv6(*address) ? sent.v6 : sent.v4;
        if (!address || (isIpv6(*address) && !rules.takesIpv6) || slot) {
            if (rules.malformed == OnAddress::Refuse)
                return {rules.malformedRefusal, {}, {}};
            return fromSource();
        }
        slot = address;
    }
    return sent;
}

Addresses requestedAddresses(const ProviderCall& call, const Dyndns2Rules& rules)
{
    const QHostAddress source = sourceAddress(call.request);
    const std::optional<QString> v6 = firstParameter(call.request, rules.v6Keys);
    const bool keepsIpv6 = rules.keepValue && v6 == QLatin1StringView(rules.keepValue);
    Addresses asked = sentAddresses(call, rules, source, v6 && !v6->isEmpty() && !keepsIpv6);
    if (asked.v4 && isPrivateIpv4(*asked.v4) && !isIpv6(source) && rules.privateIpv4 != OnAddress::Keep) {
        if (rules.privateIpv4 == OnAddress::Refuse)
            return {rules.privateRefusal, {}, {}};
        asked.v4 = source;
    }
    if (!asked.refusal && v6 && !v6->isEmpty() && !keepsIpv6) {
        const std::optional<QHostAddress> address = parseAddress(*v6);
        if (!address || !isIpv6(*address))
            return {rules.malformedRefusal, {}, {}};
        asked.v6 = address;
    }
    return asked;
}

// One line per host asked for, in order, as Dyn and No-IP answer a list.
FakeResponse update(ProviderCall& call, const Dyndns2Rules& rules, const QStringList& hosts,
                    const Addresses& asked)
{
    ProviderRecord& record = call.record;
    const bool changed = (asked.v4 && addressText(*asked.v4) != record.address) ||
                         (asked.v6 && addressText(*asked.v6) != record.addressV6);
    QStringList set;
    if (asked.v4)
        set.append(addressText(*asked.v4));
    if (asked.v6)
        set.append(addressText(*asked.v6));
    const Refusal done = changed ? Refusal{200, rules.good} : rules.unchanged;
    const QString source = addressText(sourceAddress(call.request));
    QStringList lines;
    int status = 200;
    for (const QString& host : hosts) {
        const bool known = host.compare(record.host, Qt::CaseInsensitive) == 0;
        const Refusal& line = known ? done : rules.unknownHost;
        lines.append(QString::fromUtf8(line.body).replace(QStringLiteral("%1"), !known ? source
                                                                                : set.isEmpty()
                                                                                    ? record.address
                                                                                    : set.join(u',')));
        status = hosts.size() == 1 ? line.status : 200;
        if (known && asked.v4)
            record.address = addressText(*asked.v4);
        if (known && asked.v6)
            record.addressV6 = addressText(*asked.v6);
    }
    const QString body = lines.join(u'\n');
    return textAnswer(status, body.isEmpty() ? QByteArray() : body.toUtf8() + '\n');
}

} // namespace

FakeResponse playDyndns2(ProviderCall& call)
{
    const Dyndns2Rules* found = dyndns2Rules(call.name);
    const RecordedRequest& request = call.request;
    if (!found || !listed(found->paths, request.path))
        return textAnswer(404, "Not Found\n");
    const Dyndns2Rules& rules = *found;
    if (request.method != "GET" && !(rules.takesPost && request.method == "POST"))
        return answerWith(rules.wrongMethod, request);
    if (rules.noAgent.body && request.header("User-Agent").trimmed().isEmpty())
        return answerWith(rules.noAgent, request);
    if (!systemAccepted(rules, request))
        return answerWith({200, "badsys"}, request);
    const Account account = accountOf(call, rules);
    if (!account.right)
        return answerWith(account.given ? rules.wrongAccount : rules.noAccount, request);
    const Hosts hosts = requestedHosts(call, rules);
    if (hosts.refusal)
        return answerWith(*hosts.refusal, request);
    if (call.blocked)
        return answerWith(rules.blocked, request);
    const Addresses addresses = requestedAddresses(call, rules);
    if (addresses.refusal)
        return answerWith(*addresses.refusal, request);
    return update(call, rules, hosts.names, addresses);
}

} // namespace parlowen::sim
