// The options the window answers on the terminal.
#include "app/commandline.h"

#include <algorithm>
#include <iterator>

namespace parlowen {

namespace {

struct QtOption {
    const char* name;
    bool takesValue; // as the next argument, or after "="
};

// What QGuiApplication, QApplication and the X11 platform take from the
// command line; Qt reads each with one dash or two.
constexpr QtOption QtOptions[] = {
    {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},      {"qwindowtitle", true},  {"title", true},
    {"qwindowicon", true}, {"icon", true},              {"session", true},       {"display", true},
    {"name", true},       {"style", true},              {"stylesheet", true},    {"qmljsdebugger", true},
    {"reverse", false},   {"testability", false},       {"widgetcount", false},  {"nograb", false},
    {"dograb", false},    {"sync", false},
};

const QtOption* qtOption(QStringView name)
{
    const auto found = std::find_if(std::begin(QtOptions), std::end(QtOptions),
                                    [&](const QtOption& option) { return name == QLatin1String(option.name); });
    return found == std::end(QtOptions) ? nullptr : found;
}

const QString Help = QStringLiteral(
    "Usage: parlowen [Qt options]\n"
    "Keeps a dynamic DNS host name pointing at the router's WAN address. Opens the window;\n"
    "when a settings file exists, a check starts at once.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Shows this help and opens no window.\n"
    "  -v, --version  Shows the version and opens no window.\n"
    "Qt's own options, such as -platform, -style, -geometry and -display, are passed to Qt.\n"
    "\n"
    "parlowen-check runs the same check without a window; see parlowen-check --help.\n");

} // namespace

std::optional<TerminalAnswer> terminalAnswer(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return TerminalAnswer{QStringLiteral("parlowen " PARLOWEN_VERSION "\n")};
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("--help-all"))
            return TerminalAnswer{Help};
        QStringView name(argument);
        if (name.startsWith(QLatin1String("--")))
            name = name.mid(1);
        const qsizetype equals = name.indexOf(u'=');
        const QtOption* option =
            name.size() > 1 && name.startsWith(u'-') ? qtOption(name.mid(1, equals < 0 ? -1 : equals - 1)) : nullptr;
        if (!option)
            return TerminalAnswer{
                QStringLiteral("parlowen: unknown option %1; parlowen --help lists the options\n").arg(argument),
                2, true};
        if (option->takesValue && equals < 0)
            ++i;
    }
    return std::nullopt;
}

QString noDisplayLine(const QByteArray& display, const QByteArray& waylandDisplay)
{
    const QString what =
        display.isEmpty() && waylandDisplay.isEmpty()
            ? QStringLiteral("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)")
            : QStringLiteral("the display %1 could not be opened")
                  .arg(QString::fromLocal8Bit(display.isEmpty() ? "WAYLAND_DISPLAY=" + waylandDisplay
                                                                : "DISPLAY=" + display));
    return QStringLiteral("parlowen: %1; run it in a desktop session, or use parlowen-check in a terminal\n")
        .arg(what);
}

} // namespace parlowen
