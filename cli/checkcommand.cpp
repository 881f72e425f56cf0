// parlowen-check: the command line, the settings, and the event loop that
// carries a check or a page dump to its end.
#include "cli/checkcommand.h"

#include "check/excerpt.h"
#include "check/fieldproblem.h"
#include "check/ipv6support.h"
#include "check/ipv6words.h"
#include "check/providers.h"
#include "check/routerpage.h"
#include "check/routerurl.h"
#include "check/sheetwords.h"
#include "check/wanaddress.h"
#include "cli/commandlinecheck.h"
#include "cli/commandoptions.h"
#include "cli/failurenotice.h"
#include "cli/ifchanged.h"
#include "css/sheetset.h"
#include "html/parsedpage.h"
#include "profile/regularfile.h"
#include "settings/laststate.h"
#include "settings/module1.h"
#include "settings/settingkeys.h"
#include "settings/settingslocation.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QUrl>

#include <optional>

namespace parlowen::cli {

namespace {

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

// The six settings as the file has them, and the IPv6 key's value as
// written into ipv6Value where it is wanted; when the file cannot be read,
// nothing, and why in problems.
std::optional<CheckSettings> readSettingsFile(const QString& path, Console& console, QStringList& problems,
                                              QString* ipv6Value = nullptr)
{
    Module1 module;
    module.SetSettingsFile(path);
    const auto read = module.ReadSettings();
    if (!read) {
        problems << QStringLiteral("%1 cannot be read: %2").arg(path, read.failure().message());
        return std::nullopt;
    }
    if (!read.value()) {
        problems << QStringLiteral("no settings file at %1. Save the settings from the window, or name a "
                                   "file with --settings FILE.")
                        .arg(path);
        return std::nullopt;
    }
    const SettingValues& values = *read.value();
    CheckSettings settings{values[Setting::RouterPassword],
                           values[Setting::RouterAddress],
                           values[Setting::ServiceUrl],
                           values[Setting::UserName],
                           values[Setting::ServicePassword],
                           values[Setting::Host],
                           values.askUpnp};
    if (ipv6Value)
        *ipv6Value = values.ipv6;
    // Known before anything is printed about them.
    console.redactor() = redactorFor(settings);
    return settings;
}

// Before a load, as the window does: a router address that is more than a
// host could send the router's password elsewhere.
std::optional<QString> routerAddressRefusal(const QString& path, const CheckSettings& settings,
                                            const Console& console)
{
    const std::optional<FieldProblem> problem = routerAddressProblem(settings.routerAddress);
    if (!problem)
        return std::nullopt;
    return QStringLiteral("in %1, the router address %2 (%3) %4.")
        .arg(path, quoted(console.shown(settings.routerAddress)), settingName(Setting::RouterAddress),
             toString(*problem));
}

// Why the settings cannot make a check: the window would still load
// something with most of these, but a timer is better off failing loudly
// than sending to a wrong or empty address each time.
QStringList settingsProblems(const QString& path, const CheckSettings& settings, const Console& console)
{
    QStringList problems;
    // IPv6=only never asks the router.
    if (settings.ipv6 != Ipv6Mode::Only) {
        if (const std::optional<QString> refusal = routerAddressRefusal(path, settings, console))
            problems << *refusal;
    }
    if (const std::optional<FieldProblem> problem = serviceUrlProblem(settings.serviceUrl)) {
        problems << QStringLiteral("in %1, the service URL %2 (%3) %4.")
                        .arg(path, quoted(console.shownUrl(settings.serviceUrl)),
                             settingName(Setting::ServiceUrl), toString(*problem));
    }
    // A provider whose account or token names the record needs no host name.
    const Provider* provider = providerFor(settings.serviceUrl);
    const bool hostNeeded = !provider || provider->hostForm != HostForm::NotSent;
    if (hostNeeded && settings.host.trimmed().isEmpty()) {
        problems << QStringLiteral("in %1, the host name (%2) is empty, so the provider would not know "
                                   "which name to update.")
                        .arg(path, settingName(Setting::Host));
    }
    if (const std::optional<QString> refusal = ipv6Refusal(settings.ipv6, settings.serviceUrl))
        problems << QStringLiteral("in %1, %2").arg(path, *refusal);
    return problems;
}

void reportSettingsProblems(const QStringList& problems, Console& console)
{
    for (const QString& problem : problems)
        console.failure(QStringLiteral("Settings: %1").arg(problem));
}

// The sheets a saved page links to, read from files beside it or in
// folders below, as its sheet set asks for them: a saved page reaches
// neither the network nor the rest of the disk.
PageStyleSheets sheetsBesidePage(const ParsedPage& page, const QString& path)
{
    const QFileInfo info(path);
    const QUrl pageUrl = QUrl::fromLocalFile(info.absoluteFilePath());
    const QString folder = info.canonicalPath() + u'/';
    SheetSet sheets(pageUrl, page.linkedStyleSheets(pageUrl),
                    sheetLimitsBeside(page.bytes(), BrowserLimits().maxBodyBytes));
    while (const std::optional<QUrl> url = sheets.next()) {
        // Canonical, so that neither ".." nor a link leads out of the folder.
        const QString found = QFileInfo(url->toLocalFile()).canonicalFilePath();
        auto read = found.isEmpty() || !found.startsWith(folder)
                        ? Result<std::optional<QByteArray>, FileError>(std::nullopt)
                        : readRegularFile(found, sheets.room());
        if (read && read.value())
            sheets.fetched(std::move(*read.value()), {});
        else
            sheets.failed(!read && read.error() == FileError::TooLarge ? SheetSkip::TooLarge
                                                                       : SheetSkip::NotLoaded);
    }
    return std::move(sheets).finish();
}

void showSkippedSheets(const QList<SkippedSheet>& skipped, Console& console)
{
    for (const SkippedSheet& sheet : skipped)
        console.warning(skippedSheetStep(console.shownUrl(sheet.url.toString()), sheet.why));
}

int showPageTextOfFile(const QString& path, Console& console)
{
    // No more than a page loaded from the router may hold; a pipe or a
    // device is refused before anything waits on it.
    auto read = readRegularFile(path, BrowserLimits().maxBodyBytes);
    if (!read || !read.value()) {
        const QString why = read ? QStringLiteral("there is no such file.") : read.failure().message();
        console.failure(QStringLiteral("Page: %1 cannot be read: %2").arg(path, why));
        return ExitBadUsage;
    }
    // A saved page has no Content-Type; the browser engine treats it as HTML.
    std::shared_ptr<const ParsedPage> parsed = ParsedPage::parse(std::move(*read.value()), {});
    const PageStyleSheets sheets = sheetsBesidePage(*parsed, path);
    showSkippedSheets(sheets.skipped, console);
    Result<PageText, PageTextError> text = ParsedPage::text(std::move(parsed), &sheets);
    if (!text) {
        console.failure(QStringLiteral("Page: %1 cannot be read: %2").arg(path, toString(text.error())));
        return ExitNoAddress;
    }
    PageText rendered = std::move(text).value();
    const HtmlDocument page(path, std::move(rendered.text), 200, LoadError::None, {},
                            std::move(rendered.doubt));
    console.raw(page.body().innerText());
    const std::optional<QString> address = trustedWanAddress(loadedPage(page, LoadPeer::Router));
    console.step(address ? QStringLiteral("Page: WAN address %1").arg(quoted(console.shown(*address)))
                         : QStringLiteral("Page: no WAN address: %1").arg(*reasonForNoAddress(page)));
    return ExitAccepted;
}

int showPageTextOfUrl(const QString& url, Console& console, const CommandEnvironment& environment)
{
    // A password typed into the address is as secret as the saved ones.
    const QUrl parsed(url);
    if (!parsed.password().isEmpty())
        console.redactor().addSecret(parsed.password(QUrl::FullyDecoded),
                                     parsed.userName(QUrl::FullyDecoded));
    BrowserEngine browser;
    browser.setLimits(environment.limits);
    console.step(QStringLiteral("Page: loading %1").arg(console.shownUrl(url)));
    return runToCompletion([&](std::function<void(int)> done) {
        QObject::connect(&browser, &BrowserEngine::DocumentComplete, &browser, [&, done] {
            const HtmlDocument& page = browser.Document();
            if (page.loadError() != LoadError::None) {
                console.failure(QStringLiteral("Page: not loaded: %1").arg(toString(page.loadError())));
                return done(ExitNoAddress);
            }
            showSkippedSheets(page.skippedSheets(), console);
            console.raw(page.body().innerText());
            const std::optional<QString> address = trustedWanAddress(loadedPage(page, LoadPeer::Router));
            console.step(address ? QStringLiteral("Page: HTTP %1, WAN address %2")
                                       .arg(page.httpStatus())
                                       .arg(quoted(console.shown(*address)))
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

// QCommandLineParser gives an option a value always or never; SOURCE is
// therefore an argument of its own, and the "--page-text=FILE" that worked
// when it was the option's value is split into the two.
QStringList withPageTextSourceApart(QStringList arguments)
{
    const QString prefix = QStringLiteral("--page-text=");
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
        if (arguments[i].startsWith(prefix)) {
            const QString source = arguments[i].mid(prefix.size());
            arguments[i] = QStringLiteral("--page-text");
            arguments.insert(++i, source);
        }
    }
    return arguments;
}

// One run of the command, from its arguments to its exit code.
class Command {
public:
    Command(QTextStream& out, QTextStream& err, const CommandEnvironment& environment)
        : m_console(out, err), m_out(out), m_environment(environment)
    {}

    int run(const QStringList& arguments);

private:
    int usageError(const QString& problem);
    // The exit code of a run that checks nothing: help, version, page text.
    std::optional<int> runWithoutCheck();
    int showPageText();
    int showRouterPageText();
    QString settingsPath() const;
    int runCheck();
    int checkOnce(QString& failureReason);
    // The check's settings, or nothing, the problems told and failureReason set.
    std::optional<CheckSettings> usableSettings(const QString& settingsPath, QString& failureReason);

    Console m_console;
    QTextStream& m_out;
    const CommandEnvironment& m_environment;
    QCommandLineParser m_parser;
    Options m_options{m_parser};
};

int Command::run(const QStringList& arguments)
{
    const QStringList apart = withPageTextSourceApart(arguments);
    if (!m_parser.parse(apart))
        return usageError(parseProblem(m_parser, m_options, apart));
    if (const std::optional<int> exitCode = runWithoutCheck())
        return *exitCode;
    return runCheck();
}

// The whole help would bury the one thing that is wrong.
int Command::usageError(const QString& problem)
{
    m_console.failure(usageLine(problem));
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
    if (m_parser.isSet(m_options.pageText))
        return showPageText();
    if (!m_parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument %1: only --page-text takes a SOURCE.")
                              .arg(quoted(m_parser.positionalArguments().first())));
    return std::nullopt;
}

int Command::showPageText()
{
    for (const QCommandLineOption& other :
         {m_options.dryRun, m_options.ifChanged, m_options.state, m_options.notify, m_options.noUpnp,
          m_options.ipv6}) {
        if (m_parser.isSet(other))
            return usageError(QStringLiteral("--page-text shows a page and runs no check; it takes no "
                                             "other option than --settings."));
    }
    const QStringList sources = m_parser.positionalArguments();
    if (sources.isEmpty())
        return showRouterPageText();
    if (sources.size() > 1)
        return usageError(
            QStringLiteral("--page-text shows one page: %1 is one SOURCE too many.").arg(sources.at(1)));
    if (m_parser.isSet(m_options.settings))
        return usageError(QStringLiteral("--page-text %1 shows that page and reads no settings: leave out "
                                         "either SOURCE or --settings.")
                              .arg(sources.first()));
    const QString& source = sources.first();
    if (source.isEmpty())
        return usageError(QStringLiteral("--page-text was given an empty SOURCE: name a saved page or an "
                                         "http(s) address, or none for the router page of the settings."));
    return isHttpSource(source) ? showPageTextOfUrl(source, m_console, m_environment)
                                : showPageTextOfFile(source, m_console);
}

int Command::showRouterPageText()
{
    const QString path = settingsPath();
    QStringList problems;
    std::optional<CheckSettings> settings = readSettingsFile(path, m_console, problems);
    if (settings) {
        if (const std::optional<QString> refusal = routerAddressRefusal(path, *settings, m_console))
            problems << *refusal;
    }
    reportSettingsProblems(problems, m_console);
    if (!problems.isEmpty())
        return ExitBadUsage;
    return showPageTextOfUrl(routerLogUrl(settings->routerPassword, settings->routerAddress), m_console,
                             m_environment);
}

QString Command::settingsPath() const
{
    return m_parser.isSet(m_options.settings) ? m_parser.value(m_options.settings)
                                              : settingsFileOfThisProgram();
}

int Command::runCheck()
{
    QString failureReason;
    const int exitCode = checkOnce(failureReason);
    if (m_parser.isSet(m_options.notify))
        tellDesktopOfOutcome(exitCode, failureReason, m_environment);
    return exitCode;
}

// One check; failureReason says in a sentence why it failed, if it did.
int Command::checkOnce(QString& failureReason)
{
    if (m_parser.isSet(m_options.state) && !m_parser.isSet(m_options.ifChanged)) {
        failureReason = QStringLiteral("The command line is wrong: --state is only used with --if-changed.");
        return usageError(QStringLiteral("--state is only used with --if-changed."));
    }
    const QString settingsPath = this->settingsPath();
    CheckOptions options;
    options.dryRun = m_parser.isSet(m_options.dryRun);
    options.ifChanged = m_parser.isSet(m_options.ifChanged);
    options.statePath =
        m_parser.isSet(m_options.state) ? m_parser.value(m_options.state) : stateFileBeside(settingsPath);
    options.settingsPath = settingsPath;
    removeAbandonedSavesOf(settingsPath, options.statePath);
    if (options.ifChanged) {
        if (const auto unusable = unusableStateFile(options.statePath, settingsPath)) {
            failureReason = QStringLiteral("The file where --if-changed remembers the last address is "
                                           "unusable: %1.")
                                .arg(unusable->message());
            for (const QString& line : refusalLines(*unusable, options.statePath))
                m_console.failure(line);
            return ExitBadUsage;
        }
    }

    std::optional<CheckSettings> settings = usableSettings(settingsPath, failureReason);
    if (!settings)
        return ExitBadUsage;
    CommandLineCheck check(std::move(*settings), options, m_console, m_environment);
    const int exitCode = runToCompletion([&](std::function<void(int)> done) {
        QObject::connect(&check, &CommandLineCheck::finished, &check, [done](int code) { done(code); });
        check.start();
    });
    failureReason = check.failureReason();
    return exitCode;
}

std::optional<CheckSettings> Command::usableSettings(const QString& settingsPath, QString& failureReason)
{
    const bool ipv6Given = m_parser.isSet(m_options.ipv6);
    if (ipv6Given && !parseIpv6Mode(m_parser.value(m_options.ipv6))) {
        failureReason = QStringLiteral("The command line is wrong: --ipv6 takes yes, only or no.");
        usageError(QStringLiteral("--ipv6 takes yes, only or no, not %1.")
                       .arg(quoted(m_parser.value(m_options.ipv6))));
        return std::nullopt;
    }
    QStringList problems;
    QString ipv6Value;
    std::optional<CheckSettings> settings = readSettingsFile(settingsPath, m_console, problems, &ipv6Value);
    if (settings) {
        // The option stands for the key in this run, whatever the key says.
        if (ipv6Given)
            ipv6Value = m_parser.value(m_options.ipv6);
        if (const std::optional<QString> problem = ipv6ValueProblem(ipv6Value))
            problems << QStringLiteral("in %1, %2").arg(settingsPath, *problem);
        settings->ipv6 = parseIpv6Mode(ipv6Value).value_or(Ipv6Mode::No);
        problems << settingsProblems(settingsPath, *settings, m_console);
    }
    if (!problems.isEmpty()) {
        reportSettingsProblems(problems, m_console);
        failureReason = QStringLiteral("The settings cannot be used: %1").arg(problems.join(u' '));
        return std::nullopt;
    }
    if (m_parser.isSet(m_options.noUpnp))
        settings->askUpnp = false;
    return settings;
}

} // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err,
        const CommandEnvironment& environment)
{
    return Command(out, err, environment).run(arguments);
}

} // namespace parlowen::cli
