// Where a desktop notice goes, and the module that sends it.
#include "cli/desktopnotice.h"

#include "cli/noticemodule.h"
#include "common/companionfile.h"

#include <QFileInfo>
#include <QLibrary>

namespace parlowen::cli {

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

QString noticeModuleOfThisProgram()
{
    return companionFile(QStringLiteral("parlowen-notice.so"));
}

NoticeDelivery showDesktopNotice(const QString& modulePath, const QString& busAddress,
                                 const DesktopNotice& notice)
{
    if (busAddress.isEmpty())
        return NoticeDelivery::NotShown;
    // Loaded once and kept: Qt D-Bus cannot be unloaded safely.
    static QLibrary module;
    if (module.fileName() != modulePath) {
        module.setFileName(modulePath);
        module.load();
    }
    const auto show = reinterpret_cast<ShowDesktopNoticeEntry>(module.resolve(PARLOWEN_NOTICE_ENTRY));
    if (!show)
        return NoticeDelivery::NotShown;
    return NoticeDelivery(show(busAddress, notice.summary, notice.body, int(NoticeTimeout.count())));
}

} // namespace parlowen::cli
