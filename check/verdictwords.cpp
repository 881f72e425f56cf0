// The sentences of a verdict on a provider's answer.
#include "check/verdictwords.h"

#include "check/excerpt.h"

namespace parlowen {

AnswerJudgement accepted()
{
    return {UpdateOutcome::Accepted, {}};
}

AnswerJudgement notArrived(const QString& loadErrorWords)
{
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The provider's answer did not arrive. %1").arg(loadErrorWords)};
}

AnswerJudgement refusedWith(QStringView code, QStringView meaning, QStringView advice)
{
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The provider refused the update: %1 (%2). %3").arg(code, meaning, advice)};
}

AnswerJudgement refusedSaying(const QString& words, const Judging& judging, QStringView advice)
{
    // Masked before it is cut short, so that no part of a password stands.
    QString said = answerExcerpt(judging.shown(words));
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The provider refused the update, saying %1. %2").arg(said, advice)};
}

AnswerJudgement signInRefused(int status)
{
    return {
        UpdateOutcome::NotAccepted,
        QStringLiteral("The provider refused the user name or password (HTTP %1). Check both under Service "
                       "details, as your provider's page for update clients names them.")
            .arg(status)};
}

AnswerJudgement errorPage(int status)
{
    // Statuses that say what to do, unlike an error page's own.
    if (status == 429) {
        return {UpdateOutcome::NotAccepted,
                QStringLiteral("The provider refused the update for now: too many requests in a short time "
                               "(HTTP 429). Wait a while before trying again, and check less often.")};
    }
    if (status == 503) {
        return {UpdateOutcome::NotAccepted,
                QStringLiteral("The provider is busy or out of service (HTTP 503). Try again later.")};
    }
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The provider answered with an error page (HTTP %1). Check the service URL under "
                           "Service details.")
                .arg(status)};
}

AnswerJudgement unclearAnswer()
{
    return {
        UpdateOutcome::NotAccepted,
        QStringLiteral("The provider's answer does not say that the update was accepted. To read the whole "
                       "answer, run parlowen-check in a terminal.")};
}

AnswerJudgement ipv4Refused(const AnswerJudgement& refusal)
{
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The IPv4 address was not accepted, so the IPv6 address was not sent and the "
                           "AAAA record is as it was. %1")
                .arg(refusal.reason)};
}

AnswerJudgement ipv6Refused(const AnswerJudgement& refusal, const QString& ipv4Address)
{
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The A record now holds %1, but the IPv6 address was not accepted. %2")
                .arg(ipv4Address, refusal.reason)};
}

} // namespace parlowen
