// One check, from the router's page to the provider's verdict.
#include "flow/checkrun.h"

#include "check/addressscope.h"
#include "check/excerpt.h"
#include "check/hiddenline.h"
#include "check/ipv6words.h"
#include "check/outcome.h"
#include "check/providers.h"
#include "check/routerpage.h"
#include "check/routerurl.h"
#include "check/sheetwords.h"
#include "check/updateurl.h"
#include "check/upnpanswer.h"
#include "check/wanaddress.h"
#include "ownaddress/ownipv6.h"
#include "web/browserengine.h"

#include <QUrl>

namespace parlowen {

namespace {

const QString AboutBlank = QStringLiteral("about:blank");

QString statusText(const HtmlDocument& page)
{
    return QStringLiteral("HTTP %1").arg(page.httpStatus());
}

// The request as the browser engine sends it, with this program's name.
NavigationRequest navigationFor(const ProviderRequest& request)
{
    NavigationRequest navigation;
    navigation.method = request.method;
    navigation.headers = request.headers;
    navigation.body = request.body;
    if (request.signIn != ProviderRequest::SignIn::None)
        navigation.credentials = {request.user, request.password};
    navigation.signInAtOnce = request.signIn == ProviderRequest::SignIn::WithRequest;
    navigation.userAgent = updateClientAgent();
    navigation.keepBody = request.keepBody;
    return navigation;
}

} // namespace

LoadedPage loadedPage(const HtmlDocument& page, LoadPeer peer)
{
    return {page.httpStatus(), page.loadErrorWords(peer), page.body().innerText(), {},
            page.body().doubtfulText()};
}

CheckRun::CheckRun(BrowserEngine& browser, const QString& upnpHelper, QObject* parent)
    : QObject(parent), m_browser(browser), m_upnp(upnpHelper)
{
    connect(&m_upnp, &GatewayQuery::answered, this, &CheckRun::upnpAnswered);
    m_updateDeadline.setSingleShot(true);
    connect(&m_updateDeadline, &QTimer::timeout, this, &CheckRun::updateTookTooLong);
}

void CheckRun::start(const CheckSettings& settings)
{
    cancel();
    m_settings = settings;
    m_redactor = redactorFor(settings);
    m_noAddressReason.clear();
    m_logLineHidden = false;
    m_address.clear();
    m_ipv6.clear();
    m_ipv6Interface.clear();
    m_noIpv6Reason.clear();
    m_updateUrl.clear();
    ++m_run;
    if (settings.ipv6 == Ipv6Mode::Only) {
        // Later, as a load would tell it: a front end hears of its check
        // only once start() has returned.
        m_stage = Stage::OwnAddress;
        QMetaObject::invokeMethod(
            this, [this, run = m_run] { if (m_stage == Stage::OwnAddress && run == m_run) ownIpv6Alone(); },
            Qt::QueuedConnection);
        return;
    }
    m_routerUrl = routerLogUrl(settings.routerPassword, settings.routerAddress);
    tell(CheckStep::Kind::Progress,
         QStringLiteral("Router page: loading %1").arg(m_redactor.url(m_routerUrl)));
    m_stage = Stage::RouterPage;
    m_browser.Navigate(m_routerUrl);
}

void CheckRun::cancel()
{
    const bool loading = m_stage == Stage::RouterPage || m_stage == Stage::Answer;
    m_stage = Stage::Idle;
    m_upnp.cancel();
    m_updateDeadline.stop();
    m_exchange.reset();
    // A new load ends the one in flight, and nothing of that is reported.
    if (loading)
        m_browser.Navigate2(AboutBlank);
}

void CheckRun::PageCompleted(const QString& url)
{
    // Each stage waits for its own page: an update address that happens to
    // hold "syslog" is never taken for the router's.
    if (m_stage == Stage::RouterPage && url == m_routerUrl && isRouterLogUrl(url))
        routerPageCompleted();
}

void CheckRun::StatusTextChanged(const QString& text)
{
    // The answer is the very address the update was sent to, and it holds
    // the service URL: neither the router's page nor the empty page that
    // ends a check is ever judged.
    if (m_stage != Stage::Answer || !isPageDoneStatus(text))
        return;
    const QString url = m_browser.Document().url();
    if (url == m_updateUrl && (m_knownProvider || isServiceAnswer(url, m_settings.serviceUrl)))
        answerCompleted();
}

void CheckRun::routerPageCompleted()
{
    const HtmlDocument& page = m_browser.Document();
    const LoadedPage loaded = loadedPage(page, LoadPeer::Router);
    m_noAddressReason = whyNoAddress(loaded).value_or(QString());
    if (page.loadError() != LoadError::None) {
        tell(CheckStep::Kind::Failure,
             QStringLiteral("Router page: not loaded: %1").arg(loaded.loadErrorWords));
        return finish(
            {CheckVerdict::Kind::NoAddress, noAddressMessage(m_noAddressReason), m_noAddressReason, {}});
    }
    tell(CheckStep::Kind::Progress, QStringLiteral("Router page: loaded (%1)").arg(statusText(page)));
    for (const SkippedSheet& sheet : page.skippedSheets())
        tell(CheckStep::Kind::Warning, skippedSheetStep(m_redactor.url(sheet.url.toString()), sheet.why));
    if (const std::optional<QString> address = trustedWanAddress(loaded)) {
        tell(CheckStep::Kind::Progress, QStringLiteral("WAN address: %1").arg(quoted(shown(*address))));
        return addressKnown(*address, AddressSource::RouterLog);
    }
    if (!m_settings.askUpnp && wanLineMayBeHidden(loaded))
        m_noAddressReason = hiddenLineReasonWithoutServices();
    if (!m_settings.askUpnp || !mayAskUpnp(loaded))
        return finishWithoutAddress();
    const QString router = QUrl(page.url()).host();
    m_logLineHidden = wanLineMayBeHidden(loaded);
    if (m_logLineHidden)
        tell(CheckStep::Kind::Warning, hiddenLineUpnpStep(shown(router)));
    else
        tell(CheckStep::Kind::Progress,
             QStringLiteral(
                 "WAN address: none in the log; asking the router's NAT-PMP and UPnP services at %1")
                 .arg(shown(router)));
    m_stage = Stage::Upnp;
    m_upnp.start(router, m_settings.rememberedGateway);
}

void CheckRun::upnpAnswered(const UpnpAnswer& answer)
{
    if (m_stage != Stage::Upnp)
        return;
    if (!answer) {
        tell(CheckStep::Kind::Failure,
             QStringLiteral("UPnP: no address: %1").arg(answer.failure().message()));
        return finishWithoutAddress(upnpFailureNote(answer.failure()));
    }
    const RouterAnswer& found = answer.value();
    const QString service =
        found.source == AddressSource::NatPmp ? QStringLiteral("NAT-PMP") : QStringLiteral("UPnP");
    const bool remembered = !found.gateway.isEmpty() && found.gateway == m_settings.rememberedGateway;
    tell(CheckStep::Kind::Progress,
         QStringLiteral("%1: WAN address %2%3")
             .arg(service, quoted(shown(found.value)),
                  remembered ? QStringLiteral(", from the gateway of last time") : QString()));
    if (!found.gateway.isEmpty() && !remembered)
        emit gatewayAnswered(found.gateway);
    addressKnown(found.value, found.source);
}

void CheckRun::finishWithoutAddress(const QString& upnpNote)
{
    tell(CheckStep::Kind::Failure, QStringLiteral("WAN address: none: %1").arg(m_noAddressReason));
    QStringList details;
    if (!upnpNote.isEmpty())
        details << upnpNote;
    finish({CheckVerdict::Kind::NoAddress, noAddressMessage(m_noAddressReason), m_noAddressReason, details});
}

void CheckRun::addressKnown(const QString& value, AddressSource source)
{
    m_source = source;
    // Only an address is ever sent: a provider takes an empty one for the
    // address the request comes from, and 0.0.0.0 points the name at nothing.
    const Result<QString, AddressRefusal> address = sendableAddress(value, source);
    if (!address) {
        const QString logReason =
            std::exchange(m_noAddressReason, refusalReason(address.error(), source, quoted(shown(value))));
        if (source == AddressSource::RouterLog)
            return finishWithoutAddress();
        return finishWithoutAddress(QStringLiteral("The router's log was read first: %1").arg(logReason));
    }
    m_address = address.value();
    if (const std::optional<QString> warning = addressWarning(m_address, shown(m_address)))
        tell(CheckStep::Kind::Warning, *warning);
    if (m_settings.ipv6 == Ipv6Mode::Yes)
        findOwnIpv6(CheckStep::Kind::Warning);
    addressesKnown();
}

void CheckRun::ownIpv6Alone()
{
    m_source = AddressSource::ThisComputer;
    tell(CheckStep::Kind::Progress, QStringLiteral("Router page: not loaded: IPv6=only sends this computer's "
                                                   "own IPv6 address alone"));
    if (!findOwnIpv6(CheckStep::Kind::Failure))
        return finish({CheckVerdict::Kind::NoAddress, noIpv6Message(m_noIpv6Reason), m_noIpv6Reason, {}});
    addressesKnown();
}

bool CheckRun::findOwnIpv6(CheckStep::Kind missing)
{
    const Result<Ipv6Choice, Ipv6Absence> own = thisComputersIpv6(m_settings.acceptedIpv6);
    // Masked as a router's address is: a password may look like either.
    if (!own) {
        Failure<Ipv6Absence> failure = own.failure();
        failure.detail = shown(failure.detail);
        m_noIpv6Reason = failure.message();
        tell(missing, ipv6MissingStep(m_noIpv6Reason));
        return false;
    }
    m_ipv6 = own.value().address;
    m_ipv6Interface = own.value().interfaceName;
    tell(CheckStep::Kind::Progress, ipv6FoundStep(shown(m_ipv6), shown(m_ipv6Interface)));
    if (const std::optional<QString> warning = addressWarning(m_ipv6, shown(m_ipv6)))
        tell(CheckStep::Kind::Warning, *warning);
    return true;
}

void CheckRun::addressesKnown()
{
    m_stage = Stage::AddressKnown;
    emit addressFound(m_address.isEmpty() ? m_ipv6 : m_address, m_source);
}

UpdateFields CheckRun::updateFields() const
{
    return {m_settings.serviceUrl, m_settings.userName, m_settings.servicePassword,
            m_settings.host,       m_address,           m_settings.ipv6,
            m_ipv6};
}

QString CheckRun::updateUrl() const
{
    return exchangeFor(updateFields())->first().url;
}

void CheckRun::sendUpdate()
{
    if (m_stage != Stage::AddressKnown)
        return;
    // Without a service URL there is nowhere to send the address, and the
    // provider's answer could never be told apart from any other page.
    if (m_settings.serviceUrl.trimmed().isEmpty()) {
        const QString reason = noServiceUrlReason();
        return finish({CheckVerdict::Kind::NotAccepted, outcomeMessage(UpdateOutcome::NotAccepted), reason,
                       sourceNote() << reason});
    }
    m_knownProvider = providerFor(m_settings.serviceUrl) != nullptr;
    m_exchange = exchangeFor(updateFields());
    m_stage = Stage::Answer;
    // The few requests of an API take no longer together than one load may.
    m_updateDeadline.start(m_browser.limits().timeout);
    send(m_exchange->first());
}

void CheckRun::send(const ProviderRequest& request)
{
    m_updateUrl = request.url;
    const QString url = m_redactor.url(request.url);
    tell(CheckStep::Kind::Progress,
         request.purpose.isEmpty() ? QStringLiteral("Update: sending %1").arg(url)
                                   : QStringLiteral("Update: %1: %2 %3")
                                         .arg(request.purpose, QString::fromLatin1(request.method), url));
    m_browser.Navigate2(request.url, navigationFor(request));
}

void CheckRun::answerCompleted()
{
    const HtmlDocument& answer = m_browser.Document();
    LoadedPage loaded = loadedPage(answer, LoadPeer::Provider);
    loaded.body = answer.rawBody();
    if (answer.loadError() == LoadError::None) {
        // Masked before it is cut short or its white space collapsed, so that
        // neither can leave part of a password standing.
        tell(CheckStep::Kind::Progress,
             QStringLiteral("Answer: %1: %2").arg(statusText(answer), answerExcerpt(shown(loaded.text))));
    }
    auto next = m_exchange->next(loaded, m_redactor);
    if (const auto* request = std::get_if<ProviderRequest>(&next))
        return send(*request);
    m_updateDeadline.stop();
    judged(std::get<AnswerJudgement>(next));
}

void CheckRun::updateTookTooLong()
{
    if (m_stage != Stage::Answer)
        return;
    m_browser.Navigate2(AboutBlank);
    judged(judgeAnswer({0, toString(LoadError::TimedOut, LoadPeer::Provider), {}}));
}

void CheckRun::judged(const AnswerJudgement& judgement)
{
    // An error page is judged like any other answer: it never says
    // "updated successfully".
    if (!judgement.reason.isEmpty())
        tell(CheckStep::Kind::Failure, QStringLiteral("Reason: %1").arg(judgement.reason));
    if (judgement.outcome != UpdateOutcome::Accepted) {
        return finish({CheckVerdict::Kind::NotAccepted, outcomeMessage(judgement.outcome), judgement.reason,
                       sourceNote() << judgement.reason});
    }
    QStringList details = sourceNote();
    QStringList warnings;
    for (const QString& address : {m_address, m_ipv6}) {
        if (const std::optional<QString> warning = address.isEmpty() ? std::nullopt
                                                                     : addressWarning(address, shown(address)))
            warnings << *warning;
    }
    if (const std::optional<QString> note =
            ipv6VerdictNote(m_settings.ipv6, shown(m_ipv6), shown(m_ipv6Interface), m_noIpv6Reason))
        details << *note;
    CheckVerdict verdict{CheckVerdict::Kind::Accepted, outcomeMessage(judgement.outcome), {},
                         warnings + details, !warnings.isEmpty()};
    verdict.sentIpv4 = m_address;
    verdict.sentIpv6 = m_ipv6;
    finish(verdict);
}

QStringList CheckRun::sourceNote() const
{
    switch (m_source) {
    case AddressSource::RouterLog:
    case AddressSource::ThisComputer:
        return {};
    case AddressSource::Upnp:
    case AddressSource::NatPmp:
        return {m_logLineHidden ? hiddenLineSourceNote(m_source) : upnpSourceNote(m_source)};
    }
    return {};
}

void CheckRun::finish(CheckVerdict verdict)
{
    m_stage = Stage::Idle;
    m_updateDeadline.stop();
    m_exchange.reset();
    // The receiver may start the next check from here, in a box's own event
    // loop: nothing of this one is touched afterwards.
    emit finished(verdict);
}

void CheckRun::tell(CheckStep::Kind kind, const QString& line)
{
    emit stepTaken({kind, line});
}

} // namespace parlowen
