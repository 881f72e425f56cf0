// Judging the provider's answer to an update.
#include "check/outcome.h"

#include <array>

namespace parlowen {

namespace {

struct ReturnCode {
    QStringView code;
    QStringView meaning; // empty for the codes that accept
};

// The dyndns2 return codes most providers answer with, beside the phrase the
// window was first written for.
constexpr std::array<ReturnCode, 9> ReturnCodes{{
    {u"good", {}},
    {u"nochg", {}},
    {u"badauth", u"wrong user name or password"},
    {u"nohost", u"the host name is not in this account"},
    {u"notfqdn", u"the host name is not a full domain name"},
    {u"abuse", u"the host name is blocked for too many updates"},
    {u"badagent", u"the provider does not accept this program's requests"},
    {u"dnserr", u"a DNS error on the provider's side"},
    {u"911", u"the provider has a problem; wait at least half an hour before trying again"},
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

AnswerJudgement judgeAnswer(const QString& pageText)
{
    if (pageText.contains(QStringLiteral("updated successfully"), Qt::CaseInsensitive))
        return {UpdateOutcome::Accepted, {}};
    const QStringView word = firstWord(pageText);
    for (const ReturnCode& code : ReturnCodes) {
        if (word.compare(code.code, Qt::CaseInsensitive) != 0)
            continue;
        if (code.meaning.isEmpty())
            return {UpdateOutcome::Accepted, {}};
        return {UpdateOutcome::NotAccepted, QStringLiteral("%1 (%2)").arg(code.code, code.meaning)};
    }
    return {};
}

QString outcomeMessage(UpdateOutcome outcome)
{
    return outcome == UpdateOutcome::Accepted ? QStringLiteral("The IP has been received")
                                              : QStringLiteral("Error in sending IP");
}

} // namespace parlowen
