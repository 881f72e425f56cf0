// Parlowen: keeps a dynamic DNS name pointing at the router's WAN address.
#include "app/form1.h"

#include "app/messagebox.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf16(parlowen::ApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    parlowen::Form1 window;
    window.show();
    return app.exec();
}
