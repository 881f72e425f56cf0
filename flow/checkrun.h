#pragma once
// One check, from the router's page to the provider's verdict. The window and
// parlowen-check both drive this object; each keeps only its own way of
// showing the steps and the verdict it tells of.

#include "check/checksettings.h"
#include "check/loadedpage.h"
#include "check/providerexchange.h"
#include "check/redaction.h"
#include "check/sendableaddress.h"
#include "upnp/gatewayquery.h"
#include "web/htmldocument.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace parlowen {

class BrowserEngine;

// What the check's steps see of a finished document, its load's failure
// told in words that name whom it asked.
LoadedPage loadedPage(const HtmlDocument& page, LoadPeer peer);

// A line for each step, in the words both programs show. Whatever in it came
// from outside is masked already; how a warning or a failure is marked is
// each program's own.
struct CheckStep {
    enum class Kind { Progress, Warning, Failure };
    Kind kind = Kind::Progress;
    QString line;
};

struct CheckVerdict {
    enum class Kind { Accepted, NotAccepted, NoAddress };
    Kind kind = Kind::NotAccepted;
    // "The IP has been received", "Error in sending IP", "No WAN IP was found: ...".
    QString message;
    // Why the update was not accepted, or why no address was found; empty
    // when accepted.
    QString reason;
    // The paragraphs that go with the message, in order: the warning about
    // an address that is not public, where the address came from, the
    // reason.
    QStringList details;
    // Accepted, yet the address sent is not one the Internet can reach:
    // the first of the details says so, and what to do.
    bool notPublic = false;
    // What the accepted update carried: the router's IPv4 address, this
    // computer's IPv6 address; either may be empty.
    QString sentIpv4{};
    QString sentIpv6{};
};

class CheckRun : public QObject {
    Q_OBJECT
public:
    // Loads through browser, whose owner forwards its notifications to
    // PageCompleted and StatusTextChanged; asks the router's UPnP service
    // with upnpHelper (empty: this program's own).
    CheckRun(BrowserEngine& browser, const QString& upnpHelper, QObject* parent = nullptr);

    // Starts a check afresh: one in flight is dropped without a word.
    void start(const CheckSettings& settings);
    // Drops the check in flight, if any: it tells nothing more.
    void cancel();
    bool isRunning() const { return m_stage != Stage::Idle; }

    // Masks what came from outside, knowing every secret of the settings the
    // check started with.
    const Redactor& redactor() const { return m_redactor; }

    // The browser's notifications.
    void PageCompleted(const QString& url);
    void StatusTextChanged(const QString& text);

    // Once addressFound() has been told: the update that would carry the
    // address, and sending it. Nothing is sent unless asked.
    QString updateUrl() const;
    void sendUpdate();
    // The addresses the update carries once addressFound() has been told:
    // the router's IPv4 address and this computer's IPv6 address, either
    // of which may be empty (IPv6=only; IPv6=yes with none to send).
    const QString& ipv4Address() const { return m_address; }
    const QString& ipv6Address() const { return m_ipv6; }

signals:
    void stepTaken(const parlowen::CheckStep& step);
    // The address the update leads with: the router's IPv4 address, or
    // with IPv6=only this computer's IPv6 address.
    void addressFound(const QString& address, parlowen::AddressSource source);
    // A UPnP gateway other than the remembered one answered: to be asked
    // directly next time, wherever the front end keeps that.
    void gatewayAnswered(const parlowen::GatewayControl& gateway);
    // The end of the check; it is no longer running by then.
    void finished(const parlowen::CheckVerdict& verdict);

private:
    enum class Stage { Idle, OwnAddress, RouterPage, Upnp, AddressKnown, Answer };

    void routerPageCompleted();
    void upnpAnswered(const UpnpAnswer& answer);
    void addressKnown(const QString& address, AddressSource source);
    void ownIpv6Alone();
    // This computer's IPv6 address into m_ipv6, or why there is none into
    // m_noIpv6Reason; told as a step.
    bool findOwnIpv6(CheckStep::Kind missing);
    void addressesKnown();
    UpdateFields updateFields() const;
    void send(const ProviderRequest& request);
    void answerCompleted();
    void updateTookTooLong();
    void judged(const AnswerJudgement& judgement);
    void finishWithoutAddress(const QString& upnpNote = {});
    void finish(CheckVerdict verdict);
    // Where the address came from, when not from the log: a paragraph of its own.
    QStringList sourceNote() const;
    void tell(CheckStep::Kind kind, const QString& line);
    QString shown(const QString& outside) const { return m_redactor(outside); }

    BrowserEngine& m_browser;
    GatewayQuery m_upnp;
    CheckSettings m_settings;
    Redactor m_redactor;
    Stage m_stage = Stage::Idle;
    QString m_routerUrl;
    QString m_noAddressReason; // why the router's log gave none
    // Its line may be one the page hides: the router's services stand in.
    bool m_logLineHidden = false;
    QString m_address;
    QString m_ipv6;
    QString m_ipv6Interface;
    QString m_noIpv6Reason;
    // Tells a queued step of this check from one of an earlier check.
    quint64 m_run = 0;
    AddressSource m_source = AddressSource::RouterLog;
    // The update in flight: its requests, the one sent last, and the one
    // deadline they all share.
    std::unique_ptr<ProviderExchange> m_exchange;
    QString m_updateUrl;
    bool m_knownProvider = false;
    QTimer m_updateDeadline;
};

} // namespace parlowen
