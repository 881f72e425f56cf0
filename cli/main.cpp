// parlowen-check: one check of the WAN address, without a window.
#include "cli/checkcommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlowen-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    return parlowen::cli::run(QCoreApplication::arguments(), out, err);
}
