#pragma once
// The verdict on a known provider's answer, read in the words that provider
// answers with: an "OK", an XML document, an empty 204, a line of its own.

#include "check/loadedpage.h"
#include "check/outcome.h"
#include "check/providers.h"
#include "check/verdictwords.h"

namespace parlowen {

// For a row of UpdateProtocol::UpdateUrl. The answer to an account sent
// with the request is judged as the provider's, whatever its status.
AnswerJudgement judgeAnswer(const Provider& provider, const LoadedPage& answer, const Judging& judging);

} // namespace parlowen
