#pragma once
// The sentences of a verdict on a provider's answer, shared by every
// dialect: each names what happened and what the user can do about it.

#include "check/outcome.h"
#include "check/redaction.h"

#include <QString>
#include <QStringView>

namespace parlowen {

// What a judge knows beside the answer: the IPv4 address that was sent
// (empty with IPv6 alone), and the masker that quoting the provider's own
// words goes through.
struct Judging {
    QString address;
    const Redactor& shown;
};

AnswerJudgement accepted();
AnswerJudgement notArrived(const QString& loadErrorWords);
// "The provider refused the update: badauth (wrong user name or password). Check both ..."
AnswerJudgement refusedWith(QStringView code, QStringView meaning, QStringView advice);
// The provider's own words, quoted and masked, then what to do.
AnswerJudgement refusedSaying(const QString& words, const Judging& judging, QStringView advice);
// A 401 or 403 to an account sent with the request.
AnswerJudgement signInRefused(int status);
AnswerJudgement errorPage(int status);
AnswerJudgement unclearAnswer();
// A refusal of the IPv4 address of an update that had the IPv6 address to
// send next: it was not sent.
AnswerJudgement ipv4Refused(const AnswerJudgement& refusal);
// A refusal of the IPv6 address after the A record took ipv4Address.
AnswerJudgement ipv6Refused(const AnswerJudgement& refusal, const QString& ipv4Address);

} // namespace parlowen
