// A desktop notification over D-Bus, bounded in time: the parlowen-notice
// module.
#include "cli/noticemodule.h"

#include "cli/desktopnotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>

#include <atomic>
#include <type_traits>

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

NoticeDelivery send(QDBusConnection& bus, const DesktopNotice& notice, std::chrono::milliseconds timeout)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(NormalUrgency)}};
    call << QStringLiteral("Parlowen") << 0u << QStringLiteral("parlowen") << notice.summary << notice.body
         << QStringList() << hints << ServerDecidesHowLong;
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, int(timeout.count())));
    // D-Bus ends the call with an error at the timeout; the timer is the
    // bound should that ever not happen.
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    bound.start(timeout + std::chrono::milliseconds(250));
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

} // namespace parlowen::cli

extern "C" Q_DECL_EXPORT int parlowen_show_desktop_notice(const QString& busAddress, const QString& summary,
                                                          const QString& body, int timeoutMs)
{
    using namespace parlowen::cli;
    static_assert(std::is_same_v<decltype(&parlowen_show_desktop_notice), ShowDesktopNoticeEntry>);
    const QString name = connectionName();
    NoticeDelivery delivery = NoticeDelivery::NotShown;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, name);
        if (bus.isConnected())
            delivery = send(bus, {summary, body}, std::chrono::milliseconds(timeoutMs));
    }
    QDBusConnection::disconnectFromBus(name);
    return int(delivery);
}
