#pragma once
// Judging the provider's answer to an update.

#include "check/loadedpage.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace parlowen {

enum class UpdateOutcome { Accepted, NotAccepted };

// Whether a browser status text is the one it shows when a page has finished
// loading: exactly "Done", in that letter case and without spaces.
bool isPageDoneStatus(const QString& statusText);

// Whether a finished document is the provider's answer: its address holds
// the service URL, in any letter case. A blank service URL would be found in
// every address, the empty page included, so it matches none.
bool isServiceAnswer(const QString& documentUrl, const QString& serviceUrl);

struct AnswerJudgement {
    UpdateOutcome outcome = UpdateOutcome::NotAccepted;
    // Why the update was not accepted, as a sentence the window and the
    // command both show; empty when it was accepted.
    QString reason;
};

// Accepted when the answer says "updated successfully" anywhere, in any
// letter case, or when its first word is one of the dyndns2 codes "good" or
// "nochg". Codes count as whole words only: "goodbye" is no acceptance.
// Otherwise the reason names, in this order, a load that failed, a refusal
// code and its meaning, an error page's HTTP status, or an answer that just
// does not say yes.
AnswerJudgement judgeAnswer(const LoadedPage& answer);

// The verdict a dyndns2 return code at the start of an answer stands for;
// nothing when the answer starts with none.
std::optional<AnswerJudgement> dyndns2Code(QStringView text);

// The reason when the service URL is blank: the address had nowhere to go.
QString noServiceUrlReason();

// "The IP has been received" or "Error in sending IP".
QString outcomeMessage(UpdateOutcome outcome);

} // namespace parlowen
