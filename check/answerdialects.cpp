// Each known provider's answers, in its own words.
#include "check/answerdialects.h"

#include <QRegularExpression>

namespace parlowen {

namespace {

bool isSuccessStatus(int status)
{
    return status >= 200 && status <= 299;
}

// What no dialect reads: a refused account, another error page, or words
// that say nothing of the update.
AnswerJudgement otherwise(const LoadedPage& answer)
{
    if (answer.httpStatus == 401 || answer.httpStatus == 403)
        return signInRefused(answer.httpStatus);
    if (!isSuccessStatus(answer.httpStatus))
        return errorPage(answer.httpStatus);
    return unclearAnswer();
}

AnswerJudgement dyndns2(const LoadedPage& answer, const Judging& judging)
{
    const QString text = answer.text.trimmed();
    // Dyn's way of saying that it ignored a request it took for a broken
    // client's, unless that was the address sent. It says so whichever
    // family was sent, and no IPv6 address is 127.0.0.1.
    if (text.startsWith(QLatin1String("good 127.0.0.1")) && judging.address != QLatin1String("127.0.0.1")) {
        return refusedWith(u"good 127.0.0.1", u"the provider ignored the update",
                           u"Ask the provider why it takes this program for a faulty client.");
    }
    if (const std::optional<AnswerJudgement> code = dyndns2Code(text))
        return *code;
    if (text.contains(QStringLiteral("updated successfully"), Qt::CaseInsensitive))
        return accepted();
    return otherwise(answer);
}

AnswerJudgement duckDns(const LoadedPage& answer)
{
    const QString first = answer.text.trimmed().section(QStringLiteral("\r\n"), 0, 0).trimmed();
    if (first == QLatin1String("OK"))
        return accepted();
    if (first == QLatin1String("KO")) {
        return refusedWith(u"KO", u"the token or the domain name is wrong",
                           u"Copy the token from your DuckDNS page under Password, and give the name under "
                           u"Hostname.");
    }
    return otherwise(answer);
}

AnswerJudgement freeDns(const LoadedPage& answer, const Judging& judging)
{
    const QString text = answer.text.trimmed();
    // "ERROR: Address ... has not changed." is the old update URL's way of
    // saying that nothing needed to change.
    if (text.startsWith(QLatin1String("Updated"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("No IP change detected"), Qt::CaseInsensitive) ||
        (text.startsWith(QLatin1String("ERROR: Address")) && text.contains(QLatin1String("has not changed"))))
        return accepted();
    if (answer.httpStatus == 404 || text.contains(QLatin1String("Unable to locate this record")) ||
        text.contains(QLatin1String("Invalid update URL"))) {
        return refusedSaying(text, judging,
                             u"The token in the service URL is not, or no longer, FreeDNS's: copy the update "
                             u"URL of the record again from FreeDNS's Dynamic DNS page.");
    }
    if (text.startsWith(QLatin1String("ERROR")))
        return refusedSaying(text, judging, u"Check the record on FreeDNS's Dynamic DNS page.");
    return otherwise(answer);
}

AnswerJudgement changeIp(const LoadedPage& answer)
{
    const QString text = answer.text.trimmed();
    if (text.contains(QLatin1String("Successful"), Qt::CaseInsensitive))
        return accepted();
    if (answer.httpStatus == 401 || text.startsWith(QLatin1String("401")))
        return refusedWith(u"401", u"wrong user name or password", u"Check both under Service details.");
    if (answer.httpStatus == 422 || text.startsWith(QLatin1String("422"))) {
        return refusedWith(u"422", u"the host name is not in this account",
                           u"Check the host name under Service details.");
    }
    if (answer.httpStatus == 402 || text.startsWith(QLatin1String("402"))) {
        return refusedWith(u"402", u"the name needs ChangeIP's paid service",
                           u"Choose a name of the free service, or the paid service on ChangeIP's web site.");
    }
    return otherwise(answer);
}

AnswerJudgement dynv6(const LoadedPage& answer)
{
    const QString text = answer.text.trimmed();
    if (text.startsWith(QLatin1String("addresses updated")) ||
        text.startsWith(QLatin1String("addresses unchanged")))
        return accepted();
    if (answer.httpStatus == 401 || answer.httpStatus == 403) {
        return refusedWith(QString::number(answer.httpStatus), u"the token is wrong",
                           u"Copy the zone's HTTP token from dynv6's page under Password.");
    }
    if (answer.httpStatus == 404) {
        return refusedWith(u"404", u"the host name is no zone of this token",
                           u"Give the zone's name under Hostname.");
    }
    return otherwise(answer);
}

// A tag's text in Namecheap's answer. The document calls itself UTF-16
// while its bytes are UTF-8, so it is read as text, not parsed as XML.
QString tagText(const QByteArray& body, QLatin1String tag)
{
    const QRegularExpression element(QStringLiteral("<%1>([^<]*)</%1>").arg(tag));
    return element.match(QString::fromUtf8(body)).captured(1).trimmed();
}

AnswerJudgement namecheap(const LoadedPage& answer, const Judging& judging)
{
    const QString errors = tagText(answer.body, QLatin1String("ErrCount"));
    if (errors == QLatin1String("0"))
        return accepted();
    const QString error = tagText(answer.body, QLatin1String("Err1"));
    if (errors.isEmpty() || error.isEmpty())
        return otherwise(answer);
    if (error.contains(QLatin1String("Passwords do not match"))) {
        return refusedSaying(
            error, judging,
            u"Copy the domain's Dynamic DNS password from its Advanced DNS page at Namecheap "
            u"under Password; it is not the account's password.");
    }
    if (error.contains(QLatin1String("Domain name not found"))) {
        return refusedSaying(error, judging,
                             u"Give the domain itself, such as example.com, under User Name, and the whole "
                             u"name under Hostname.");
    }
    if (error.contains(QLatin1String("A record not Found"))) {
        return refusedSaying(error, judging,
                             u"Add an \"A + Dynamic DNS Record\" for the name on the domain's Advanced DNS "
                             u"page first.");
    }
    return refusedSaying(error, judging, u"Check the domain's Dynamic DNS settings at Namecheap.");
}

struct StatusWords {
    int status;
    QStringView meaning;
    QStringView advice;
};

// selfHOST tells its verdict by the status alone.
constexpr StatusWords SelfHostStatuses[] = {
    {401, u"wrong user name or password, or a closed account",
     u"Check the DynDNS account's name and password under Service details; they are not the customer "
     u"login."},
    {409, u"no name belongs to this DynDNS account", u"Give the account a name on selfHOST's pages."},
    {410, u"the account is not active", u"Make it active again on selfHOST's pages."},
    {411, u"the address is not one", u"Check the address the router reports."},
    {412, u"the address is a private one",
     u"The router sits behind another router; only a public address "
     u"can be updated."},
    {503, u"too many updates, or the service is busy", u"Wait a while before trying again."},
};

AnswerJudgement selfHost(const LoadedPage& answer, const Judging& judging)
{
    if (answer.httpStatus == 204)
        return accepted();
    for (const StatusWords& words : SelfHostStatuses) {
        if (answer.httpStatus == words.status)
            return refusedWith(QString::number(words.status), words.meaning, words.advice);
    }
    return dyndns2(answer, judging);
}

} // namespace

AnswerJudgement judgeAnswer(const Provider& provider, const LoadedPage& answer, const Judging& judging)
{
    if (!answer.loadErrorWords.isEmpty())
        return notArrived(answer.loadErrorWords);
    switch (provider.dialect) {
    case AnswerDialect::Dyndns2:
    case AnswerDialect::JsonApi:
        return dyndns2(answer, judging);
    case AnswerDialect::DuckDns:
        return duckDns(answer);
    case AnswerDialect::FreeDns:
        return freeDns(answer, judging);
    case AnswerDialect::ChangeIp:
        return changeIp(answer);
    case AnswerDialect::Dynv6:
        return dynv6(answer);
    case AnswerDialect::Namecheap:
        return namecheap(answer, judging);
    case AnswerDialect::SelfHost:
        return selfHost(answer, judging);
    }
    return otherwise(answer);
}

} // namespace parlowen
