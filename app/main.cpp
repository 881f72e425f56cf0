// Parlowen: keeps a dynamic DNS name pointing at the router's WAN address.
#include "app/commandline.h"
#include "app/form1.h"
#include "app/messagebox.h"
#include "common/filesizelimit.h"
#include "common/nocoredumps.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// What Qt says while it opens the display, held back until it has: a
// display that cannot be opened gets one line of ours instead of Qt's page
// of platform plugins and an abort.
struct HeldBack {
    QtMsgType type;
    QByteArray category;
    QString message;
};
QList<HeldBack> heldBack;

void holdBackUntilOpened(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        heldBack.append({type, context.category, message});
        return;
    }
    // A plugin asked for by name that is not there is Qt's to name; any
    // other plugin that failed had no display to open.
    const auto missing = std::find_if(heldBack.cbegin(), heldBack.cend(), [](const HeldBack& held) {
        return held.message.startsWith(QLatin1String("Could not find the Qt platform plugin"));
    });
    const QString line =
        missing != heldBack.cend() || !message.contains(QLatin1String("platform plugin"))
            ? QStringLiteral("parlowen: %1\n").arg((missing != heldBack.cend() ? missing->message : message)
                                                        .section(u'\n', 0, 0))
            : parlowen::noDisplayLine(qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"));
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::_Exit(1);
}

void passOnWhatWasHeldBack()
{
    qInstallMessageHandler(nullptr);
    for (const HeldBack& held : std::as_const(heldBack))
        qt_message_output(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category.constData()),
                          held.message);
    heldBack.clear();
}

} // namespace

int main(int argc, char* argv[])
{
    parlowen::forbidCoreDumps();
    parlowen::makeFileSizeLimitAnError();
    // Answered before QApplication exists, which needs a display to start.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<parlowen::TerminalAnswer> answer = parlowen::terminalAnswer(arguments)) {
        std::fputs(answer->text.toLocal8Bit().constData(), answer->onStandardError ? stderr : stdout);
        return answer->exitStatus;
    }

    qInstallMessageHandler(holdBackUntilOpened);
    QApplication app(argc, argv);
    passOnWhatWasHeldBack();
    QApplication::setApplicationName(QString::fromUtf16(parlowen::ApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    parlowen::Form1 window;
    window.show();
    return app.exec();
}
