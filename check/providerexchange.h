#pragma once
// The requests one update takes, one after the other, and the verdict on
// their answers: one request for an update URL (two for a provider that
// takes one address family a request), a few for a JSON API.

#include "check/loadedpage.h"
#include "check/outcome.h"
#include "check/providerrequest.h"
#include "check/redaction.h"
#include "check/updateurl.h"

#include <memory>
#include <variant>

namespace parlowen {

class ProviderExchange {
public:
    virtual ~ProviderExchange() = default;
    virtual ProviderRequest first() = 0;
    // Given the answer to the last request: the next one, or the verdict.
    // Words the provider wrote are quoted through shown.
    virtual std::variant<ProviderRequest, AnswerJudgement> next(const LoadedPage& answer,
                                                                const Redactor& shown) = 0;
};

// The exchange the Service URL's provider takes; a Service URL of no row
// gets the update template. Not for a closed provider (FieldProblem).
std::unique_ptr<ProviderExchange> exchangeFor(const UpdateFields& fields);

} // namespace parlowen
