#pragma once
// The program's only window: the settings in its fields, the Go button, and
// the handlers that carry a check from the router's page to the provider's
// answer.

#include "app/messagebox.h"
#include "app/twips.h"
#include "check/checksettings.h"
#include "flow/checkrun.h"
#include "settings/laststate.h"
#include "settings/module1.h"
#include "settings/settingkeys.h"

#include <QWidget>

#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace parlowen {

class WebBrowser;

class Form1 : public QWidget {
    Q_OBJECT
public:
    // The settings file is looked for beside the executable, or in the
    // user's configuration folder (see settings/settingslocation.h).
    explicit Form1(QWidget* parent = nullptr);
    // ... or as if the executable were in programDirectory, which tests
    // point at a folder of their own.
    explicit Form1(const QString& programDirectory, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void applyTabOrder();
    void fitCaptions();

    // Handlers, each run by one notification of the window, the button or
    // the browser.
    void LoadWindow();
    // What a start with a settings file does once the window is on screen.
    void runStartupCheck();
    // False when the user chose to keep the window open after a failed save.
    bool WindowClosing();
    // The six fields as entries of the settings file, in the table's order.
    QList<ProfileEntry> entriesInFields() const;
    // Whether any of the six fields differs from what the window started with.
    bool fieldsChanged() const;
    // Saves the fields over a file that holds no settings, once the user agrees;
    // nothing when the user chose, and whether to close then.
    std::optional<bool> replaceOrKeep(Result<void, ProfileWriteError>& saved);
    void GoClicked();
    // The browser's notifications, which carry the check along.
    void PageCompleted(const QString& url);
    void StatusTextChanged(const QString& text);
    // The check found the router's address: it goes into txtWANIP, and the
    // update is sent.
    void WanAddressFound(const QString& address);
    // The check's verdict, in a box.
    void CheckFinished(const CheckVerdict& verdict);

    QLineEdit* fieldFor(Setting setting) const;
    QLineEdit* fieldFor(QString CheckSettings::*field) const;

    // Starts a check by loading the router's log page.
    void OpenRouterLog();
    // Why the fields cannot make a check, for a message box, and the field
    // to put right; nothing loads then.
    struct FieldRefusal {
        QString message;
        QLineEdit* field;
        QString detail{};
        MessageIcon icon = MessageIcon::Critical;
    };
    std::optional<FieldRefusal> fieldProblem() const;
    // The six as the fields hold them; settingsInFields adds what the state
    // file remembers for a check.
    CheckSettings fieldValues() const;
    CheckSettings settingsInFields() const;
    // Ends the check in flight, if any, so that nothing of it is reported.
    void cancelCheck();
    // Puts the provider's update address into txtURL.
    void BuildUpdateURL();
    // Records an accepted update where parlowen-check --if-changed looks;
    // the words of a warning when that fails.
    std::optional<QString> recordAcceptance(const CheckVerdict& verdict);
    void showLastAcceptance(const LastAcceptance& last);
    // Shows a check's box; false when another check replaced this one while
    // the box was open, so that the caller leaves the browser to it.
    bool report(const QString& text, MessageIcon icon, const QString& detail = {});

    WebBrowser* WebBrowser1 = nullptr;
    CheckRun* m_check = nullptr; // child of the window; loads through WebBrowser1
    QLabel* Label1 = nullptr;
    QLineEdit* txtRouterPass = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtRouterIP = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtWANIP = nullptr;
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* txtService = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtServicePass = nullptr;
    QLineEdit* txtURL = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtHost = nullptr;

    // Decided once from the desktop's font, before anything is placed.
    const Twips m_twips;
    QString m_programDirectory;
    QString IniFile; // the settings file, fixed once the window has loaded
    Module1 m_settings;
    // A start with a settings file runs a check once the window is on screen,
    // so that anything it reports has a window to stand over.
    bool m_checkWhenShown = false;
    // UPnP=no in the settings file turns the router's UPnP service off as
    // a source; read with the six.
    bool m_askUpnp = true;
    // IPv6= in [DNS settings], as written: the window has no field for it,
    // and a value it does not know is told of at Go.
    QString m_ipv6Value;
    // A settings file that exists but cannot be read, told once shown.
    QString m_readProblem;
    QString m_readProblemDetail;
    // The fields hold the examples in place of a file that could not be
    // read: a close that changes none of them leaves that file as it is.
    bool m_unreadAtStart = false;
    QStringList m_startValues; // the six fields once loaded
    // Counts the checks started, so that a handler waiting in a message box
    // learns that a newer check has taken over.
    quint64 m_checkNumber = 0;

    // Busy, not waiting: Go still works and starts the check afresh.
    void showBusy(bool busy);
};

} // namespace parlowen
