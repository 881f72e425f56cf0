// One check without a window, reported a line a step.
#include "cli/commandlinecheck.h"

#include "check/addressscope.h"
#include "check/outcome.h"
#include "check/routerpage.h"
#include "check/routerurl.h"
#include "check/updateurl.h"
#include "check/upnpanswer.h"
#include "check/wanaddress.h"
#include "settings/laststate.h"
#include "web/loaderror.h"

#include <QUrl>

#include <algorithm>
#include <chrono>

namespace parlowen::cli {

namespace {
const QString LineBreak = QStringLiteral("\r\n");

// The first line of the provider's answer that says something, short
// enough for a log line: "good 203.0.113.7", "badauth", "nochg".
QString answerExcerpt(const QString& text)
{
    constexpr qsizetype MaxLength = 160;
    for (const QString& line : text.split(LineBreak)) {
        const QString simplified = line.simplified();
        if (simplified.isEmpty())
            continue;
        if (simplified.size() > MaxLength)
            return quoted(simplified.left(MaxLength)) + QStringLiteral("...");
        return quoted(simplified);
    }
    return QStringLiteral("an empty page");
}

QString statusText(const HtmlDocument& page)
{
    return QStringLiteral("HTTP %1").arg(page.httpStatus());
}

qint64 daysBetween(const QDateTime& from, const QDateTime& to)
{
    return from.secsTo(to) / (24 * 60 * 60);
}
} // namespace

void Console::warning(const QString& words)
{
    write(m_err, Priority::Warning, QStringLiteral("Warning: ") + words);
}

void Console::write(QTextStream& stream, Priority priority, const QString& line)
{
    // Where the stream is the journal, the line's priority goes with it.
    if (auto* journal = dynamic_cast<JournalLines*>(stream.device()))
        journal->setPriority(priority);
    stream << line << '\n';
    stream.flush();
}

void Console::raw(const QString& text)
{
    // In slices: given a large page's text whole, the stream would first
    // copy all of it into its buffer, then encode all of it at once.
    constexpr qsizetype kSlice = 64 * 1024;
    const QString shown = m_redactor(text);
    for (qsizetype at = 0; at < shown.size();) {
        qsizetype length = std::min(kSlice, shown.size() - at);
        if (at + length < shown.size() && shown.at(at + length - 1).isHighSurrogate())
            --length;
        m_out << QStringView(shown).sliced(at, length);
        at += length;
    }
    m_out.flush();
}

QString quoted(const QString& text)
{
    QString shown = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'\r')
            shown += QStringLiteral("\\r");
        else if (c == u'\n')
            shown += QStringLiteral("\\n");
        else if (c == u'\t')
            shown += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown + u'"';
}

namespace {
LoadedPage loadedPage(const HtmlDocument& page)
{
    return {page.httpStatus(), page.loadErrorWords(), page.body().innerText()};
}
} // namespace

std::optional<QString> reasonForNoAddress(const HtmlDocument& page)
{
    return whyNoAddress(loadedPage(page));
}

