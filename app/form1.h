#pragma once
// The program's only window: the settings in its fields, the Go button, and
// the handlers that carry a check from the router's page to the provider's
// answer.

#include "app/twips.h"
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

private:
    void createControls();
    void applyTabOrder();
    void fitCaptions();

    // Handlers, each run by one notification of the window, the button or
    // the browser.
    void LoadWindow();
    void WindowClosing();
    void GoClicked();
    void PageCompleted(const QString& url);
    void StatusTextChanged(const QString& text);

    QLineEdit* fieldFor(Setting setting) const;

    // Starts a check by loading the router's log page.
    void OpenRouterLog();
    // Why the fields cannot make a check, for a message box; nothing loads then.
    std::optional<QString> fieldProblem() const;
    // Ends the check in flight, if any, so that nothing of it is reported.
    void cancelCheck();
    // Puts the provider's update address into txtURL.
    void BuildUpdateURL();

    WebBrowser* WebBrowser1 = nullptr;
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

    // Where the check in flight stands. Each handler acts only on the page
    // its stage waits for, so that a page that says "Done" twice (while its
    // message is still open, say), the empty page that ends a check, and a
    // load cancelled by closing the window are never judged.
    enum class Stage { Idle, RouterPage, Answer };
    void setStage(Stage stage);
    Stage m_stage = Stage::Idle;
};

} // namespace parlowen
