#pragma once
// parlowen-check run in-process against its own router (loopback port 80)
// and provider (a loopback port of its own), for the tests of the command.
// They run inside a private network namespace, so nothing a check sends can
// leave the machine. Each test class derives from CliFixture, whose init()
// and cleanup() QtTest finds and runs around every test function.
#include "sim/fakehttpserver.h"
#include "support/privatesessionbus.h"
#include "support/testpeers.h"
#include "web/browserengine.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTemporaryDir>

#include <memory>

namespace parlowen::test {

// Like the router's, a password with characters of their own meaning.
inline const QString ServicePassword = QStringLiteral("s3cr&t=ü+x y");
inline const QByteArray Received = "The IP has been received\n";
inline const QByteArray NotReceived = "Error in sending IP\n";
inline const QDateTime Start = QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);

QByteArray routerLogPage(const QByteArray& address = "203.0.113.7");

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class CliFixture : public QObject {
    Q_OBJECT
protected slots:
    void init();
    void cleanup();

protected:
    Run runCommand(QStringList arguments, const QDateTime& now = Start);
    void writeSettings(int setting = -1, const QString& value = {}, const QString& routerLine = {});
    void makeFilesNotToRead();
    QString settingsPath() const { return m_dir->filePath("Settings.ini"); }
    int updates() const { return m_provider ? int(m_provider->requests().size()) : 0; }
    void expectInErr(const Run& run, const QString& text) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<sim::FakeHttpServer> m_router;
    std::unique_ptr<sim::FakeHttpServer> m_provider;
    QString m_routerPassword;
    QString m_servicePassword;
    QByteArray m_settingsBytes;
    QList<Run> m_runs;
    // Where --notify would tell the desktop: by default no bus at all.
    QString m_busAddress;
    // The UPnP helper the command runs: one that is not there, unless a test
    // asks the simulated gateway; every search takes its 2 s.
    QString m_upnpHelper;
    QString m_runtimeFolder;
    BrowserLimits m_limits;
    std::unique_ptr<PrivateSessionBus> m_bus;
    std::unique_ptr<FakeNotifications> m_notifications;
};

} // namespace parlowen::test
