// YDNS, ydns.io: its API with Basic sign-in, and the personal update URL
// whose token stands in the path. Both take ip= of either family and the
// source address without one, and answer "good" whether or not it changed.
#include "sim/providerplays.h"

namespace parlowen::sim {

namespace {

// An inactive or banned account is refused as a wrong one is (documented).
const QByteArray badAuth = "badauth\n";

FakeResponse updateTo(ProviderCall& call)
{
    const std::optional<QString> ip = parameter(call.request, QStringLiteral("ip"));
    const std::optional<QHostAddress> address =
        !ip || ip->isEmpty() ? sourceAddress(call.request) : parseAddress(*ip);
    if (!address)
        return textAnswer(400, "invalid ip\n");
    (isIpv6(*address) ? call.record.addressV6 : call.record.address) = addressText(*address);
    return textAnswer(200, "good\n");
}

} // namespace

FakeResponse playYdns(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    if (request.path != u"/api/v1/update/")
        return textAnswer(404, "Not Found\n");
    // Its server has answered a request without the header with 400, not with
    // a challenge (its code of 2015): Basic has to come with the request.
    if (!request.authorization().startsWith("Basic "))
        return textAnswer(400, "missing authorization\n");
    const auto [user, password] = request.basicCredentials();
    if (!accepts(call.record.user, user) || !accepts(call.record.secret, password) || call.blocked)
        return challengeAnswer("Basic realm=\"YDNS\"", badAuth);
    const QString host = parameter(request, QStringLiteral("host")).value_or(QString());
    if (host.isEmpty())
        return textAnswer(400, "invalid host\n");
    if (host.compare(call.record.host, Qt::CaseInsensitive) != 0)
        return textAnswer(404, "host not found\n");
    return updateTo(call);
}

FakeResponse playYdnsToken(ProviderCall& call)
{
    const QString prefix = QStringLiteral("/hosts/update/");
    QString token = call.request.path.startsWith(prefix) ? call.request.path.mid(prefix.size()) : QString();
    if (token.endsWith(u'/'))
        token.chop(1);
    if (token.isEmpty() || token.contains(u'/') || !accepts(call.record.secret, token))
        return textAnswer(404, "Not Found\n");
    if (call.blocked)
        return textAnswer(401, badAuth);
    return updateTo(call);
}

} // namespace parlowen::sim
