// Gandi's LiveDNS API v5, api.gandi.net/v5/livedns: a Personal Access Token
// as Bearer (its older API keys as "Apikey"), the zone and its record sets
// by relative name and type, and PUT that creates or replaces a set: 201.
#include "sim/providerplays.h"

#include <QJsonDocument>

namespace parlowen::sim {

namespace {

FakeResponse failure(int status, const char* message, const char* object, const char* cause)
{
    return jsonAnswer(
        status, QJsonObject{{"code", status}, {"message", message}, {"object", object}, {"cause", cause}});
}

FakeResponse notFound()
{
    return failure(404, "The resource could not be found.", "HTTPNotFound", "Not Found");
}

QString href(const QString& zone, const QString& rest = {})
{
    return QStringLiteral("https://api.gandi.net/v5/livedns/domains/") + zone + rest;
}

QJsonObject zoneJson(const QString& zone)
{
    return {{"fqdn", zone},
            {"domain_href", href(zone)},
            {"domain_records_href", href(zone, QStringLiteral("/records"))}};
}

QJsonArray recordSets(ProviderRecord& record, const QString& name, const QString& type)
{
    const QString relative = relativeName(record);
    QJsonArray sets;
    for (const QString& kind : {QStringLiteral("A"), QStringLiteral("AAAA")}) {
        const QString content = *recordOfType(record, kind);
        if ((name.isEmpty() || name.compare(relative, Qt::CaseInsensitive) == 0) &&
            (type.isEmpty() || type == kind) && !content.isEmpty())
            sets.append(QJsonObject{
                {"rrset_name", relative},
                {"rrset_type", kind},
                {"rrset_ttl", 300},
                {"rrset_values", QJsonArray::fromStringList(content.split(u','))},
                {"rrset_href", href(zoneOf(record), QStringLiteral("/records/") + relative + u'/' + kind)}});
    }
    return sets;
}

FakeResponse invalidValues(const QString& description)
{
    return jsonAnswer(400, QJsonObject{{"status", "error"},
                                       {"errors", QJsonArray{QJsonObject{{"location", "body"},
                                                                         {"name", "rrset_values"},
                                                                         {"description", description}}}}});
}

// PUT creates or replaces; a set under a name the account keeps no record
// of is created and kept nowhere, so record() shows the wrong name.
FakeResponse put(ProviderRecord& record, const QString& name, const QString& type, const QByteArray& body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QJsonArray values = object.value(u"rrset_values").toArray();
    if (values.isEmpty())
        return invalidValues(QStringLiteral("rrset_values is required"));
    QStringList addresses;
    for (const QJsonValue& value : values) {
        if ((type == u"A" || type == u"AAAA") && !validFor(type, value.toString()))
            return invalidValues(QStringLiteral("invalid value for %1 record").arg(type));
        addresses.append(value.toString());
    }
    const int ttl = object.value(u"rrset_ttl").toInt(300);
    if (ttl < 300 || ttl > 2592000)
        return jsonAnswer(400,
                          QJsonObject{{"status", "error"},
                                      {"errors", QJsonArray{QJsonObject{{"location", "body"},
                                                                        {"name", "rrset_ttl"},
                                                                        {"description", "out of range"}}}}});
    if (QString* kept = recordOfType(record, type);
        kept && name.compare(relativeName(record), Qt::CaseInsensitive) == 0)
        *kept = addresses.join(u',');
    return jsonAnswer(201, QJsonObject{{"message", "DNS Record Created"}});
}

} // namespace

FakeResponse playGandi(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    const QString base = QStringLiteral("/v5/livedns/");
    if (!request.path.startsWith(base))
        return notFound();
    const std::optional<QString> token = authorizationValue(request, "Bearer");
    const std::optional<QString> key = authorizationValue(request, "Apikey");
    const QString given = token.value_or(key.value_or(QString()));
    if (given.isEmpty() || !accepts(call.record.secret, given))
        return failure(
            401,
            "The server could not verify that you authorized to access the document you requested. "
            "Either you supplied the wrong credentials (e.g., bad api key), or your access token has "
            "expired",
            "HTTPUnauthorized", "Unauthorized");
    // Gandi's answer to a throttled client is not documented; its error shape is.
    if (call.blocked)
        return failure(429, "Too many requests.", "HTTPTooManyRequests", "Too Many Requests");
    const QStringList segments = request.path.mid(base.size()).split(u'/', Qt::SkipEmptyParts);
    const QString zone = zoneOf(call.record);
    if (segments.value(0) != u"domains")
        return notFound();
    if (segments.size() == 1)
        return request.method == "GET" ? jsonAnswer(200, QJsonArray{zoneJson(zone)}) : notFound();
    if (segments[1].compare(zone, Qt::CaseInsensitive) != 0 || segments.size() > 5 ||
        (segments.size() > 2 && segments[2] != u"records"))
        return notFound();
    if (segments.size() == 5 && request.method == "PUT")
        return put(call.record, segments[3], segments[4], request.body);
    if (request.method != "GET")
        return failure(405, "The method is not allowed for the requested URL.", "HTTPMethodNotAllowed",
                       "Method Not Allowed");
    if (segments.size() == 2)
        return jsonAnswer(200, zoneJson(zone));
    const QJsonArray sets = recordSets(call.record, segments.value(3), segments.value(4));
    if (segments.size() == 5)
        return sets.isEmpty() ? notFound() : jsonAnswer(200, sets.first().toObject());
    return jsonAnswer(200, sets);
}

} // namespace parlowen::sim
