// parlowen-check: the command line, the settings, and the event loop that
// carries a check or a page dump to its end.
#include "cli/checkcommand.h"

#include "check/fieldproblem.h"
#include "check/wanaddress.h"
#include "cli/commandlinecheck.h"
#include "html/pagetext.h"
#include "settings/laststate.h"
#include "settings/module1.h"
#include "settings/settingkeys.h"
#include "settings/settingslocation.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

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

// The six settings as the file has them; nothing when it cannot be read.
std::optional<CheckSettings> readSettingsFile(const QString& path, Console& console)
{
    Module1 module;
    module.SetSettingsFile(path);
    const auto read = module.ReadSettings();
    if (!read) {
        console.step(QStringLiteral("Settings: %1 cannot be read: %2").arg(path, read.failure().message()));
        return std::nullopt;
    }
    if (!read.value()) {
        console.step(QStringLiteral("Settings: no settings file at %1. Save the settings from the window, "
                                    "or name a file with --settings FILE.")
                         .arg(path));
        return std::nullopt;
    }
    const SettingValues& values = *read.value();
    CheckSettings settings{values[Setting::RouterPassword],  values[Setting::RouterAddress],
                           values[Setting::ServiceUrl],      values[Setting::UserName],
                           values[Setting::ServicePassword], values[Setting::Host]};
    // Known before anything is printed about them.
    console.redactor().addSecret(settings.routerPassword, QStringLiteral("admin"));
    console.redactor().addSecret(settings.servicePassword, settings.userName);
    return settings;
}

// Why the settings cannot make a check: the window would still load
// something with most of these, but a timer is better off failing loudly
// than sending to a wrong or empty address each time.
QStringList settingsProblems(const CheckSettings& settings)
{
    QStringList problems;
    if (const std::optional<FieldProblem> problem = routerAddressProblem(settings.routerAddress)) {
        problems << QStringLiteral("the router address %1 (%2) %3")
                        .arg(quoted(settings.routerAddress), settingName(Setting::RouterAddress),
                             toString(*problem));
    }
    if (const std::optional<FieldProblem> problem = serviceUrlProblem(settings.serviceUrl)) {
        problems << QStringLiteral("the service URL %1 (%2) %3")
                        .arg(quoted(maskedUrl(settings.serviceUrl)), settingName(Setting::ServiceUrl),
                             toString(*problem));
    }
    if (settings.host.trimmed().isEmpty()) {
        problems << QStringLiteral("the host name (%1) is empty, so the provider would not know which "
                                   "name to update")
                        .arg(settingName(Setting::Host));
    }
    return problems;
}

// The six settings, or why they cannot make a check.
std::optional<CheckSettings> readSettings(const QString& path, Console& console)
{
    std::optional<CheckSettings> settings = readSettingsFile(path, console);
    if (!settings)
        return std::nullopt;
    const QStringList problems = settingsProblems(*settings);
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
    Result<QString, PageTextError> text = renderPageText(file.readAll(), {});
    if (!text) {
        console.step(QStringLiteral("Page: %1 cannot be read: %2").arg(path, toString(text.error())));
        return ExitNoAddress;
    }
    const HtmlDocument page(path, std::move(text).value(), 200);
    console.raw(page.body().innerText());
    const std::optional<QString> address = extractWanAddress(page.body().innerText());
    console.step(address ? QStringLiteral("Page: WAN address %1").arg(quoted(*address))
                         : QStringLiteral("Page: no WAN address: %1").arg(*reasonForNoAddress(page)));
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
                                       .arg(*reasonForNoAddress(page)));
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

// The command's options, defined once on a parser.
struct Options {
    QCommandLineOption help;
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Shows the version.")};
    QCommandLineOption settings{
        QStringLiteral("settings"),
        QStringLiteral("The settings file (default: the window's, Settings.ini beside the program or in "
                       "~/.config/parlowen). It is only read."),
        QStringLiteral("FILE")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Stops before sending: prints the update address, "
                                             "passwords masked.")};
    QCommandLineOption ifChanged{
        QStringLiteral("if-changed"),
        QStringLiteral("Sends only when the address differs from the last one the provider accepted, or "
                       "when that was 25 days ago or more.")};
    QCommandLineOption state{
        QStringLiteral("state"),
        QStringLiteral("Where --if-changed remembers the last accepted address (default: "
                       "parlowen-check.state beside the settings file)."),
        QStringLiteral("FILE")};
    QCommandLineOption pageText{
        QStringLiteral("page-text"),
        QStringLiteral("Prints the text the check reads from a page, a saved file or an http(s) address, "
                       "and runs no check."),
        QStringLiteral("SOURCE")};

    explicit Options(QCommandLineParser& parser) : help(parser.addHelpOption())
    {
        parser.setApplicationDescription(Description);
        parser.addOptions({version, settings, dryRun, ifChanged, state, pageText});
    }
};

