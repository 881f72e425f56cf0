// Porkbun's API: the API key under User Name, the secret key under
// Password, both in the body of every request.
#include "check/apiexchange.h"
#include "check/verdictwords.h"
#include "check/zones.h"

#include <QJsonArray>
#include <QJsonObject>

namespace parlowen {

namespace {

const QString Api = QStringLiteral("https://api.porkbun.com/api/json/v3");

class PorkbunApi final : public ApiExchange {
public:
    explicit PorkbunApi(const UpdateFields& fields)
        : ApiExchange(fields, QStringLiteral("on the domain's DNS page at Porkbun"))
    {}

protected:
    // One list of the account's domains answers for every candidate.
    ProviderRequest zoneRequest(const QString&) const override
    {
        return post(QStringLiteral("/domain/listAll"));
    }

    std::variant<ApiZone, NotThisZone, AnswerJudgement> zoneIn(const LoadedPage& answer, const QString&,
                                                               const Redactor& shown) const override
    {
        const QJsonObject json = jsonOf(answer).object();
        if (json.value(u"status").toString() != QLatin1String("SUCCESS"))
            return refusal(answer, json, shown);
        QStringList domains;
        for (const QJsonValue& domain : json.value(u"domains").toArray())
            domains << domain.toObject().value(u"domain").toString().toLower();
        for (const QString& candidate : zoneCandidates(fields().host)) {
            if (domains.contains(candidate))
                return ApiZone{candidate, {}};
        }
        return noZone();
    }

    ProviderRequest recordRequest(const ApiZone& zone) const override
    {
        return post(QStringLiteral("/dns/retrieveByNameType/") + recordPath(zone));
    }

    std::variant<std::vector<ApiRecord>, AnswerJudgement> recordsIn(const LoadedPage& answer,
                                                                    const Redactor& shown) const override
    {
        const QJsonObject json = jsonOf(answer).object();
        if (json.value(u"status").toString() != QLatin1String("SUCCESS"))
            return refusal(answer, json, shown);
        std::vector<ApiRecord> records;
        for (const QJsonValue& record : json.value(u"records").toArray()) {
            const QJsonObject fields = record.toObject();
            records.push_back(
                {fields.value(u"id").toString(), fields.value(u"content").toString(), fields.value(u"ttl")});
        }
        return records;
    }

    ProviderRequest changeRequest(const ApiZone& zone, const ApiRecord& record) const override
    {
        QJsonObject change{{QStringLiteral("content"), recordAddress()}};
        if (!record.ttl.isUndefined())
            change.insert(QStringLiteral("ttl"), record.ttl);
        return post(QStringLiteral("/dns/editByNameType/") + recordPath(zone), change);
    }

    AnswerJudgement changed(const LoadedPage& answer, const Redactor& shown) const override
    {
        const QJsonObject json = jsonOf(answer).object();
        return json.value(u"status").toString() == QLatin1String("SUCCESS") ? accepted()
                                                                            : refusal(answer, json, shown);
    }

private:
    // The name within the domain is left out for the domain itself.
    QString recordPath(const ApiZone& zone) const
    {
        const QString name = nameInZone(fields().host, zone.name);
        const QString path = queryValue(zone.name) + u'/' + recordType();
        return name == QLatin1String("@") ? path : path + u'/' + queryValue(name);
    }

    ProviderRequest post(const QString& path, QJsonObject body = {}) const
    {
        body.insert(QStringLiteral("apikey"), fields().userName.trimmed());
        body.insert(QStringLiteral("secretapikey"), fields().password.trimmed());
        return jsonRequest("POST", Api + path, {}, QJsonDocument(body));
    }

    static AnswerJudgement refusal(const LoadedPage& answer, const QJsonObject& json, const Redactor& shown)
    {
        const QString message = json.value(u"message").toString();
        if (message.contains(QLatin1String("Invalid API key"))) {
            return refusedWith(
                u"Invalid API key", u"the API key or the secret key is wrong",
                u"Put the API key (pk1_...) under User Name and the secret key (sk1_...) under "
                u"Password.");
        }
        if (message.contains(QLatin1String("opted in to API access"))) {
            return refusedWith(u"no API access", u"the domain does not let the API change it",
                               u"Turn on API Access in the domain's details at Porkbun.");
        }
        return apiRefusal(answer, message, shown);
    }
};

} // namespace

std::unique_ptr<ProviderExchange> porkbunExchange(const UpdateFields& fields)
{
    return std::make_unique<PorkbunApi>(fields);
}

} // namespace parlowen
