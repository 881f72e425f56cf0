// Cloudflare's API v4, api.cloudflare.com/client/v4: the zone by name, the
// record by type and name, then PATCH (or PUT) to change it and POST to
// create one; a Bearer token, and every answer in the envelope of success,
// errors, messages and result. Cloudflare publishes no table of its error
// codes: these are the ones its clients have met.
#include "sim/providerplays.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace parlowen::sim {

namespace {

QString idOf(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

FakeResponse failure(int status, int code, const QString& message, const QJsonArray& chain = {})
{
    QJsonObject error{{"code", code}, {"message", message}};
    if (!chain.isEmpty())
        error.insert(QStringLiteral("error_chain"), chain);
    return jsonAnswer(status, QJsonObject{{"success", false},
                                          {"errors", QJsonArray{error}},
                                          {"messages", QJsonArray()},
                                          {"result", QJsonValue::Null}});
}

FakeResponse success(const QJsonValue& result, const QJsonArray& messages = {})
{
    QJsonObject envelope{
        {"success", true}, {"errors", QJsonArray()}, {"messages", messages}, {"result", result}};
    if (result.isArray()) {
        const qsizetype count = result.toArray().size();
        envelope.insert(QStringLiteral("result_info"), QJsonObject{{"page", 1},
                                                                   {"per_page", 100},
                                                                   {"count", count},
                                                                   {"total_count", count},
                                                                   {"total_pages", 1}});
    }
    return jsonAnswer(200, envelope);
}

FakeResponse noRoute()
{
    return failure(404, 7000, QStringLiteral("No route for that URI"));
}

QJsonObject recordJson(const ProviderRecord& record, const QString& name, const QString& type,
                       const QString& content)
{
    return {{"id", idOf(name + u'/' + type)},
            {"zone_id", idOf(zoneOf(record))},
            {"zone_name", zoneOf(record)},
            {"name", name},
            {"type", type},
            {"content", content},
            {"proxiable", true},
            {"proxied", false},
            {"ttl", 1},
            {"comment", QJsonValue::Null},
            {"tags", QJsonArray()}};
}

QJsonArray matchingRecords(ProviderRecord& record, const RecordedRequest& request)
{
    const QString type = parameter(request, QStringLiteral("type")).value_or(QString());
    const QString name = parameter(request, QStringLiteral("name")).value_or(QString());
    QJsonArray found;
    for (const QString& kind : {QStringLiteral("A"), QStringLiteral("AAAA")}) {
        const QString content = *recordOfType(record, kind);
        if ((type.isEmpty() || type == kind) &&
            (name.isEmpty() || name.compare(record.host, Qt::CaseInsensitive) == 0) && !content.isEmpty())
            found.append(recordJson(record, record.host, kind, content));
    }
    return found;
}

FakeResponse invalidContent(const QString& type)
{
    return failure(400, 9005,
                   QStringLiteral("Content for %1 record is invalid. Must be a valid %2 address.")
                       .arg(type, type == u"AAAA" ? QStringLiteral("IPv6") : QStringLiteral("IPv4")));
}

// POST: a record of a name the account keeps no record of is created and kept
// nowhere, so record() shows that the client asked for the wrong name.
FakeResponse create(ProviderRecord& record, const QJsonObject& body)
{
    const QString type = body.value(u"type").toString();
    const QString name = body.value(u"name").toString();
    const QString content = body.value(u"content").toString();
    if (name.isEmpty() || type.isEmpty() || content.isEmpty())
        return failure(400, 1004, QStringLiteral("DNS Validation Error"));
    QString* kept =
        name.compare(record.host, Qt::CaseInsensitive) == 0 ? recordOfType(record, type) : nullptr;
    if ((type == u"A" || type == u"AAAA") && !validFor(type, content))
        return invalidContent(type);
    if (kept && !kept->isEmpty())
        return failure(400, 81057, QStringLiteral("Record already exists."));
    if (kept)
        *kept = content;
    return success(recordJson(record, name, type, content));
}

// PATCH changes the fields sent; PUT replaces the record and needs them all.
// A rename or a change of type is more than one kept record can show, and
// is refused as invalid.
FakeResponse edit(ProviderRecord& record, const QString& type, const QByteArray& method,
                  const QJsonObject& body)
{
    const QString name = body.value(u"name").toString(record.host);
    const bool complete = body.contains(u"type") && body.contains(u"name") && body.contains(u"content");
    if ((method == "PUT" && !complete) || body.value(u"type").toString(type) != type ||
        name.compare(record.host, Qt::CaseInsensitive) != 0)
        return failure(400, 1004, QStringLiteral("DNS Validation Error"));
    const QString content = body.value(u"content").toString(*recordOfType(record, type));
    if (!validFor(type, content))
        return invalidContent(type);
    *recordOfType(record, type) = content;
    return success(recordJson(record, record.host, type, content));
}

// /zones/{zone_id}/dns_records[/{record_id}]
FakeResponse records(ProviderCall& call, const QStringList& segments)
{
    const RecordedRequest& request = call.request;
    if (segments.size() > 4 || segments.value(2) != u"dns_records")
        return noRoute();
    if (segments[1] != idOf(zoneOf(call.record)))
        return failure(
            400, 7003,
            QStringLiteral("Could not route to /zones/%1/dns_records, perhaps your object identifier is "
                           "invalid?")
                .arg(segments[1]));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    const bool needsBody = request.method != "GET";
    if (needsBody && (error.error != QJsonParseError::NoError || !document.isObject()))
        return failure(400, 9207, QStringLiteral("Request body is invalid."));
    if (segments.size() == 3)
        return request.method == "GET"    ? success(matchingRecords(call.record, request))
               : request.method == "POST" ? create(call.record, document.object())
                                          : noRoute();
    for (const QString& type : {QStringLiteral("A"), QStringLiteral("AAAA")}) {
        if (segments[3] != idOf(call.record.host + u'/' + type) || recordOfType(call.record, type)->isEmpty())
            continue;
        if (request.method == "GET")
            return success(recordJson(call.record, call.record.host, type, *recordOfType(call.record, type)));
        if (request.method == "PATCH" || request.method == "PUT")
            return edit(call.record, type, request.method, document.object());
        return noRoute();
    }
    return failure(404, 81044, QStringLiteral("Record does not exist."));
}

std::optional<FakeResponse> signInRefusal(const ProviderCall& call)
{
    if (call.request.authorization().isEmpty())
        return failure(400, 9106,
                       QStringLiteral("Missing X-Auth-Key, X-Auth-Email or Authorization headers"));
    const std::optional<QString> token = authorizationValue(call.request, "Bearer");
    if (!token || token->isEmpty() || token->contains(u' '))
        return failure(400, 6003, QStringLiteral("Invalid request headers"),
                       {QJsonObject{{"code", 6111}, {"message", "Invalid format for Authorization header"}}});
    if (!accepts(call.record.secret, *token))
        return failure(403, 9109, QStringLiteral("Invalid access token"));
    return std::nullopt;
}

} // namespace

FakeResponse playCloudflare(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    const QString base = QStringLiteral("/client/v4/");
    if (!request.path.startsWith(base))
        return noRoute();
    if (const std::optional<FakeResponse> refusal = signInRefusal(call))
        return *refusal;
    if (call.blocked)
        return failure(429, 971, QStringLiteral("Please wait and consider throttling your request speed"));
    const QStringList segments = request.path.mid(base.size()).split(u'/', Qt::SkipEmptyParts);
    const QString zone = zoneOf(call.record);
    if (segments == QStringList{"user", "tokens", "verify"} && request.method == "GET")
        return success(QJsonObject{{"id", idOf(call.record.secret)}, {"status", "active"}},
                       {QJsonObject{{"code", 10000}, {"message", "This API Token is valid and active"}}});
    if (segments == QStringList{"zones"} && request.method == "GET") {
        const QString name = parameter(request, QStringLiteral("name")).value_or(zone);
        const QJsonObject found{{"id", idOf(zone)}, {"name", zone}, {"status", "active"}};
        return success(name.compare(zone, Qt::CaseInsensitive) == 0 ? QJsonArray{found} : QJsonArray());
    }
    if (segments.value(0) != u"zones" || segments.size() < 2)
        return noRoute();
    if (segments.size() == 2 && request.method == "GET" && segments[1] == idOf(zone))
        return success(QJsonObject{{"id", idOf(zone)}, {"name", zone}, {"status", "active"}});
    if (segments.size() == 2)
        return failure(
            400, 7003,
            QStringLiteral("Could not route to /zones/%1, perhaps your object identifier is invalid?")
                .arg(segments[1]));
    return records(call, segments);
}

} // namespace parlowen::sim