CommandLineCheck::CommandLineCheck(CheckSettings settings, CheckOptions options, Console& console,
                                   const CommandEnvironment& environment, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_options(std::move(options)), m_console(console),
      m_environment(environment), m_upnp(m_environment.upnpHelper)
{
    m_browser.setLimits(m_environment.limits);
    connect(&m_browser, &BrowserEngine::DocumentComplete, this, &CommandLineCheck::PageCompleted);
    connect(&m_upnp, &GatewayQuery::answered, this, &CommandLineCheck::upnpAnswered);
}

void CommandLineCheck::start()
{
    const QString url = routerLogUrl(m_settings.routerPassword, m_settings.routerAddress);
    m_console.step(QStringLiteral("Router page: loading %1").arg(m_console.shownUrl(url)));
    m_stage = Stage::RouterPage;
    m_browser.Navigate(url);
}

void CommandLineCheck::PageCompleted(const QString& url)
{
    // Each stage waits for its own page: an update address that happens to
    // hold "syslog", or a router address that holds the service URL, must
    // not be taken for the other page.
    if (m_stage == Stage::RouterPage && isRouterLogUrl(url))
        routerPageCompleted();
    else if (m_stage == Stage::Answer && url == m_updateUrl && isServiceAnswer(url, m_settings.serviceUrl))
        answerCompleted();
}

void CommandLineCheck::routerPageCompleted()
{
    const HtmlDocument& page = m_browser.Document();
    if (page.loadError() != LoadError::None) {
        m_console.failure(QStringLiteral("Router page: not loaded: %1").arg(toString(page.loadError())));
        return finish(ExitNoAddress, noAddressMessage(reasonForNoAddress(page).value_or(QString())));
    }
    m_console.step(QStringLiteral("Router page: loaded (%1)").arg(statusText(page)));
    const std::optional<QString> address = extractWanAddress(page.body().innerText());
    if (address) {
        m_console.step(QStringLiteral("WAN address: %1").arg(quoted(m_console.shown(*address))));
        return sendAddress(*address);
    }
    m_noAddressReason = reasonForNoAddress(page).value_or(QString());
    if (!m_settings.askUpnp || !mayAskUpnp(loadedPage(page)))
        return finishWithoutAddress();
    const QString router = QUrl(page.url()).host();
    m_console.step(QStringLiteral("WAN address: none in the log; asking the router's UPnP service at %1")
                       .arg(m_console.shown(router)));
    m_stage = Stage::Upnp;
    m_upnp.start(router);
}

void CommandLineCheck::upnpAnswered(const UpnpAnswer& answer)
{
    if (m_stage != Stage::Upnp)
        return;
    if (!answer) {
        m_console.failure(QStringLiteral("UPnP: no address: %1").arg(answer.failure().message()));
        return finishWithoutAddress();
    }
    m_console.step(QStringLiteral("UPnP: WAN address %1").arg(quoted(m_console.shown(answer.value()))));
    sendAddress(answer.value());
}

void CommandLineCheck::finishWithoutAddress()
{
    m_console.failure(QStringLiteral("WAN address: none: %1").arg(m_noAddressReason));
    finish(ExitNoAddress, noAddressMessage(m_noAddressReason));
}

void CommandLineCheck::sendAddress(const QString& address)
{
    m_address = address;
    if (const std::optional<QString> warning = addressWarning(m_address, m_console.shown(m_address)))
        m_console.warning(*warning);

    if (m_options.ifChanged && unchangedSinceLastAcceptance(m_address)) {
        m_console.result(QStringLiteral("The IP is unchanged; nothing was sent"));
        return finish(ExitAccepted);
    }

    m_updateUrl = buildUpdateUrl(
        {m_settings.serviceUrl, m_settings.userName, m_settings.servicePassword, m_settings.host, m_address});
    if (m_options.dryRun) {
        m_console.step(QStringLiteral("Update: not sent (dry run)"));
        m_console.result(m_console.shownUrl(m_updateUrl));
        return finish(ExitAccepted);
    }
    m_console.step(QStringLiteral("Update: sending %1").arg(m_console.shownUrl(m_updateUrl)));
    m_stage = Stage::Answer;
    m_browser.Navigate2(m_updateUrl);
}

void CommandLineCheck::answerCompleted()
{
    const HtmlDocument& answer = m_browser.Document();
    const bool arrived = answer.loadError() == LoadError::None;
    if (arrived) {
        // Masked before it is cut short or its white space collapsed, so that
        // neither can leave part of a password standing.
        const QString masked = m_console.shown(answer.body().innerText());
        m_console.step(QStringLiteral("Answer: %1: %2").arg(statusText(answer), answerExcerpt(masked)));
    }
    // An error page is judged like any other answer, as the window does:
    // it never says "updated successfully".
    const AnswerJudgement judgement =
        judgeAnswer({answer.httpStatus(), answer.loadErrorWords(), answer.body().innerText()});
    if (!judgement.reason.isEmpty())
        m_console.failure(QStringLiteral("Reason: %1").arg(judgement.reason));
    const UpdateOutcome outcome = judgement.outcome;
    m_console.result(outcomeMessage(outcome),
                     outcome == UpdateOutcome::Accepted ? Priority::Info : Priority::Error);
    if (outcome == UpdateOutcome::Accepted && m_options.ifChanged)
        rememberAcceptance(m_address);
    if (outcome == UpdateOutcome::Accepted)
        return finish(ExitAccepted);
    finish(ExitNotAccepted, judgement.reason.isEmpty() ? outcomeMessage(outcome) : judgement.reason);
}

bool CommandLineCheck::unchangedSinceLastAcceptance(const QString& address)
{
    const auto read = readLastAcceptance(m_options.statePath);
    if (!read || !read.value()) {
        m_console.step(read ? QStringLiteral("Last update: none remembered; sending")
                            : QStringLiteral("Last update: %1; sending").arg(read.failure().message()));
        return false;
    }
    const LastAcceptance& last = *read.value();
    const QDateTime now = m_environment.now().toUTC();
    const QString when = last.acceptedAt.toString(Qt::ISODate);
    if (last.target != updateTarget(m_settings.serviceUrl, m_settings.userName, m_settings.host)) {
        m_console.step(QStringLiteral("Last update: made with another service URL, user name or host; "
                                      "sending"));
        return false;
    }
    if (last.address != address) {
        m_console.step(QStringLiteral("Last update: %1 was accepted at %2; the address has changed; sending")
                           .arg(quoted(m_console.shown(last.address)), when));
        return false;
    }
    // A time in the future means the clock was wrong then or is now; the
    // safe side is to send.
    const qint64 age = last.acceptedAt.secsTo(now);
    const qint64 refreshAfter = std::chrono::duration_cast<std::chrono::seconds>(RefreshAfter).count();
    if (age < 0 || age >= refreshAfter) {
        m_console.step(QStringLiteral("Last update: the same address was accepted at %1, %2 days ago; "
                                      "sending again so that the provider keeps the name")
                           .arg(when)
                           .arg(daysBetween(last.acceptedAt, now)));
        return false;
    }
    m_console.step(QStringLiteral("Last update: the same address was accepted at %1; nothing sent until "
                                  "%2, so that the provider does not block repeated updates")
                       .arg(when, last.acceptedAt.addSecs(refreshAfter).toString(Qt::ISODate)));
    return true;
}

void CommandLineCheck::rememberAcceptance(const QString& address)
{
    const LastAcceptance last = acceptanceOf(address, m_environment.now(), m_settings.serviceUrl,
                                             m_settings.userName, m_settings.host);
    if (const auto written = writeLastAcceptance(m_options.statePath, m_options.settingsPath, last); !written)
        m_console.warning(notRememberedWarning(written.failure()));
}

void CommandLineCheck::finish(int exitCode, const QString& failureReason)
{
    m_stage = Stage::Done;
    m_failureReason = failureReason;
    emit finished(exitCode);
}

} // namespace parlowen::cli
