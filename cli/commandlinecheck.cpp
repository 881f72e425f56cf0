// One check without a window, reported a line a step.
#include "cli/commandlinecheck.h"

#include "check/excerpt.h"
#include "check/routerpage.h"
#include "cli/ifchanged.h"
#include "settings/laststate.h"

#include <algorithm>
#include <chrono>

namespace parlowen::cli {

namespace {
qint64 daysBetween(const QDateTime& from, const QDateTime& to)
{
    return from.secsTo(to) / (24 * 60 * 60);
}

// Which of the two addresses differs from the record's, in words; nothing
// when neither does. An address sent where the record has none, or none
// where it has one, is a change too.
std::optional<QString> changedAddress(const LastAcceptance& last, const SentAddresses& sent,
                                      const Console& console)
{
    const bool ipv4 = last.address != sent.ipv4;
    const bool ipv6 = last.ipv6Address != sent.ipv6;
    if (ipv4 && ipv6)
        return QStringLiteral("both addresses have changed");
    if (ipv4)
        return QStringLiteral("the address has changed");
    if (ipv6) {
        return sent.ipv6.isEmpty() ? QStringLiteral("no IPv6 address goes with it now")
                                   : QStringLiteral("the IPv6 address is now %1").arg(console.shown(sent.ipv6));
    }
    return std::nullopt;
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

std::optional<QString> reasonForNoAddress(const HtmlDocument& page)
{
    return whyNoAddress(loadedPage(page, LoadPeer::Router));
}

CommandLineCheck::CommandLineCheck(CheckSettings settings, CheckOptions options, Console& console,
                                   const CommandEnvironment& environment, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_options(std::move(options)), m_console(console),
      m_environment(environment), m_check(m_browser, m_environment.upnpHelper)
{
    m_browser.setLimits(m_environment.limits);
    connect(&m_browser, &BrowserEngine::DocumentComplete, &m_check, &CheckRun::PageCompleted);
    connect(&m_browser, &BrowserEngine::StatusTextChange, &m_check, &CheckRun::StatusTextChanged);
    connect(&m_check, &CheckRun::stepTaken, this, &CommandLineCheck::showStep);
    connect(&m_check, &CheckRun::addressFound, this, &CommandLineCheck::addressFound);
    connect(&m_check, &CheckRun::finished, this, &CommandLineCheck::checkFinished);
    connect(&m_check, &CheckRun::gatewayAnswered, this, &CommandLineCheck::rememberGatewayOf);
}

void CommandLineCheck::start()
{
    if (const auto last = readLastAcceptance(m_options.statePath); last && last.value()) {
        m_settings.rememberedGateway = {last.value()->gatewayControlUrl, last.value()->gatewayServiceType};
        m_settings.acceptedIpv6 = last.value()->ipv6Address;
    }
    m_check.start(m_settings);
}

void CommandLineCheck::rememberGatewayOf(const GatewayControl& gateway)
{
    const auto written = rememberGateway(m_options.statePath, m_options.settingsPath, gateway.controlUrl,
                                         gateway.serviceType, m_stateLock ? &*m_stateLock : nullptr);
    if (!written)
        m_console.step(QStringLiteral("UPnP: the gateway is not remembered for next time: %1")
                           .arg(written.failure().message()));
}

void CommandLineCheck::showStep(const CheckStep& step)
{
    switch (step.kind) {
    case CheckStep::Kind::Progress:
        return m_console.step(step.line);
    case CheckStep::Kind::Warning:
        return m_console.warning(step.line);
    case CheckStep::Kind::Failure:
        return m_console.failure(step.line);
    }
}

void CommandLineCheck::addressFound()
{
    const SentAddresses sent{m_check.ipv4Address(), m_check.ipv6Address()};
    if (m_options.ifChanged && !holdStateRecord()) {
        m_check.cancel();
        return finish(ExitNotAccepted, heldTooLongReason());
    }
    if (m_options.ifChanged && unchangedSinceLastAcceptance(sent)) {
        m_check.cancel();
        m_console.result(QStringLiteral("The IP is unchanged; nothing was sent"));
        return finish(ExitAccepted);
    }
    if (m_options.dryRun) {
        m_check.cancel();
        m_console.step(QStringLiteral("Update: not sent (dry run)"));
        m_console.result(m_console.shownUrl(m_check.updateUrl()));
        return finish(ExitAccepted);
    }
    m_check.sendUpdate();
}

void CommandLineCheck::checkFinished(const CheckVerdict& verdict)
{
    switch (verdict.kind) {
    case CheckVerdict::Kind::NoAddress:
        return finish(ExitNoAddress, verdict.message);
    case CheckVerdict::Kind::NotAccepted:
        m_console.result(verdict.message, Priority::Error);
        return finish(ExitNotAccepted, verdict.reason.isEmpty() ? verdict.message : verdict.reason);
    case CheckVerdict::Kind::Accepted:
        m_console.result(verdict.message);
        if (m_options.ifChanged)
            rememberAcceptance({verdict.sentIpv4, verdict.sentIpv6});
        return finish(ExitAccepted);
    }
}

bool CommandLineCheck::unchangedSinceLastAcceptance(const SentAddresses& sent)
{
    const auto read = readLastAcceptance(m_options.statePath);
    if (!read || !read.value() || !read.value()->hasAcceptance()) {
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
    if (const std::optional<QString> changed = changedAddress(last, sent, m_console)) {
        m_console.step(QStringLiteral("Last update: %1 was accepted at %2; %3; sending")
                           .arg(quoted(m_console.shown(last.address.isEmpty() ? last.ipv6Address : last.address)),
                                when, *changed));
        return false;
    }
    // A time in the future says nothing of when the last update was: the
    // safe side is to send, which writes a sound record.
    const qint64 age = last.acceptedAt.secsTo(now);
    if (age < 0) {
        m_console.step(QStringLiteral("Last update: the record's date, %1, lies in the future: the clock was "
                                      "changed or the file edited; sending, and recording it anew")
                           .arg(when));
        return false;
    }
    const qint64 refreshAfter = std::chrono::duration_cast<std::chrono::seconds>(RefreshAfter).count();
    if (age >= refreshAfter) {
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

bool CommandLineCheck::holdStateRecord()
{
    const auto patience = stateRecordPatience(m_environment.limits);
    auto lock = [&] {
        auto atOnce = StateRecordLock::take(m_options.statePath, std::chrono::milliseconds{0});
        if (atOnce || atOnce.error() != StateFileError::Busy)
            return atOnce;
        m_console.step(QStringLiteral("Last update: another check is sending an update; waiting for its "
                                      "record, %1 s at most")
                           .arg(std::chrono::duration_cast<std::chrono::seconds>(patience).count()));
        // The command has nothing else to do meanwhile: the router has
        // answered, and nothing is sent yet.
        return StateRecordLock::take(m_options.statePath, patience);
    }();
    if (lock) {
        m_stateLock.emplace(std::move(lock).value());
        return true;
    }
    if (lock.error() != StateFileError::Busy) {
        // No folder to lock, or no locks on its file system: the record's
        // own save says what is wrong, as it did before there was a lock.
        return true;
    }
    m_console.failure(heldTooLongFailure(m_options.statePath, patience));
    return false;
}

void CommandLineCheck::rememberAcceptance(const SentAddresses& sent)
{
    const LastAcceptance last = acceptanceOf(sent, m_environment.now(), m_settings.serviceUrl,
                                             m_settings.userName, m_settings.host);
    if (const auto written = writeLastAcceptance(m_options.statePath, m_options.settingsPath, last,
                                                 m_stateLock ? &*m_stateLock : nullptr);
        !written)
        m_console.warning(notRememberedWarning(written.failure()));
}

void CommandLineCheck::finish(int exitCode, const QString& failureReason)
{
    m_failureReason = failureReason;
    // The next check may decide as soon as this one's record is written.
    m_stateLock.reset();
    emit finished(exitCode);
}

} // namespace parlowen::cli
