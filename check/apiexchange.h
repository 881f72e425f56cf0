#pragma once
// What the JSON APIs of Cloudflare, Porkbun, Gandi and GoDaddy share: find
// the zone the host name is in, read its A record, and change it only when
// it holds another address; then, with IPv6, its AAAA record the same way
// in the same zone (IPv6 alone: the AAAA record alone). Each API says how
// to ask and how to read.

#include "check/providerexchange.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <optional>
#include <variant>
#include <vector>

namespace parlowen {

struct ApiZone {
    QString name; // example.com
    QString id;   // where the API names zones by an id of their own
};

struct ApiRecord {
    QString id;
    QString address;
    QJsonValue ttl; // kept as it was, where a change must name it
};

// Try the next candidate for the zone.
struct NotThisZone {};

class ApiExchange : public ProviderExchange {
public:
    ProviderRequest first() final;
    std::variant<ProviderRequest, AnswerJudgement> next(const LoadedPage& answer,
                                                        const Redactor& shown) final;

protected:
    // where: where the user adds a record by hand, for the words when none is there.
    ApiExchange(UpdateFields fields, QString where);

    // A zone the Service URL names itself, where the API lets it.
    virtual std::optional<ApiZone> typedZone() const { return std::nullopt; }
    virtual ProviderRequest zoneRequest(const QString& candidate) const = 0;
    virtual std::variant<ApiZone, NotThisZone, AnswerJudgement>
    zoneIn(const LoadedPage& answer, const QString& candidate, const Redactor& shown) const = 0;
    virtual ProviderRequest recordRequest(const ApiZone& zone) const = 0;
    virtual std::variant<std::vector<ApiRecord>, AnswerJudgement> recordsIn(const LoadedPage& answer,
                                                                            const Redactor& shown) const = 0;
    virtual ProviderRequest changeRequest(const ApiZone& zone, const ApiRecord& record) const = 0;
    virtual AnswerJudgement changed(const LoadedPage& answer, const Redactor& shown) const = 0;

    const UpdateFields& fields() const { return m_fields; }
    // The record this step reads and changes: "A" or "AAAA", and the address it is to hold.
    const QString& recordType() const { return m_types[m_type]; }
    const QString& recordAddress() const;
    // The verdict when no zone of the account holds the host name.
    AnswerJudgement noZone() const;
    // A request of the API: JSON both ways, the answer's bytes kept.
    static ProviderRequest jsonRequest(QByteArray method, QString url,
                                       QList<QPair<QByteArray, QByteArray>> headers,
                                       const QJsonDocument& body = {});

private:
    std::variant<ProviderRequest, AnswerJudgement> zoneAnswered(const LoadedPage& answer,
                                                                const Redactor& shown);
    std::variant<ProviderRequest, AnswerJudgement> recordsAnswered(const LoadedPage& answer,
                                                                   const Redactor& shown);
    std::variant<ProviderRequest, AnswerJudgement> stepAnswered(const LoadedPage& answer,
                                                                const Redactor& shown);
    std::variant<ProviderRequest, AnswerJudgement> nextRecord();
    AnswerJudgement saidOfBothFamilies(const AnswerJudgement& verdict) const;
    ProviderRequest asked(ProviderRequest request, const QString& purpose) const;
    ProviderRequest readRecord();

    enum class Step { Zone, Record, Change };
    UpdateFields m_fields;
    QString m_where;
    QStringList m_candidates;
    qsizetype m_candidate = 0;
    QStringList m_types;
    qsizetype m_type = 0;
    Step m_step = Step::Zone;
    ApiZone m_zone;
};

// An API that answers a domain of the account with 200 at the domain's own
// address, and any other name with "not found" (or one of alsoNotFound);
// every request carries the account in its headers.
class DomainProbingApi : public ApiExchange {
protected:
    DomainProbingApi(UpdateFields fields, QString where, QString domains, QList<int> alsoNotFound = {});

    virtual QList<QPair<QByteArray, QByteArray>> account() const = 0;
    virtual AnswerJudgement refusal(const LoadedPage& answer, const Redactor& shown) const = 0;

    ProviderRequest zoneRequest(const QString& candidate) const final;
    std::variant<ApiZone, NotThisZone, AnswerJudgement>
    zoneIn(const LoadedPage& answer, const QString& candidate, const Redactor& shown) const final;
    ProviderRequest get(const QString& url) const { return jsonRequest("GET", url, account()); }
    // The address of a domain's own resources.
    QString domainUrl(const ApiZone& zone) const { return m_domains + queryValue(zone.name); }

private:
    QString m_domains;
    QList<int> m_notFound;
};

// The answer's JSON; an empty object for an answer that is none.
QJsonDocument jsonOf(const LoadedPage& answer);

// The words for a provider's refusal that the API's own reading left over:
// its message quoted, or the error page's status.
AnswerJudgement apiRefusal(const LoadedPage& answer, const QString& message, const Redactor& shown);

std::unique_ptr<ProviderExchange> cloudflareExchange(const UpdateFields& fields);
std::unique_ptr<ProviderExchange> porkbunExchange(const UpdateFields& fields);
std::unique_ptr<ProviderExchange> gandiExchange(const UpdateFields& fields);
std::unique_ptr<ProviderExchange> godaddyExchange(const UpdateFields& fields);

} // namespace parlowen
