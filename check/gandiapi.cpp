// Gandi's LiveDNS API: a personal access token under Password.
#include "check/apiexchange.h"
#include "check/verdictwords.h"
#include "check/zones.h"

#include <QJsonArray>
#include <QJsonObject>

namespace parlowen {

namespace {

const QString Api = QStringLiteral("https://api.gandi.net/v5/livedns/domains/");

class GandiApi final : public DomainProbingApi {
public:
    explicit GandiApi(const UpdateFields& fields)
        : DomainProbingApi(fields, QStringLiteral("on the domain's DNS records page at Gandi"), Api)
    {}

protected:
    ProviderRequest recordRequest(const ApiZone& zone) const override { return get(recordUrl(zone)); }

    std::variant<std::vector<ApiRecord>, AnswerJudgement> recordsIn(const LoadedPage& answer,
                                                                    const Redactor& shown) const override
    {
        if (answer.httpStatus == 404)
            return std::vector<ApiRecord>{};
        if (answer.httpStatus != 200)
            return refusal(answer, shown);
        const QJsonObject rrset = jsonOf(answer).object();
        std::vector<ApiRecord> records;
        for (const QJsonValue& value : rrset.value(u"rrset_values").toArray())
            records.push_back({{}, value.toString(), rrset.value(u"rrset_ttl")});
        return records;
    }

    ProviderRequest changeRequest(const ApiZone& zone, const ApiRecord& record) const override
    {
        QJsonObject change{{QStringLiteral("rrset_values"), QJsonArray{recordAddress()}}};
        if (!record.ttl.isUndefined())
            change.insert(QStringLiteral("rrset_ttl"), record.ttl);
        return jsonRequest("PUT", recordUrl(zone), account(), QJsonDocument(change));
    }

    AnswerJudgement changed(const LoadedPage& answer, const Redactor& shown) const override
    {
        return answer.httpStatus == 200 || answer.httpStatus == 201 ? accepted() : refusal(answer, shown);
    }

private:
    QString recordUrl(const ApiZone& zone) const
    {
        return domainUrl(zone) + QStringLiteral("/records/") +
               queryValue(nameInZone(fields().host, zone.name)) + u'/' + recordType();
    }

    QList<QPair<QByteArray, QByteArray>> account() const override
    {
        return {{"Authorization", "Bearer " + fields().password.trimmed().toUtf8()}};
    }

    AnswerJudgement refusal(const LoadedPage& answer, const Redactor& shown) const override
    {
        if (answer.httpStatus == 401) {
            return refusedWith(u"HTTP 401", u"the personal access token is not valid, or has expired",
                               u"Create a new one in Gandi's admin pages, allowed to manage the domain's "
                               u"technical configuration, and put it under Password.");
        }
        if (answer.httpStatus == 403) {
            return refusedWith(u"HTTP 403", u"the personal access token may not change this domain",
                               u"Allow it to manage the domain's technical configuration in Gandi's admin "
                               u"pages.");
        }
        return apiRefusal(answer, jsonOf(answer).object().value(u"message").toString(), shown);
    }
};

} // namespace

std::unique_ptr<ProviderExchange> gandiExchange(const UpdateFields& fields)
{
    return std::make_unique<GandiApi>(fields);
}

} // namespace parlowen
