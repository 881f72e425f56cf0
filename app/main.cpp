// Parlowen: keeps a dynamic DNS name pointing at the router's WAN address.
#include "app/commandline.h"
#include "app/form1.h"
#include "app/messagebox.h"
#include "common/filesizelimit.h"
#include "common/nocoredumps.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    parlowen::forbidCoreDumps();
    parlowen::makeFileSizeLimitAnError();
    // Answered before QApplication exists, which needs a display to start.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<QString> answer = parlowen::terminalAnswer(arguments)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf16(parlowen::ApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    parlowen::Form1 window;
    window.show();
    return app.exec();
}
