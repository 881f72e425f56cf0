// Judging the provider's answer to an update.
#include "check/outcome.h"

#include "check/fieldproblem.h"

#include <array>

namespace parlowen {

namespace {

struct ReturnCode {
    QStringView code;
    QStringView meaning; // empty for the codes that accept
    QStringView advice;  // what the user can do about it
};

// The dyndns2 return codes most providers answer with, beside the phrase the
// window was first written for.
constexpr std::array<ReturnCode, 9> ReturnCodes{{
    {u"good", {}, {}},
    {u"nochg", {}, {}},
    {u"badauth", u"wrong user name or password", u"Check both under Service details."},
    {u"nohost", u"the host name is not in this account", u"Check the host name under Service details."},
    {u"notfqdn", u"the host name is not a full domain name",
     u"Give the whole name, such as myhost.example.net."},
    {u"abuse", u"the host name is blocked for too many updates",
     u"Unblock it on the provider's web site; until then every update is refused."},
    {u"badagent", u"the provider does not accept this program's requests",
     u"Ask the provider which update clients it accepts."},
    {u"dnserr", u"a DNS error on the provider's side", u"Try again later."},
    {u"911", u"the provider has a problem", u"Wait at least half an hour before trying again."},
}};

// The leading run of letters and digits, after any white space: "good" in
// "good 203.0.113.7" and in "good:", but "goodbye" in "goodbye".
QStringView firstWord(QStringView text)
{
    text = text.trimmed();
    qsizetype end = 0;
    while (end < text.size() && text[end].isLetterOrNumber())
        ++end;
    return text.first(end);
}

} // namespace

bool isPageDoneStatus(const QString& statusText)
{
    return statusText == QLatin1String("Done");
}

bool isServiceAnswer(const QString& documentUrl, const QString& serviceUrl)
{
    if (serviceUrl.trimmed().isEmpty())
        return false;
    return documentUrl.contains(serviceUrl, Qt::CaseInsensitive);
}

AnswerJudgement judgeAnswer(const LoadedPage& answer)
{
    if (!answer.loadErrorWords.isEmpty()) {
        return {UpdateOutcome::NotAccepted,
                QStringLiteral("The provider's answer did not arrive. %1").arg(answer.loadErrorWords)};
    }
    if (answer.text.contains(QStringLiteral("updated successfully"), Qt::CaseInsensitive))
        return {UpdateOutcome::Accepted, {}};
    const QStringView word = firstWord(answer.text);
    for (const ReturnCode& code : ReturnCodes) {
        if (word.compare(code.code, Qt::CaseInsensitive) != 0)
            continue;
        if (code.meaning.isEmpty())
            return {UpdateOutcome::Accepted, {}};
        return {UpdateOutcome::NotAccepted, QStringLiteral("The provider refused the update: %1 (%2). %3")
                                                .arg(code.code, code.meaning, code.advice)};
    }
    if (answer.httpStatus < 200 || answer.httpStatus > 299) {
        return {UpdateOutcome::NotAccepted,
                QStringLiteral("The provider answered with an error page (HTTP %1). Check the service URL "
                               "under Service details.")
                    .arg(answer.httpStatus)};
    }
    return {UpdateOutcome::NotAccepted,
            QStringLiteral("The provider's answer does not say that the update was accepted. To read the "
                           "whole answer, run parlowen-check in a terminal.")};
}

QString noServiceUrlReason()
{
    return QStringLiteral("The service URL %1. Enter your provider's update address under Service details.")
        .arg(toString(FieldProblem::ServiceUrlEmpty));
}

QString outcomeMessage(UpdateOutcome outcome)
{
    return outcome == UpdateOutcome::Accepted ? QStringLiteral("The IP has been received")
                                              : QStringLiteral("Error in sending IP");
}

} // namespace parlowen
