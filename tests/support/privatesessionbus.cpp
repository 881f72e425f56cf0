#include "support/privatesessionbus.h"

#include <QDBusConnection>
#include <QFile>

namespace parlowen::test {

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

PrivateSessionBus::PrivateSessionBus()
{
    if (!m_dir.isValid())
        return;
    // The session configuration would also start services installed on
    // this machine; this one allows what a session bus allows and no more.
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                              "<auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                              "<allow own=\"*\"/></policy></busconfig>")
                   .arg(m_dir.path().toHtmlEscaped())
                   .toUtf8());
    file.close();
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                    QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(10'000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10'000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    // It complains of the file limit it may not raise; only a failure matters.
    if (m_address.isEmpty())
        qWarning("dbus-daemon: %s", m_daemon.readAllStandardError().constData());
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5'000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5'000);
    }
}

FakeNotifications::FakeNotifications(const QString& busAddress, Answer answer)
    : m_connection(QStringLiteral("fake-notifications-%1").arg(quintptr(this))), m_answer(answer)
{
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connection);
    m_registered = bus.isConnected() && bus.registerObject(Path, this, QDBusConnection::ExportAllSlots) &&
                   bus.registerService(Service);
}

FakeNotifications::~FakeNotifications()
{
    {
        QDBusConnection bus(m_connection);
        bus.unregisterService(Service);
        bus.unregisterObject(Path);
    }
    QDBusConnection::disconnectFromBus(m_connection);
}

uint FakeNotifications::Notify(const QString& appName, uint, const QString& icon, const QString& summary,
                               const QString& body, const QStringList&, const QVariantMap& hints, int,
                               const QDBusMessage& message)
{
    m_received.append({appName, icon, summary, body, hints});
    // A service that hangs: the caller hears nothing until its own timeout.
    if (m_answer == Answer::Never)
        message.setDelayedReply(true);
    return uint(m_received.size());
}

} // namespace parlowen::test
