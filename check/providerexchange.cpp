// Which requests an update takes, by the Service URL's provider.
#include "check/providerexchange.h"

#include "check/answerdialects.h"
#include "check/apiexchange.h"
#include "check/providers.h"
#include "check/updaterequest.h"

namespace parlowen {

namespace {

// An update URL: one request, and the verdict on its answer; for a Service
// URL of no row, the update template and the verdict as it always was.
class SingleRequest final : public ProviderExchange {
public:
    SingleRequest(const Provider* provider, UpdateFields fields)
        : m_provider(provider), m_fields(std::move(fields))
    {}

    ProviderRequest first() override
    {
        return m_provider ? updateRequest(*m_provider, m_fields) : templateRequest(m_fields);
    }

    std::variant<ProviderRequest, AnswerJudgement> next(const LoadedPage& answer,
                                                        const Redactor& shown) override
    {
        if (!m_provider)
            return judgeAnswer(answer);
        return judgeAnswer(*m_provider, answer, Judging{m_fields.wanAddress, shown});
    }

private:
    const Provider* m_provider;
    UpdateFields m_fields;
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
    return std::make_unique<SingleRequest>(provider, fields);
}

} // namespace parlowen
