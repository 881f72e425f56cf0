// parlowen-check: the command line, the settings, and the event loop that
// carries a check or a page dump to its end.
#include "cli/checkcommand.h"

#include "check/routerurl.h"
#include "check/wanaddress.h"
#include "cli/commandlinecheck.h"
#include "cli/laststate.h"
#include "html/pagetext.h"
#include "settings/module1.h"
#include "settings/settingkeys.h"
#include "settings/settingslocation.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <optional>

namespace parlowen::cli {

namespace {

const QString Description = QStringLiteral(
    "Runs one check of the router's WAN address without a window: loads the router's system log,\n"
    "finds \"WAN IP is <address>\", sends the address to the dynamic DNS provider and reports its "
    "answer.\n"
    "The result goes to standard output, a line for each step to standard error; passwords are "
    "masked.\n"
    "\n"
    "Exit status:\n"
    "  0  the provider accepted the address (also: --dry-run, an unchanged address with --if-changed)\n"
    "  1  the provider did not accept it\n"
    "  2  the router's page gave no address; nothing was sent\n"
    "  3  bad settings or command line; nothing was loaded");

struct ParsedCommand {
    QString settingsPath;
    QString statePath;
    QString pageTextSource;
    bool pageText = false;
    bool dryRun = false;
    bool ifChanged = false;
};

QString settingName(Setting setting)
{
    for (const SettingKey& key : SettingKeys) {
        if (key.setting == setting)
            return QStringLiteral("\"%1\" in [%2]").arg(key.key, key.section);
    }
    return {};
}

// Runs the event loop until the work started by start() calls done().
int runToCompletion(const std::function<void(std::function<void(int)>)>& start)
{
    std::optional<int> exitCode;
    QEventLoop loop;
    start([&](int code) {
        exitCode = code;
        loop.quit();
    });
    // A quit() before exec() would be lost.
    if (!exitCode)
        loop.exec();
    return *exitCode;
}

bool isWebAddress(const QString& url)
{
    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && !parsed.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The six settings, or why they cannot make a check.
std::optional<CheckSettings> readSettings(const QString& path, Console& console)
{
    if (!isRegularFile(path)) {
        console.step(QStringLiteral("Settings: no settings file at %1. Save the settings from the window, "
                                    "or name a file with --settings FILE.")
                         .arg(path));
        return std::nullopt;
    }
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        console.step(QStringLiteral("Settings: %1 cannot be read: %2").arg(path, probe.errorString()));
        return std::nullopt;
    }
    probe.close();

    Module1 module;
    module.SetSettingsFile(path);
    CheckSettings settings;
    for (const SettingKey& key : SettingKeys) {
        const QString value = module.ReadSetting(key.section.toString(), key.key.toString());
        switch (key.setting) {
        case Setting::RouterPassword:
            settings.routerPassword = value;
            break;
        case Setting::RouterAddress:
            settings.routerAddress = value;
            break;
        case Setting::ServiceUrl:
            settings.serviceUrl = value;
            break;
        case Setting::UserName:
            settings.userName = value;
            break;
        case Setting::ServicePassword:
            settings.servicePassword = value;
            break;
        case Setting::Host:
            settings.host = value;
            break;
        }
    }
    // Known before anything is printed about them.
    console.redactor().addSecret(settings.routerPassword);
    console.redactor().addSecret(settings.servicePassword);

    // The window would still load something with these; a timer is better
    // off failing loudly than sending to a wrong or empty address each time.
    QStringList problems;
    if (settings.routerAddress.trimmed().isEmpty()) {
        problems
            << QStringLiteral("the router address (%1) is empty").arg(settingName(Setting::RouterAddress));
    } else if (!isWebAddress(routerLogUrl(settings.routerPassword, settings.routerAddress))) {
        problems << QStringLiteral("the router address %1 (%2) does not make a web address; give it "
                                   "as a number such as 192.168.1.1 or a host name, without a port")
                        .arg(quoted(settings.routerAddress), settingName(Setting::RouterAddress));
    }
    if (settings.serviceUrl.trimmed().isEmpty()) {
        problems << QStringLiteral("the service URL (%1) is empty, so there is nowhere to send the address")
                        .arg(settingName(Setting::ServiceUrl));
    } else if (!isWebAddress(settings.serviceUrl)) {
        problems << QStringLiteral("the service URL %1 (%2) is not an http:// or https:// address")
                        .arg(quoted(maskedUrl(settings.serviceUrl)), settingName(Setting::ServiceUrl));
    }
    if (settings.host.trimmed().isEmpty()) {
        problems << QStringLiteral("the host name (%1) is empty, so the provider would not know which "
                                   "name to update")
                        .arg(settingName(Setting::Host));
    }
    for (const QString& problem : problems)
        console.step(QStringLiteral("Settings: in %1, %2.").arg(path, problem));
    if (!problems.isEmpty())
        return std::nullopt;
    return settings;
}

int showPageTextOfFile(const QString& path, Console& console)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        console.step(QStringLiteral("Page: %1 cannot be read: %2").arg(path, file.errorString()));
        return ExitBadUsage;
    }
    // A saved page has no Content-Type; the browser engine treats it as HTML.
    const HtmlDocument page(path, pageText(file.readAll(), {}), 200);
    console.raw(page.body().innerText());
    const std::optional<QString> address = extractWanAddress(page.body().innerText());
    console.step(address ? QStringLiteral("Page: WAN address %1").arg(quoted(*address))
                         : QStringLiteral("Page: no WAN address: %1").arg(whyNoAddress(page)));
    return ExitAccepted;
}

