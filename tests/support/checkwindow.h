#pragma once
// The window as the whole-check tests drive it: the router on loopback port
// 80 (so only inside a private network namespace), the provider on a
// loopback port of its own, and a Form1 whose settings folder is new for
// each test, holding the UPnP helper beside it as an installed copy does.
#include "app/form1.h"
#include "app/webbrowser.h"
#include "sim/fakehttpserver.h"
#include "support/messageboxwatcher.h"
#include "support/testpeers.h"

#include <QLineEdit>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

namespace parlowen::test {

inline const QString NotReceived = QStringLiteral("Error in sending IP");
inline constexpr int Patience = 30'000; // ms; a whole check takes a few, a hostile page under the sanitizers more

class CheckWindow : public QObject {
protected:
    // For the test's init() and cleanup(); the fields are filled for the
    // servers started.
    void openWindow();
    void closeWindow();

    QLineEdit* field(const char* name) const { return m_form->findChild<QLineEdit*>(name); }
    WebBrowser* browser() const { return m_form->findChild<WebBrowser*>("WebBrowser1"); }
    void pressGo() const;
    qsizetype updates() const { return m_provider ? m_provider->requests().size() : 0; }
    // Waits until the check has ended in exactly one message and the empty page.
    void waitForTheEnd(const MessageBoxWatcher& watcher) const;
    // The window's fields as a settings file, for the command or a restart.
    void saveTheFields() const;
    QString settingsPath() const { return m_dir->filePath("Settings.ini"); }

    std::unique_ptr<sim::FakeHttpServer> m_router;
    std::unique_ptr<sim::FakeHttpServer> m_provider;
    // Where the window looks for its settings: empty, and new for each test,
    // since a window that closes saves there.
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
};

} // namespace parlowen::test
