#pragma once
// A session bus of the test's own, never the machine's, and a desktop
// notification service on it that records what it is sent.

#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

namespace parlowen::test {

// dbus-daemon on a socket in a folder of its own, with no services to start:
// the machine's own notification daemon must not be started on it.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    // Empty when the daemon could not be started.
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

struct ReceivedNotice {
    QString appName;
    QString icon;
    QString summary;
    QString body;
    QVariantMap hints;
};

// org.freedesktop.Notifications on a connection of its own to the bus.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    enum class Answer { Id, Never };
    FakeNotifications(const QString& busAddress, Answer answer);
    ~FakeNotifications() override;

    bool isRegistered() const { return m_registered; }
    const QList<ReceivedNotice>& received() const { return m_received; }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout,
                const QDBusMessage& message);

private:
    QString m_connection;
    Answer m_answer;
    bool m_registered = false;
    QList<ReceivedNotice> m_received;
};

} // namespace parlowen::test
