// deSEC's dynDNS door, update.dedyn.io: any path, the token by Basic, by a
// Token header or in the query, and its rules for which record an absent or
// empty address deletes (desec.readthedocs.io, dyndns/update-api).
#include "sim/providerplays.h"

namespace parlowen::sim {

namespace {

// What a family's parameter asks for: leave it, delete it, or these addresses.
struct Wanted {
    bool keep = false;
    bool invalid = false;
    QStringList addresses; // empty, and not keep: the record is deleted
};

bool signedIn(const ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    const ProviderRecord& record = call.record;
    std::optional<QString> token;
    QString user;
    if (request.authorization().startsWith("Basic ")) {
        user = request.basicCredentials().first;
        token = request.basicCredentials().second;
    } else if (std::optional<QString> header = authorizationValue(request, "Token")) {
        token = header;
    } else {
        token = parameter(request, QStringLiteral("password"));
        user = parameter(request, QStringLiteral("username")).value_or(QString());
    }
    // The user name may be empty, the account's e-mail or one of its domains;
    // any other is refused, so that a name the user took for a login is told so.
    const bool userKnown =
        user.isEmpty() || accepts(record.user, user) || user.compare(record.host, Qt::CaseInsensitive) == 0;
    return token && userKnown && accepts(record.secret, *token);
}

// The host, by the first of these present: hostname (unless "YES", which some
// clients send), host_id, the Basic user, the username parameter, else the
// account's one domain.
QString requestedHost(const ProviderCall& call)
{
    for (const char* key : {"hostname", "host_id"}) {
        const QString value = parameter(call.request, QString::fromLatin1(key)).value_or(QString());
        if (!value.isEmpty() && value != u"YES")
            return value;
    }
    const QString basicUser = call.request.basicCredentials().first;
    if (basicUser.contains(u'.') && !basicUser.contains(u'@'))
        return basicUser;
    const QString user = parameter(call.request, QStringLiteral("username")).value_or(QString());
    return user.contains(u'.') && !user.contains(u'@') ? user : call.record.host;
}

Wanted wanted(const ProviderCall& call, const std::initializer_list<const char*>& keys, bool ipv6)
{
    const QHostAddress source = sourceAddress(call.request);
    std::optional<QString> value;
    for (const char* key : keys) {
        if ((value = parameter(call.request, QString::fromLatin1(key))))
            break;
    }
    // Nothing sent: the connection's address where it is of this family,
    // otherwise the record goes.
    if (!value)
        return isIpv6(source) == ipv6 ? Wanted{false, false, {addressText(source)}} : Wanted{};
    if (*value == u"preserve")
        return {true, false, {}};
    Wanted result;
    for (const QString& item : value->split(u',', Qt::SkipEmptyParts)) {
        const std::optional<QHostAddress> address = parseAddress(item.trimmed());
        if (!address || item.trimmed() == u"preserve")
            return {false, true, {}};
        if (isIpv6(*address) == ipv6)
            result.addresses.append(addressText(*address));
    }
    return result;
}

void apply(const Wanted& wanted, QString& record)
{
    if (!wanted.keep)
        record = wanted.addresses.join(u',');
}

} // namespace

FakeResponse playDesec(ProviderCall& call)
{
    const QString path = call.request.path;
    if (path.endsWith(u".ico") || path.endsWith(u".png"))
        return textAnswer(404, "Not Found\n");
    // Token authentication comes first on deSEC's server, so its 401 challenges
    // for Token: a client that waits for a Basic challenge never signs in.
    if (!signedIn(call))
        return challengeAnswer("Token", "badauth\n");
    if (requestedHost(call).compare(call.record.host, Qt::CaseInsensitive) != 0)
        return textAnswer(404, "nohost\n");
    if (call.blocked) {
        FakeResponse throttled =
            textAnswer(429, "Request was throttled. Expected available in 60 seconds.\n");
        throttled.headers.append({QByteArray("Retry-After"), QByteArray("60")});
        return throttled;
    }
    const Wanted v4 = wanted(call, {"myip", "myipv4", "ip"}, false);
    const Wanted v6 = wanted(call, {"myipv6", "ipv6", "myip", "ip"}, true);
    if (v4.invalid || v6.invalid)
        return textAnswer(400, "invalid IP address\n");
    apply(v4, call.record.address);
    apply(v6, call.record.addressV6);
    // deSEC has no "nochg": every accepted update is "good".
    return textAnswer(200, "good\n");
}

} // namespace parlowen::sim
