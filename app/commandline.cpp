// The options the window answers on the terminal.
#include "app/commandline.h"

namespace parlowen {

std::optional<QString> terminalAnswer(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return QStringLiteral("parlowen " PARLOWEN_VERSION "\n");
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("--help-all"))
            return QStringLiteral(
                "Usage: parlowen [Qt options]\n"
                "Keeps a dynamic DNS host name pointing at the router's WAN address. Opens the window;\n"
                "when a settings file exists, a check starts at once.\n"
                "\n"
                "Options:\n"
                "  -h, --help     Shows this help and opens no window.\n"
                "  -v, --version  Shows the version and opens no window.\n"
                "\n"
                "parlowen-check runs the same check without a window; see parlowen-check --help.\n");
    }
    return std::nullopt;
}

} // namespace parlowen
