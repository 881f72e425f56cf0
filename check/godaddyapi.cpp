// GoDaddy's API: the API key under User Name, its secret under Password.
#include "check/apiexchange.h"
#include "check/verdictwords.h"
#include "check/zones.h"

#include <QJsonArray>
#include <QJsonObject>

namespace parlowen {

namespace {

const QString Api = QStringLiteral("https://api.godaddy.com/v1/domains/");

class GoDaddyApi final : public DomainProbingApi {
public:
    // A name below a domain is answered "not a domain" (422), not "not found".
    explicit GoDaddyApi(const UpdateFields& fields)
        : DomainProbingApi(fields, QStringLiteral("on the domain's DNS page at GoDaddy"), Api, {422})
    {}

protected:
    ProviderRequest recordRequest(const ApiZone& zone) const override { return get(recordUrl(zone)); }

    std::variant<std::vector<ApiRecord>, AnswerJudgement> recordsIn(const LoadedPage& answer,
                                                                    const Redactor& shown) const override
    {
        if (answer.httpStatus != 200)
            return refusal(answer, shown);
        std::vector<ApiRecord> records;
        for (const QJsonValue& value : jsonOf(answer).array()) {
            const QJsonObject record = value.toObject();
            records.push_back({{}, record.value(u"data").toString(), record.value(u"ttl")});
        }
        return records;
    }

    ProviderRequest changeRequest(const ApiZone& zone, const ApiRecord& record) const override
    {
        QJsonObject change{{QStringLiteral("data"), recordAddress()}};
        if (!record.ttl.isUndefined())
            change.insert(QStringLiteral("ttl"), record.ttl);
        return jsonRequest("PUT", recordUrl(zone), account(), QJsonDocument(QJsonArray{change}));
    }

    AnswerJudgement changed(const LoadedPage& answer, const Redactor& shown) const override
    {
        return answer.httpStatus == 200 ? accepted() : refusal(answer, shown);
    }

private:
    QString recordUrl(const ApiZone& zone) const
    {
        return domainUrl(zone) + QStringLiteral("/records/") + recordType() + u'/' +
               queryValue(nameInZone(fields().host, zone.name));
    }

    QList<QPair<QByteArray, QByteArray>> account() const override
    {
        return {{"Authorization", "sso-key " + fields().userName.trimmed().toUtf8() + ':' +
                                      fields().password.trimmed().toUtf8()}};
    }

    AnswerJudgement refusal(const LoadedPage& answer, const Redactor& shown) const override
    {
        const QJsonObject error = jsonOf(answer).object();
        const QString code = error.value(u"code").toString();
        if (answer.httpStatus == 401 || code == QLatin1String("UNABLE_TO_AUTHENTICATE")) {
            return refusedWith(u"UNABLE_TO_AUTHENTICATE", u"the API key or its secret is wrong",
                               u"Put a production key under User Name and its secret under Password.");
        }
        if (code == QLatin1String("ACCESS_DENIED")) {
            return refusedWith(
                u"ACCESS_DENIED", u"GoDaddy keeps this account from its API",
                u"GoDaddy opens its DNS API only to accounts with ten domains or more, or with "
                u"its Discount Domain Club; another provider may serve the name instead.");
        }
        return apiRefusal(answer, error.value(u"message").toString(), shown);
    }
};

} // namespace

std::unique_ptr<ProviderExchange> godaddyExchange(const UpdateFields& fields)
{
    return std::make_unique<GoDaddyApi>(fields);
}

} // namespace parlowen
