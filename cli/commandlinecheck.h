#pragma once
// The command's side of one check: each step the check tells of as a line,
// --if-changed and --dry-run before anything is sent, the outcome as the
// exit code.

#include "check/checksettings.h"
#include "check/redaction.h"
#include "cli/checkcommand.h"
#include "cli/journalstream.h"
#include "flow/checkrun.h"
#include "settings/laststate.h"
#include "settings/staterecordlock.h"
#include "web/browserengine.h"

#include <QObject>
#include <QString>
#include <QTextStream>

#include <optional>

namespace parlowen::cli {

struct CheckOptions {
    bool dryRun = false;
    bool ifChanged = false;
    QString statePath;    // where --if-changed keeps its memory
    QString settingsPath; // which the state file must never be
};

// Where the command writes: the result to out, the steps to err. A line is
// written as it is given: whoever composes it masks the parts that came
// from outside with shown() or shownUrl() first, so that the program's own
// words stay readable whatever the passwords are.
class Console {
public:
    Console(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    Redactor& redactor() { return m_redactor; }
    // Text from outside (a page, an answer, a setting's value) as it may be shown.
    QString shown(const QString& outside) const { return m_redactor(outside); }
    // A URL this program loads, as it may be shown.
    QString shownUrl(const QString& url) const { return m_redactor.url(url); }
    void step(const QString& line) { write(m_err, Priority::Info, line); }
    // "Warning: " and the words.
    void warning(const QString& words);
    // A line that says why the run fails.
    void failure(const QString& line) { write(m_err, Priority::Error, line); }
    void result(const QString& line, Priority priority = Priority::Info) { write(m_out, priority, line); }
    // Without a line break of its own, and otherwise unchanged but for the
    // passwords: --page-text output. A router page may echo the password.
    void raw(const QString& text);

private:
    void write(QTextStream& stream, Priority priority, const QString& line);

    QTextStream& m_out;
    QTextStream& m_err;
    Redactor m_redactor;
};

// Why a finished router page yields no address, in the user's words;
// nothing when it does yield one.
std::optional<QString> reasonForNoAddress(const HtmlDocument& page);

class CommandLineCheck : public QObject {
    Q_OBJECT
public:
    CommandLineCheck(CheckSettings settings, CheckOptions options, Console& console,
                     const CommandEnvironment& environment, QObject* parent = nullptr);

    // Loads the router's page; finished() follows once the check is over.
    void start();
    // Why the check failed, in a sentence; empty when it did not.
    QString failureReason() const { return m_failureReason; }

signals:
    void finished(int exitCode);

private:
    void showStep(const CheckStep& step);
    void addressFound();
    void checkFinished(const CheckVerdict& verdict);
    void rememberGatewayOf(const GatewayControl& gateway);
    // Holds the state record for --if-changed's decision; false when
    // another check held it too long, and this one must send nothing.
    bool holdStateRecord();
    // True when --if-changed finds nothing new to send.
    bool unchangedSinceLastAcceptance(const SentAddresses& sent);
    void rememberAcceptance(const SentAddresses& sent);
    void finish(int exitCode, const QString& failureReason = {});

    CheckSettings m_settings;
    CheckOptions m_options;
    Console& m_console;
    CommandEnvironment m_environment;
    BrowserEngine m_browser;
    CheckRun m_check;
    QString m_failureReason;
    // From --if-changed's decision until the check ends.
    std::optional<StateRecordLock> m_stateLock;
};

} // namespace parlowen::cli