// One run of the command, from its arguments to its exit code.
class Command {
public:
    Command(QTextStream& out, QTextStream& err, const CommandEnvironment& environment)
        : m_console(out, err), m_out(out), m_err(err), m_environment(environment)
    {}

    int run(const QStringList& arguments);

private:
    int usageError(const QString& problem);
    // The exit code of a run that checks nothing: help, version, page text.
    std::optional<int> runWithoutCheck();
    int runCheck();

    Console m_console;
    QTextStream& m_out;
    QTextStream& m_err;
    const CommandEnvironment& m_environment;
    QCommandLineParser m_parser;
    Options m_options{m_parser};
};

int Command::run(const QStringList& arguments)
{
    if (!m_parser.parse(arguments))
        return usageError(m_parser.errorText());
    if (!m_parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("Unexpected argument: %1").arg(m_parser.positionalArguments().first()));
    if (const std::optional<int> exitCode = runWithoutCheck())
        return *exitCode;
    return runCheck();
}

int Command::usageError(const QString& problem)
{
    m_console.step(problem);
    m_err << '\n' << m_parser.helpText();
    m_err.flush();
    return ExitBadUsage;
}

std::optional<int> Command::runWithoutCheck()
{
    // Qt adds --help-all beside --help; there are no Qt options to show here.
    if (m_parser.isSet(m_options.help) || m_parser.isSet(QStringLiteral("help-all"))) {
        m_out << m_parser.helpText();
        m_out.flush();
        return ExitAccepted;
    }
    if (m_parser.isSet(m_options.version)) {
        m_console.result(QStringLiteral("parlowen-check " PARLOWEN_VERSION));
        return ExitAccepted;
    }
    if (!m_parser.isSet(m_options.pageText))
        return std::nullopt;
    for (const QCommandLineOption& other :
         {m_options.settings, m_options.dryRun, m_options.ifChanged, m_options.state}) {
        if (m_parser.isSet(other))
            return usageError(QStringLiteral("--page-text shows a page and runs no check; it takes no "
                                             "other option."));
    }
    const QString source = m_parser.value(m_options.pageText);
    return isHttpSource(source) ? showPageTextOfUrl(source, m_console, m_environment)
                                : showPageTextOfFile(source, m_console);
}

int Command::runCheck()
{
    if (m_parser.isSet(m_options.state) && !m_parser.isSet(m_options.ifChanged))
        return usageError(QStringLiteral("--state is only used with --if-changed."));
    const QString settingsPath =
        m_parser.isSet(m_options.settings) ? m_parser.value(m_options.settings) : settingsFileOfThisProgram();
    CheckOptions options;
    options.dryRun = m_parser.isSet(m_options.dryRun);
    options.ifChanged = m_parser.isSet(m_options.ifChanged);
    options.statePath =
        m_parser.isSet(m_options.state) ? m_parser.value(m_options.state) : stateFileBeside(settingsPath);
    options.settingsPath = settingsPath;
    // The settings file belongs to the window and is never written here; a
    // pipe would make --if-changed wait forever.
    if (options.ifChanged) {
        if (const auto usable = checkStateFile(options.statePath, settingsPath); !usable)
            return usageError(QStringLiteral("--if-changed: %1.").arg(usable.failure().message()));
    }

    std::optional<CheckSettings> settings = readSettings(settingsPath, m_console);
    if (!settings)
        return ExitBadUsage;
    CommandLineCheck check(std::move(*settings), options, m_console, m_environment);
    return runToCompletion([&](std::function<void(int)> done) {
        QObject::connect(&check, &CommandLineCheck::finished, &check, [done](int code) { done(code); });
        check.start();
    });
}

} // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err,
        const CommandEnvironment& environment)
{
    return Command(out, err, environment).run(arguments);
}

} // namespace parlowen::cli
