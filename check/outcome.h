#pragma once
// Judging the provider's answer to an update.

#include <QString>

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
    // A refusal the provider named with a dyndns2 code, in the user's words:
    // "badauth (wrong user name or password)". Empty otherwise.
    QString refusal;
};

// Accepted when the answer says "updated successfully" anywhere, in any
// letter case, or when its first word is one of the dyndns2 codes "good" or
// "nochg". Codes count as whole words only: "goodbye" is no acceptance.
AnswerJudgement judgeAnswer(const QString& pageText);

// "The IP has been received" or "Error in sending IP".
QString outcomeMessage(UpdateOutcome outcome);

} // namespace parlowen
