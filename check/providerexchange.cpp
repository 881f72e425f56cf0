// Which requests an update takes, by the Service URL's provider.
#include "check/providerexchange.h"

#include "check/answerdialects.h"
#include "check/apiexchange.h"
#include "check/providers.h"
#include "check/updaterequest.h"
#include "check/verdictwords.h"

namespace parlowen {

namespace {

// An update URL: one request, or the IPv4 address's and the IPv6
// address's in turn, and the verdict on their answers; for a Service URL of
// no row, the update template and the verdict as it always was.
class UpdateUrlRequests final : public ProviderExchange {
public:
    UpdateUrlRequests(const Provider* provider, UpdateFields fields)
        : m_provider(provider), m_fields(std::move(fields)),
          m_requests(provider ? updateRequests(*provider, m_fields) : QList{templateRequest(m_fields)})
    {}

    ProviderRequest first() override { return m_requests.first(); }

    std::variant<ProviderRequest, AnswerJudgement> next(const LoadedPage& answer,
                                                        const Redactor& shown) override
    {
        if (!m_provider)
            return judgeAnswer(answer);
        const AnswerJudgement verdict =
            judgeAnswer(*m_provider, answer, Judging{m_fields.wanAddress, shown});
        const bool last = m_sent + 1 == m_requests.size();
        if (verdict.outcome == UpdateOutcome::Accepted && !last)
            return m_requests[++m_sent];
        if (verdict.outcome == UpdateOutcome::Accepted || m_requests.size() == 1)
            return verdict;
        return last ? ipv6Refused(verdict, m_fields.wanAddress) : ipv4Refused(verdict);
    }

private:
    const Provider* m_provider;
    UpdateFields m_fields;
    QList<ProviderRequest> m_requests;
    qsizetype m_sent = 0;
};

} // namespace

std::unique_ptr<ProviderExchange> exchangeFor(const UpdateFields& fields)
{
    const Provider* provider = providerFor(fields.service);
    switch (provider ? provider->protocol : UpdateProtocol::UpdateUrl) {
    case UpdateProtocol::Cloudflare:
        return cloudflareExchange(fields);
    case UpdateProtocol::Porkbun:
        return porkbunExchange(fields);
    case UpdateProtocol::Gandi:
        return gandiExchange(fields);
    case UpdateProtocol::GoDaddy:
        return godaddyExchange(fields);
    case UpdateProtocol::UpdateUrl:
    case UpdateProtocol::Closed:
        break;
    }
    return std::make_unique<UpdateUrlRequests>(provider, fields);
}

} // namespace parlowen
