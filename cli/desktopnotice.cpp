// A desktop notification over D-Bus, bounded in time.
#include "cli/desktopnotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QVariantMap>

#include <atomic>

namespace parlowen::cli {

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
constexpr uchar NormalUrgency = 1;
constexpr int ServerDecidesHowLong = -1;

// Each connection gets a name of its own: a second notice in one process (a
// test's) must not pick up a connection that is being closed.
QString connectionName()
{
    static std::atomic<int> count = 0;
    return QStringLiteral("parlowen-check-notice-%1").arg(++count);
}

NoticeDelivery send(QDBusConnection& bus, const DesktopNotice& notice)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(NormalUrgency)}};
    call << QStringLiteral("Parlowen") << 0u << QStringLiteral("parlowen") << notice.summary << notice.body
         << QStringList() << hints << ServerDecidesHowLong;
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, int(NoticeTimeout.count())));
    // D-Bus ends the call with an error at the timeout; the timer is the
    // bound should that ever not happen.
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    bound.start(NoticeTimeout + std::chrono::milliseconds(250));
    if (!watcher.isFinished())
        loop.exec();
    if (!watcher.isFinished())
        return NoticeDelivery::Unanswered;
    const QDBusPendingReply<uint> reply = watcher;
    if (!reply.isError())
        return NoticeDelivery::Shown;
    return reply.error().type() == QDBusError::NoReply || reply.error().type() == QDBusError::Timeout
               ? NoticeDelivery::Unanswered
               : NoticeDelivery::NotShown;
}
} // namespace

QString sessionBusOfThisLogin()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtimeFolder + QStringLiteral("/bus");
    if (!runtimeFolder.isEmpty() && QFileInfo(socket).exists())
        return QStringLiteral("unix:path=") + socket;
    return {};
}

NoticeDelivery showDesktopNotice(const QString& busAddress, const DesktopNotice& notice)
{
    if (busAddress.isEmpty())
        return NoticeDelivery::NotShown;
    const QString name = connectionName();
    NoticeDelivery delivery = NoticeDelivery::NotShown;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, name);
        if (bus.isConnected())
            delivery = send(bus, notice);
    }
    QDBusConnection::disconnectFromBus(name);
    return delivery;
}

} // namespace parlowen::cli
