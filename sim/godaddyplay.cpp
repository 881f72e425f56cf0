// GoDaddy's Domains API v1, api.godaddy.com/v1/domains: "sso-key KEY:SECRET"
// sign-in, records by type and relative name, PUT of a JSON array that
// replaces them, answered 200 with an empty body. Since 2024 accounts below
// its threshold get 403 ACCESS_DENIED: that is what a blocked account gets.
#include "sim/providerplays.h"

#include <QJsonDocument>

namespace parlowen::sim {

namespace {

FakeResponse failure(int status, const char* code, const char* message, const QJsonArray& fields = {})
{
    QJsonObject body{{"code", code}, {"message", message}};
    if (!fields.isEmpty())
        body.insert(QStringLiteral("fields"), fields);
    return jsonAnswer(status, body);
}

// The name of the 404 code is not documented; NOT_FOUND is its likely one.
FakeResponse notFound()
{
    return failure(404, "NOT_FOUND", "The requested resource was not found");
}

FakeResponse invalidBody(const char* fieldCode, const char* message)
{
    return failure(422, "INVALID_BODY", "Request body doesn't fulfill schema, see details in `fields`",
                   {QJsonObject{{"code", fieldCode}, {"message", message}, {"path", "records"}}});
}

bool signedIn(const ProviderCall& call)
{
    const QString value = authorizationValue(call.request, "sso-key").value_or(QString());
    const qsizetype colon = value.indexOf(u':');
    return colon > 0 && colon < value.size() - 1 && accepts(call.record.user, value.left(colon)) &&
           accepts(call.record.secret, value.mid(colon + 1));
}

QJsonArray recordsOf(ProviderRecord& record, const QString& type, const QString& name)
{
    const QString content = recordOfType(record, type) ? *recordOfType(record, type) : QString();
    QJsonArray found;
    if (content.isEmpty() ||
        (!name.isEmpty() && name.compare(relativeName(record), Qt::CaseInsensitive) != 0))
        return found;
    for (const QString& data : content.split(u','))
        found.append(
            QJsonObject{{"data", data}, {"name", relativeName(record)}, {"ttl", 600}, {"type", type}});
    return found;
}

// Replaces every record of the type and name; under a name the account keeps
// none of, they are created and kept nowhere, so record() shows the mistake.
FakeResponse put(ProviderRecord& record, const QString& type, const QString& name, const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray() || document.array().isEmpty())
        return invalidBody("UNEXPECTED_TYPE", "is not a array");
    QStringList data;
    for (const QJsonValue& item : document.array()) {
        const QString value = item.toObject().value(u"data").toString();
        if ((type == u"A" || type == u"AAAA") && !validFor(type, value))
            return invalidBody("MISMATCH_FORMAT", "data is not a valid address");
        if (item.toObject().value(u"ttl").toInt(600) < 600)
            return invalidBody("MISMATCH_FORMAT", "ttl is below 600");
        data.append(value);
    }
    if (QString* kept = recordOfType(record, type);
        kept && name.compare(relativeName(record), Qt::CaseInsensitive) == 0)
        *kept = data.join(u',');
    return {.contentType = "application/json", .body = {}};
}

} // namespace

FakeResponse playGoDaddy(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    const QString base = QStringLiteral("/v1/domains");
    if (request.path != base && !request.path.startsWith(base + u'/'))
        return notFound();
    if (!signedIn(call))
        return failure(401, "UNABLE_TO_AUTHENTICATE", "Could not authenticate API key/secret");
    if (call.blocked)
        return failure(403, "ACCESS_DENIED", "Authenticated user is not allowed access");
    const QStringList segments = request.path.mid(base.size()).split(u'/', Qt::SkipEmptyParts);
    const QString zone = zoneOf(call.record);
    const QJsonObject domain{{"domain", zone}, {"domainId", 1000001}, {"status", "ACTIVE"}};
    if (segments.isEmpty())
        return request.method == "GET" ? jsonAnswer(200, QJsonArray{domain}) : notFound();
    if (segments[0].compare(zone, Qt::CaseInsensitive) != 0 || segments.size() > 4 ||
        (segments.size() > 1 && segments[1] != u"records"))
        return notFound();
    if (segments.size() == 4 && request.method == "PUT")
        return put(call.record, segments[2], segments[3], request.body);
    if (request.method != "GET" || segments.size() == 2)
        return notFound();
    if (segments.size() == 1)
        return jsonAnswer(200, domain);
    return jsonAnswer(200, recordsOf(call.record, segments[2], segments.value(3)));
}

} // namespace parlowen::sim
