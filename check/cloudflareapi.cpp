// Cloudflare's API: an API token under Password; the zone found by the host
// name, or named in the Service URL by its id.
#include "check/apiexchange.h"
#include "check/verdictwords.h"
#include "check/zones.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>

namespace parlowen {

namespace {

const QString Api = QStringLiteral("https://api.cloudflare.com/client/v4");

struct ErrorCode {
    int code;
    QStringView meaning;
    QStringView advice;
};

// Cloudflare does not list its codes; these are the ones it answers an
// update client with.
constexpr ErrorCode ErrorCodes[] = {
    {9109, u"the API token is not valid",
     u"Create an API token with Zone Read and DNS Edit on Cloudflare's "
     u"dashboard, and put it under Password."},
    {1000, u"the API token is not valid",
     u"Create an API token with Zone Read and DNS Edit on Cloudflare's "
     u"dashboard, and put it under Password."},
    {6003, u"the API token is not written as one", u"Copy it again, without spaces, under Password."},
    {10000, u"the API token may not read the zone or change its records",
     u"Give it Zone Read and DNS Edit for the zone on Cloudflare's dashboard."},
    {81044, u"the record was removed meanwhile", u"Check it on the zone's DNS page, then try again."},
};

class CloudflareApi final : public ApiExchange {
public:
    explicit CloudflareApi(const UpdateFields& fields)
        : ApiExchange(fields, QStringLiteral("on the zone's DNS page in Cloudflare's dashboard"))
    {}

protected:
    std::optional<ApiZone> typedZone() const override
    {
        const QStringList path = QUrl(fields().service.trimmed()).path().split(u'/', Qt::SkipEmptyParts);
        const qsizetype zones = path.indexOf(QStringLiteral("zones"));
        if (zones < 0 || zones + 1 >= path.size())
            return std::nullopt;
        return ApiZone{{}, path[zones + 1]};
    }

    ProviderRequest zoneRequest(const QString& candidate) const override
    {
        return get(Api + QStringLiteral("/zones?name=") + queryValue(candidate));
    }

    std::variant<ApiZone, NotThisZone, AnswerJudgement> zoneIn(const LoadedPage& answer, const QString&,
                                                               const Redactor& shown) const override
    {
        const QJsonObject json = jsonOf(answer).object();
        if (!json.value(u"success").toBool())
            return refusal(answer, json, shown);
        const QJsonArray zones = json.value(u"result").toArray();
        if (zones.isEmpty())
            return NotThisZone{};
        const QJsonObject zone = zones.first().toObject();
        return ApiZone{zone.value(u"name").toString(), zone.value(u"id").toString()};
    }

    ProviderRequest recordRequest(const ApiZone& zone) const override
    {
        return get(QStringLiteral("%1/zones/%2/dns_records?type=%3&name=%4")
                       .arg(Api, queryValue(zone.id), recordType(), queryValue(plainHost(fields().host))));
    }

    std::variant<std::vector<ApiRecord>, AnswerJudgement> recordsIn(const LoadedPage& answer,
                                                                    const Redactor& shown) const override
    {
        const QJsonObject json = jsonOf(answer).object();
        if (!json.value(u"success").toBool())
            return refusal(answer, json, shown);
        std::vector<ApiRecord> records;
        for (const QJsonValue& record : json.value(u"result").toArray()) {
            const QJsonObject fields = record.toObject();
            records.push_back({fields.value(u"id").toString(), fields.value(u"content").toString(), {}});
        }
        return records;
    }

    // Only the address: the record's proxying, TTL and comment stay the user's.
    ProviderRequest changeRequest(const ApiZone& zone, const ApiRecord& record) const override
    {
        const QJsonObject change{{QStringLiteral("content"), recordAddress()}};
        return jsonRequest(
            "PATCH",
            QStringLiteral("%1/zones/%2/dns_records/%3").arg(Api, queryValue(zone.id), queryValue(record.id)),
            account(), QJsonDocument(change));
    }

    AnswerJudgement changed(const LoadedPage& answer, const Redactor& shown) const override
    {
        const QJsonObject json = jsonOf(answer).object();
        return json.value(u"success").toBool() ? accepted() : refusal(answer, json, shown);
    }

private:
    QList<QPair<QByteArray, QByteArray>> account() const
    {
        return {{"Authorization", "Bearer " + fields().password.trimmed().toUtf8()}};
    }

    ProviderRequest get(const QString& url) const { return jsonRequest("GET", url, account()); }

    static AnswerJudgement refusal(const LoadedPage& answer, const QJsonObject& json, const Redactor& shown)
    {
        const QJsonObject error = json.value(u"errors").toArray().first().toObject();
        const int code = error.value(u"code").toInt();
        const auto known = std::find_if(std::begin(ErrorCodes), std::end(ErrorCodes),
                                        [code](const ErrorCode& entry) { return entry.code == code; });
        if (known != std::end(ErrorCodes))
            return refusedWith(QStringLiteral("code %1").arg(code), known->meaning, known->advice);
        const QString message = error.value(u"message").toString();
        return apiRefusal(answer,
                          message.isEmpty() ? message : QStringLiteral("%1 (code %2)").arg(message).arg(code),
                          shown);
    }
};

} // namespace

std::unique_ptr<ProviderExchange> cloudflareExchange(const UpdateFields& fields)
{
    return std::make_unique<CloudflareApi>(fields);
}

} // namespace parlowen
