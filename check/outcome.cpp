// Judging the provider's answer to an update.
#include "check/outcome.h"

#include "check/fieldproblem.h"
#include "check/verdictwords.h"

#include <array>

namespace parlowen {

namespace {

struct ReturnCode {
    QStringView code;
    QStringView meaning; // empty for the codes that accept
    QStringView advice;  // what the user can do about it
};

// The dyndns2 return codes, as the providers that answer with them document
// them, beside the phrase the window was first written for.
constexpr std::array<ReturnCode, 17> ReturnCodes{{
    {u"good", {}, {}},
    {u"nochg", {}, {}},
    {u"badauth", u"wrong user name or password", u"Check both under Service details."},
    {u"nohost", u"the host name is not in this account", u"Check the host name under Service details."},
    {u"!yours", u"the host name is not in this account",
     u"Check the host name and the user name under Service "
     u"details."},
    {u"!active", u"the host name is turned off", u"Turn it on again on the provider's web site."},
    {u"fatal", u"the host name was turned off by hand", u"Turn it on again on the provider's web site."},
    {u"notfqdn", u"the host name is not a full domain name",
     u"Give the whole name, such as myhost.example.net."},
    {u"numhost", u"too many host names, or a name shared by several addresses",
     u"Give one host name of your own under Service details."},
    {u"!donator", u"an option that only paying accounts may use",
     u"Ask the provider which option of the request it refused."},
    {u"abuse", u"the host name is blocked for too many updates",
     u"Unblock it on the provider's web site; until then every update is refused."},
    {u"interval", u"too many updates in a short time", u"Wait a few minutes before trying again."},
    {u"badagent", u"the provider does not accept this program's requests",
     u"Ask the provider which update clients it accepts."},
    {u"badsys", u"the provider does not take this kind of update",
     u"Check the service URL under Service details."},
    {u"badrequest", u"the provider could not read the update",
     u"Check the service URL and the host name under Service details."},
    {u"dnserr", u"a DNS error on the provider's side", u"Try again later."},
    {u"911", u"the provider has a problem", u"Wait at least half an hour before trying again."},
}};

// The leading run of letters and digits, after any white space and a "!"
// that some codes begin with: "good" in "good 203.0.113.7" and in "good:",
// but "goodbye" in "goodbye".
QStringView firstWord(QStringView text)
{
    text = text.trimmed();
    qsizetype end = text.startsWith(u'!') ? 1 : 0;
    while (end < text.size() && text[end].isLetterOrNumber())
        ++end;
    return text.first(end);
}

} // namespace

std::optional<AnswerJudgement> dyndns2Code(QStringView text)
{
    const QStringView word = firstWord(text);
    for (const ReturnCode& code : ReturnCodes) {
        if (word.compare(code.code, Qt::CaseInsensitive) != 0)
            continue;
        if (code.meaning.isEmpty())
            return accepted();
        return refusedWith(code.code, code.meaning, code.advice);
    }
    return std::nullopt;
}

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
    if (!answer.loadErrorWords.isEmpty())
        return notArrived(answer.loadErrorWords);
    if (answer.text.contains(QStringLiteral("updated successfully"), Qt::CaseInsensitive))
        return accepted();
    if (const std::optional<AnswerJudgement> code = dyndns2Code(answer.text))
        return *code;
    if (answer.httpStatus < 200 || answer.httpStatus > 299)
        return errorPage(answer.httpStatus);
    return unclearAnswer();
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
