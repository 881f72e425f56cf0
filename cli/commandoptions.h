#pragma once
// parlowen-check's options, its help, and the one line that tells what is
// wrong with a command line.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace parlowen::cli {

// The command's options, defined once on a parser.
struct Options {
    QCommandLineOption help;
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the version.")};
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
                       "when that was 25 days ago or more. Of two such checks at once, one sends and "
                       "the other waits for its record.")};
    QCommandLineOption state{
        QStringLiteral("state"),
        QStringLiteral("Where --if-changed remembers the last accepted address (default: "
                       "parlowen-check.state beside the settings file)."),
        QStringLiteral("FILE")};
    QCommandLineOption notify{
        QStringLiteral("notify"),
        QStringLiteral("For the timer: when checks start failing, tells the desktop once, with the reason; "
                       "it tells again only after a check has succeeded.")};
    QCommandLineOption noUpnp{
        QStringLiteral("no-upnp"),
        QStringLiteral("When the router's log has no \"WAN IP is\" line, gives up rather than asking the "
                       "router's UPnP service for its address (as UPnP=no in [Router settings] does).")};
    QCommandLineOption ipv6{
        QStringLiteral("ipv6"),
        QStringLiteral("For this run, as IPv6= in [DNS settings] says it: yes sends this computer's own IPv6 "
                       "address beside the router's IPv4 address, only sends it alone without asking the "
                       "router (for homes behind carrier-grade NAT or DS-Lite), no sends IPv4 alone."),
        QStringLiteral("yes|only|no")};
    QCommandLineOption pageText{
        QStringLiteral("page-text"),
        QStringLiteral("Prints the text the check reads, passwords masked, and runs no check. Without "
                       "SOURCE it loads the router page the settings name (--settings FILE may name "
                       "them); SOURCE is a saved page or an http(s) address.")};

    explicit Options(QCommandLineParser& parser);
    QList<QCommandLineOption> all() const
    {
        return {help, version, settings, dryRun, ifChanged, state, notify, noUpnp, ipv6, pageText};
    }
};

// What is wrong with arguments, which parser could not parse, in a few
// words: the option as it was typed, and the one meant where one is close.
QString parseProblem(const QCommandLineParser& parser, const Options& options, const QStringList& arguments);

// A usage error as the command shows it: one line, and where to look.
QString usageLine(const QString& problem);

} // namespace parlowen::cli
