// parlowen-check's options and the words for a command line it cannot use.
#include "cli/commandoptions.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

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
    "  1  the provider did not accept it, or another check held the state file too long\n"
    "  2  the router's page gave no address; nothing was sent\n"
    "  3  bad settings, command line or state file; nothing was loaded");

// The edits that turn one name into the other, a swap of two neighbours
// counting as one: the typing slips a suggestion should forgive.
qsizetype editDistance(const QString& from, const QString& to)
{
    std::vector<std::vector<qsizetype>> d(from.size() + 1, std::vector<qsizetype>(to.size() + 1));
    for (qsizetype i = 0; i <= from.size(); ++i)
        d[i][0] = i;
    for (qsizetype j = 0; j <= to.size(); ++j)
        d[0][j] = j;
    for (qsizetype i = 1; i <= from.size(); ++i) {
        for (qsizetype j = 1; j <= to.size(); ++j) {
            const qsizetype substitution = d[i - 1][j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, substitution});
            if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[from.size()][to.size()];
}

// The long option closest to name, when it is close enough to be meant.
QString nearestOption(const QString& name, const Options& options)
{
    if (name.size() < 3)
        return {};
    QString nearest;
    qsizetype best = std::max<qsizetype>(1, name.size() / 4) + 1;
    for (const QCommandLineOption& option : options.all()) {
        for (const QString& candidate : option.names()) {
            const qsizetype distance = editDistance(name.toLower(), candidate);
            if (candidate.size() > 1 && distance < best) {
                best = distance;
                nearest = candidate;
            }
        }
    }
    return nearest;
}

// The argument the way it was typed, one or two dashes, without a value
// given with "=".
QString asTyped(const QString& name, const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        const QString option = argument.section(u'=', 0, 0);
        if (option == u'-' + name || option == QLatin1String("--") + name)
            return option;
    }
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const QCommandLineOption* optionNamed(const QString& typed, const QList<QCommandLineOption>& all)
{
    const QString name = QString(typed).remove(QRegularExpression(QStringLiteral("^-+")));
    for (const QCommandLineOption& option : all) {
        if (option.names().contains(name))
            return &option;
    }
    return nullptr;
}

} // namespace

Options::Options(QCommandLineParser& parser) : help(parser.addHelpOption())
{
    parser.setApplicationDescription(Description);
    // "-version" or "-if-changed" as one option, never as letters of their own.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({version, settings, dryRun, ifChanged, state, notify, noUpnp, ipv6, pageText});
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("With --page-text: a saved page or an http(s) address."),
                                 QStringLiteral("[--page-text [SOURCE]]"));
}

QString parseProblem(const QCommandLineParser& parser, const Options& options, const QStringList& arguments)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().first();
        const QString nearest = nearestOption(name, options);
        return nearest.isEmpty() ? QStringLiteral("unknown option %1.").arg(asTyped(name, arguments))
                                 : QStringLiteral("unknown option %1; did you mean --%2?")
                                       .arg(asTyped(name, arguments), nearest);
    }
    // Qt names the option in quotes; which of its two complaints it is, the
    // option itself tells.
    static const QRegularExpression quotedOption(QStringLiteral("'(-[^']*)'"));
    const QString typed = quotedOption.match(parser.errorText()).captured(1);
    const QList<QCommandLineOption> all = options.all();
    if (const QCommandLineOption* option = optionNamed(typed, all)) {
        return option->valueName().isEmpty()
                   ? QStringLiteral("%1 takes no value.").arg(typed)
                   : QStringLiteral("%1 needs a %2 after it.").arg(typed, option->valueName());
    }
    QString words = parser.errorText();
    if (!words.isEmpty())
        words[0] = words[0].toLower();
    return words;
}

QString usageLine(const QString& problem)
{
    return QStringLiteral("parlowen-check: %1 parlowen-check --help lists the options.").arg(problem);
}

} // namespace parlowen::cli
