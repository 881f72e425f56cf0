// Porkbun's API v3, api.porkbun.com/api/json/v3: every call a POST whose JSON
// body carries apikey and secretapikey (newer documentation also takes them
// as X-API-Key and X-Secret-API-Key headers), answers {"status": "SUCCESS"}
// or {"status": "ERROR", "message": ...} with HTTP 400.
#include "sim/providerplays.h"

#include <QJsonDocument>

namespace parlowen::sim {

namespace {

FakeResponse failure(const QString& message, int status = 400)
{
    return jsonAnswer(status, QJsonObject{{"status", "ERROR"}, {"message", message}});
}

FakeResponse success(QJsonObject body = {})
{
    body.insert(QStringLiteral("status"), QStringLiteral("SUCCESS"));
    return jsonAnswer(200, body);
}

QString keyOf(const QJsonObject& body, const RecordedRequest& request, const char* field, const char* header)
{
    const QString inBody = body.value(QLatin1StringView(field)).toString();
    return inBody.isEmpty() ? QString::fromUtf8(request.header(header)) : inBody;
}

// {domain}/{type}[/{subdomain}], the subdomain left out for the domain itself.
struct Target {
    QString name;
    QString type;
};

std::optional<Target> targetOf(const QStringList& segments)
{
    if (segments.size() < 4 || segments.size() > 5)
        return std::nullopt;
    const QString sub = segments.value(4);
    return Target{sub.isEmpty() ? segments[2] : sub + u'.' + segments[2], segments[3]};
}

QJsonArray recordsOf(ProviderRecord& record, const Target& target)
{
    QString* content = recordOfType(record, target.type);
    if (!content || content->isEmpty() || target.name.compare(record.host, Qt::CaseInsensitive) != 0)
        return {};
    return {QJsonObject{{"id", "106926659"},
                        {"name", record.host},
                        {"type", target.type},
                        {"content", *content},
                        {"ttl", "600"},
                        {"prio", "0"},
                        {"notes", ""}}};
}

// Its words for an edit that finds no record, and for a second record of a
// kept name, are not documented; these are ours.
FakeResponse dns(ProviderRecord& record, const QStringList& segments, const QJsonObject& body)
{
    const QString action = segments.value(1);
    const QString content = body.value(u"content").toString();
    if (action == u"create" && segments.size() == 3) {
        const QString sub = body.value(u"name").toString();
        const QString type = body.value(u"type").toString();
        if (type.isEmpty() || content.isEmpty() ||
            ((type == u"A" || type == u"AAAA") && !validFor(type, content)))
            return failure(QStringLiteral("Invalid record content."));
        // A record of a name the account keeps none of is created and kept nowhere.
        QString* kept = (sub.isEmpty() ? segments[2] : sub + u'.' + segments[2])
                                    .compare(record.host, Qt::CaseInsensitive) == 0
                            ? recordOfType(record, type)
                            : nullptr;
        if (kept && !kept->isEmpty())
            return failure(QStringLiteral("A record of this name and type exists already."));
        if (kept)
            *kept = content;
        return success({{"id", 106926660}});
    }
    const std::optional<Target> target = targetOf(segments);
    if (!target)
        return failure(QStringLiteral("Invalid endpoint."), 404);
    if (action == u"retrieveByNameType")
        return success({{"records", recordsOf(record, *target)}});
    if (action != u"editByNameType")
        return failure(QStringLiteral("Invalid endpoint."), 404);
    if (!validFor(target->type, content))
        return failure(QStringLiteral("Invalid record content."));
    if (recordsOf(record, *target).isEmpty())
        return failure(QStringLiteral("No records of this name and type to edit."));
    *recordOfType(record, target->type) = content;
    return success();
}

} // namespace

FakeResponse playPorkbun(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    const QString base = QStringLiteral("/api/json/v3/");
    if (!request.path.startsWith(base))
        return failure(QStringLiteral("Invalid endpoint."), 404);
    if (request.method != "POST")
        return failure(QStringLiteral("Every call is a POST."), 405);
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const QString apiKey = keyOf(body, request, "apikey", "X-API-Key");
    const QString secretKey = keyOf(body, request, "secretapikey", "X-Secret-API-Key");
    if (apiKey.isEmpty() || secretKey.isEmpty() || !accepts(call.record.user, apiKey) ||
        !accepts(call.record.secret, secretKey))
        return failure(QStringLiteral("Invalid API key. (002)"));
    // Porkbun documents rate limits but not their answer.
    if (call.blocked)
        return failure(QStringLiteral("Rate limit exceeded."), 429);
    const QStringList segments = request.path.mid(base.size()).split(u'/', Qt::SkipEmptyParts);
    const QString zone = zoneOf(call.record);
    if (segments == QStringList{"ping"})
        return success({{"yourIp", addressText(sourceAddress(request))}, {"credentialsValid", true}});
    if (segments == QStringList{"domain", "listAll"})
        return success(
            {{"domains", QJsonArray{QJsonObject{
                             {"domain", zone}, {"status", "ACTIVE"}, {"tld", zone.section(u'.', -1)}}}}});
    if (segments.value(0) != u"dns" || segments.size() < 3)
        return failure(QStringLiteral("Invalid endpoint."), 404);
    // {domain} is the registered domain alone; a subdomain there is refused.
    if (segments[2].compare(zone, Qt::CaseInsensitive) != 0)
        return failure(QStringLiteral("Invalid domain."));
    return dns(call.record, segments, body);
}

} // namespace parlowen::sim