int showPageTextOfUrl(const QString& url, Console& console, const CommandEnvironment& environment)
{
    BrowserEngine browser;
    browser.setLimits(environment.limits);
    console.step(QStringLiteral("Page: loading %1").arg(maskedUrl(url)));
    return runToCompletion([&](std::function<void(int)> done) {
        QObject::connect(&browser, &BrowserEngine::DocumentComplete, &browser, [&, done] {
            const HtmlDocument& page = browser.Document();
            if (page.loadError() != LoadError::None) {
                console.step(QStringLiteral("Page: not loaded: %1").arg(toString(page.loadError())));
                return done(ExitNoAddress);
            }
            console.raw(page.body().innerText());
            const std::optional<QString> address = extractWanAddress(page.body().innerText());
            console.step(address ? QStringLiteral("Page: HTTP %1, WAN address %2")
                                       .arg(page.httpStatus())
                                       .arg(quoted(*address))
                                 : QStringLiteral("Page: HTTP %1, no WAN address: %2")
                                       .arg(page.httpStatus())
                                       .arg(whyNoAddress(page)));
            done(ExitAccepted);
        });
        browser.Navigate(url);
    });
}

bool isHttpSource(const QString& source)
{
    return source.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           source.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err,
        const CommandEnvironment& environment)
{
    Console console(out, err);

    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version."));
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("The settings file (default: Settings.ini beside the program, as for the window). "
                       "It is only read."),
        QStringLiteral("FILE"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Stops before sending: prints the update address, "
                                                   "passwords masked."));
    const QCommandLineOption ifChanged(
        QStringLiteral("if-changed"),
        QStringLiteral("Sends only when the address differs from the last one the provider accepted, or "
                       "when that was 25 days ago or more."));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("Where --if-changed remembers the last accepted address (default: "
                       "parlowen-check.state beside the settings file)."),
        QStringLiteral("FILE"));
    const QCommandLineOption pageTextOption(
        QStringLiteral("page-text"),
        QStringLiteral("Prints the text the check reads from a page, a saved file or an http(s) address, "
                       "and runs no check."),
        QStringLiteral("SOURCE"));
    parser.addOptions({version, settingsOption, dryRun, ifChanged, stateOption, pageTextOption});

    const auto usageError = [&](const QString& problem) {
        console.step(problem);
        err << '\n' << parser.helpText();
        err.flush();
        return int(ExitBadUsage);
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first()));
    // Qt adds --help-all beside --help; there are no Qt options to show here.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText();
        out.flush();
        return ExitAccepted;
    }
    if (parser.isSet(version)) {
        console.result(QStringLiteral("parlowen-check " PARLOWEN_VERSION));
        return ExitAccepted;
    }

    if (parser.isSet(pageTextOption)) {
        if (parser.isSet(settingsOption) || parser.isSet(dryRun) || parser.isSet(ifChanged) ||
            parser.isSet(stateOption))
            return usageError(QStringLiteral("--page-text shows a page and runs no check; it takes no "
                                             "other option."));
        const QString source = parser.value(pageTextOption);
        return isHttpSource(source) ? showPageTextOfUrl(source, console, environment)
                                    : showPageTextOfFile(source, console);
    }
    if (parser.isSet(stateOption) && !parser.isSet(ifChanged))
        return usageError(QStringLiteral("--state is only used with --if-changed."));

    const QString settingsPath =
        parser.isSet(settingsOption)
            ? parser.value(settingsOption)
            : pathInDirectory(executableDirectory(), QString::fromUtf16(SettingsFileName));
    CheckOptions options;
    options.dryRun = parser.isSet(dryRun);
    options.ifChanged = parser.isSet(ifChanged);
    options.statePath = parser.isSet(stateOption) ? parser.value(stateOption)
                                                  : pathInDirectory(QFileInfo(settingsPath).absolutePath(),
                                                                    QString::fromUtf16(StateFileName));
    options.settingsPath = settingsPath;
    // The settings file belongs to the window and is never written here; a
    // pipe would make --if-changed wait forever.
    if (options.ifChanged) {
        if (const auto usable = checkStateFile(options.statePath, settingsPath); !usable)
            return usageError(QStringLiteral("--if-changed: %1.").arg(usable.failure().message()));
    }

    std::optional<CheckSettings> settings = readSettings(settingsPath, console);
    if (!settings)
        return ExitBadUsage;

    CommandLineCheck check(std::move(*settings), options, console, environment);
    return runToCompletion([&](std::function<void(int)> done) {
        QObject::connect(&check, &CommandLineCheck::finished, &check, [done](int code) { done(code); });
        check.start();
    });
}

} // namespace parlowen::cli
