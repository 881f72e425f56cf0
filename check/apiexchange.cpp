// The steps the JSON APIs share: the zone, the record, the change.
#include "check/apiexchange.h"

#include "check/ipv6support.h"
#include "check/verdictwords.h"
#include "check/zones.h"

#include <QHostAddress>

namespace parlowen {

namespace {

QStringList recordTypes(const UpdateFields& fields)
{
    switch (ipv6ModeToSend(fields)) {
    case Ipv6Mode::No:
        break;
    case Ipv6Mode::Yes:
        return {QStringLiteral("A"), QStringLiteral("AAAA")};
    case Ipv6Mode::Only:
        return {QStringLiteral("AAAA")};
    }
    return {QStringLiteral("A")};
}

// As the DNS compares them: "2001:DB8::0:1" holds 2001:db8::1.
bool sameAddress(const QString& held, const QString& wanted)
{
    const QHostAddress address(held);
    return held == wanted || (!address.isNull() && address.isEqual(QHostAddress(wanted)));
}

} // namespace

ApiExchange::ApiExchange(UpdateFields fields, QString where)
    : m_fields(std::move(fields)), m_where(std::move(where)), m_candidates(zoneCandidates(m_fields.host)),
      m_types(recordTypes(m_fields))
{}

const QString& ApiExchange::recordAddress() const
{
    return recordType() == QLatin1String("AAAA") ? m_fields.ipv6Address : m_fields.wanAddress;
}

ProviderRequest ApiExchange::readRecord()
{
    m_step = Step::Record;
    return asked(recordRequest(m_zone),
                 QStringLiteral("reading the %1 record of %2").arg(recordType(), plainHost(m_fields.host)));
}

ProviderRequest ApiExchange::asked(ProviderRequest request, const QString& purpose) const
{
    request.purpose = purpose;
    return request;
}

ProviderRequest ApiExchange::first()
{
    if (const std::optional<ApiZone> zone = typedZone()) {
        m_zone = *zone;
        return readRecord();
    }
    // A host name of one label has no zone to look for; the API is asked
    // for it as it stands and says so itself.
    const QString candidate = m_candidates.isEmpty() ? plainHost(m_fields.host) : m_candidates.first();
    return asked(zoneRequest(candidate),
                 QStringLiteral("finding the zone of %1").arg(plainHost(m_fields.host)));
}

std::variant<ProviderRequest, AnswerJudgement> ApiExchange::next(const LoadedPage& answer,
                                                                 const Redactor& shown)
{
    auto step = stepAnswered(answer, shown);
    if (const auto* verdict = std::get_if<AnswerJudgement>(&step))
        return saidOfBothFamilies(*verdict);
    return step;
}

std::variant<ProviderRequest, AnswerJudgement> ApiExchange::stepAnswered(const LoadedPage& answer,
                                                                         const Redactor& shown)
{
    if (!answer.loadErrorWords.isEmpty())
        return notArrived(answer.loadErrorWords);
    switch (m_step) {
    case Step::Zone:
        return zoneAnswered(answer, shown);
    case Step::Record:
        return recordsAnswered(answer, shown);
    case Step::Change: {
        const AnswerJudgement verdict = changed(answer, shown);
        if (verdict.outcome != UpdateOutcome::Accepted)
            return verdict;
        return nextRecord();
    }
    }
    return unclearAnswer();
}

// The AAAA record after the A record, in the zone already found.
std::variant<ProviderRequest, AnswerJudgement> ApiExchange::nextRecord()
{
    if (m_type + 1 >= m_types.size())
        return accepted();
    ++m_type;
    return readRecord();
}

// A refusal of either record of two says what became of the other.
AnswerJudgement ApiExchange::saidOfBothFamilies(const AnswerJudgement& verdict) const
{
    if (verdict.outcome == UpdateOutcome::Accepted || m_types.size() < 2 || m_step == Step::Zone)
        return verdict;
    return m_type == 0 ? ipv4Refused(verdict) : ipv6Refused(verdict, m_fields.wanAddress);
}

std::variant<ProviderRequest, AnswerJudgement> ApiExchange::zoneAnswered(const LoadedPage& answer,
                                                                         const Redactor& shown)
{
    const QString candidate = m_candidates.value(m_candidate, plainHost(m_fields.host));
    auto zone = zoneIn(answer, candidate, shown);
    if (auto* verdict = std::get_if<AnswerJudgement>(&zone))
        return *verdict;
    if (auto* found = std::get_if<ApiZone>(&zone)) {
        m_zone = *found;
        return readRecord();
    }
    if (++m_candidate < m_candidates.size())
        return asked(zoneRequest(m_candidates[m_candidate]),
                     QStringLiteral("finding the zone of %1").arg(plainHost(m_fields.host)));
    return noZone();
}

AnswerJudgement ApiExchange::noZone() const
{
    return {UpdateOutcome::NotAccepted,
            QStringLiteral(
                "None of the zones this account may change holds %1. Check the host name under Service "
                "details, and that the key or token may read its zone.")
                .arg(plainHost(m_fields.host))};
}

std::variant<ProviderRequest, AnswerJudgement> ApiExchange::recordsAnswered(const LoadedPage& answer,
                                                                            const Redactor& shown)
{
    auto read = recordsIn(answer, shown);
    if (auto* verdict = std::get_if<AnswerJudgement>(&read))
        return *verdict;
    const std::vector<ApiRecord>& records = std::get<std::vector<ApiRecord>>(read);
    if (records.empty())
        return noSuchRecord(m_fields.host, m_zone.name, m_where, recordType());
    // Several addresses under one name share its load; which one is the
    // home's is not Parlowen's to guess.
    if (records.size() > 1) {
        return AnswerJudgement{
            UpdateOutcome::NotAccepted,
            QStringLiteral("%1 has %2 %3 records, and Parlowen keeps a name of one address up to "
                           "date. Remove the others %4.")
                .arg(plainHost(m_fields.host))
                .arg(records.size())
                .arg(recordType(), m_where)};
    }
    // Unchanged: no change is sent, as providers ask.
    if (sameAddress(records.front().address, recordAddress()))
        return nextRecord();
    m_step = Step::Change;
    return asked(changeRequest(m_zone, records.front()),
                 QStringLiteral("changing the %1 record of %2 to %3")
                     .arg(recordType(), plainHost(m_fields.host), recordAddress()));
}

ProviderRequest ApiExchange::jsonRequest(QByteArray method, QString url,
                                         QList<QPair<QByteArray, QByteArray>> headers,
                                         const QJsonDocument& body)
{
    ProviderRequest request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.headers = std::move(headers);
    request.headers.append(qMakePair(QByteArray("Accept"), QByteArray("application/json")));
    if (!body.isNull()) {
        request.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
        request.body = body.toJson(QJsonDocument::Compact);
    }
    request.keepBody = true;
    return request;
}

DomainProbingApi::DomainProbingApi(UpdateFields fields, QString where, QString domains,
                                   QList<int> alsoNotFound)
    : ApiExchange(std::move(fields), std::move(where)), m_domains(std::move(domains)),
      m_notFound(std::move(alsoNotFound) << 404)
{}

ProviderRequest DomainProbingApi::zoneRequest(const QString& candidate) const
{
    return get(m_domains + queryValue(candidate));
}

std::variant<ApiZone, NotThisZone, AnswerJudgement>
DomainProbingApi::zoneIn(const LoadedPage& answer, const QString& candidate, const Redactor& shown) const
{
    if (answer.httpStatus == 200)
        return ApiZone{candidate, {}};
    if (m_notFound.contains(answer.httpStatus))
        return NotThisZone{};
    return refusal(answer, shown);
}

QJsonDocument jsonOf(const LoadedPage& answer)
{
    return QJsonDocument::fromJson(answer.body);
}

AnswerJudgement apiRefusal(const LoadedPage& answer, const QString& message, const Redactor& shown)
{
    // Its own words say less than the status what to do.
    if (answer.httpStatus == 429)
        return errorPage(429);
    if (!message.isEmpty())
        return refusedSaying(message, {{}, shown},
                             u"Check the key or token and the host name under Service "
                             u"details.");
    if (answer.httpStatus == 401 || answer.httpStatus == 403)
        return signInRefused(answer.httpStatus);
    if (answer.httpStatus < 200 || answer.httpStatus > 299)
        return errorPage(answer.httpStatus);
    return unclearAnswer();
}

} // namespace parlowen
