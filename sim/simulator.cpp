// parlowen-simulator: a router and a dynamic DNS provider on loopback, for the
// demo and the benchmarks. The router serves its system-log page behind Basic
// authentication; the provider answers updates the way most providers do.
// With --upnp the router is a UPnP gateway too, for clients that ask it for
// the address when its log has none.
#include "sim/fakehttpserver.h"
#include "sim/routersim.h"
#include "sim/upnpgateway.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using parlowen::sim::FakeHttpServer;
using parlowen::sim::RecordedRequest;
namespace sim = parlowen::sim;

namespace {

const QString RouterLogPath = QStringLiteral("/doc/syslog.htm");
const QString UpdatePath = QStringLiteral("/dyn.asp");

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    // Only a write is safe here; the event loop does the quitting.
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the servers close their sockets
// and the process exits 0 rather than dying mid-answer.
bool quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString credentialsForLog(const RecordedRequest& request)
{
    const QByteArray authorization = request.authorization();
    if (authorization.isEmpty())
        return QStringLiteral("no credentials");
    if (!authorization.startsWith("Basic "))
        return QString::fromLatin1(authorization.left(authorization.indexOf(' '))) + QStringLiteral(" ***");
    return QStringLiteral("Basic ") + request.basicCredentials().first + QStringLiteral(":***");
}

// What the command line asks for.
struct Settings {
    quint16 routerPort = 80;
    quint16 providerPort = 8080;
    QString routerPassword;
    std::optional<QString> wanAddress; // nothing: the log has no WAN line
    qsizetype pageSize = 0;
    sim::ProviderAccount account;
    bool accepting = true;
    bool logging = true;
    std::optional<sim::UpnpBehaviour> upnp; // nothing: no UPnP at all
    QString upnpAddress;
};

std::optional<quint16> portNumber(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    return ok && value > 0 && value < 65536 ? std::optional<quint16>(quint16(value)) : std::nullopt;
}

// Exits with the usage for --help, --version and unknown options.
std::optional<Settings> parseCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A router and a dynamic DNS provider on 127.0.0.1, for trying Parlowen out.\n"
                       "Runs until interrupted. Port 80 needs root or a private network namespace."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption routerPort(QStringLiteral("router-port"),
                                        QStringLiteral("Port of the router's web pages (default 80)."),
                                        QStringLiteral("port"), QStringLiteral("80"));
    const QCommandLineOption providerPort(QStringLiteral("provider-port"),
                                          QStringLiteral("Port of the provider's /dyn.asp (default 8080)."),
                                          QStringLiteral("port"), QStringLiteral("8080"));
    const QCommandLineOption routerPassword(
        QStringLiteral("router-password"),
        QStringLiteral("Password of the router's user admin (default admin)."), QStringLiteral("password"),
        QStringLiteral("admin"));
    const QCommandLineOption wanAddress(
        QStringLiteral("wan-address"), QStringLiteral("Address in the log's WAN line (default 203.0.113.7)."),
        QStringLiteral("address"), QStringLiteral("203.0.113.7"));
    const QCommandLineOption pageSize(
        QStringLiteral("page-size"),
        QStringLiteral("Size of the log page: bytes, or with K, M (default 4K)."), QStringLiteral("size"),
        QStringLiteral("4K"));
    const QCommandLineOption refuse(QStringLiteral("refuse"),
                                    QStringLiteral("The provider refuses every update (answers abuse)."));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("User name the provider wants (default: any)."),
                                  QStringLiteral("name"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Password the provider wants (default: any)."),
                                      QStringLiteral("password"));
    const QCommandLineOption hostname(QStringLiteral("hostname"),
                                      QStringLiteral("Host name the provider keeps (default: any)."),
                                      QStringLiteral("name"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Log no requests (for benchmarks that send thousands)."));
    const QCommandLineOption noWanLine(QStringLiteral("no-wan-line"),
                                       QStringLiteral("The log page has no \"WAN IP is\" line."));
    const QCommandLineOption upnp(
        QStringLiteral("upnp"),
        QStringLiteral("Be a UPnP gateway too: address (answers --upnp-address), error (its "
                       "GetExternalIPAddress fails), silent (never answers a search), not-gateway (a "
                       "media server), elsewhere (address, described from 127.0.0.2). Default: no UPnP. "
                       "Only in a private network namespace whose loopback carries multicast."),
        QStringLiteral("behaviour"));
    const QCommandLineOption upnpAddress(
        QStringLiteral("upnp-address"),
        QStringLiteral("Text UPnP gives as the external address, any text (default 203.0.113.7)."),
        QStringLiteral("text"), QStringLiteral("203.0.113.7"));
    parser.addOptions({routerPort, providerPort, routerPassword, wanAddress, pageSize, refuse, user, password,
                       hostname, quiet, noWanLine, upnp, upnpAddress});
    parser.process(app);

    const std::optional<quint16> routerPortValue = portNumber(parser.value(routerPort));
    const std::optional<quint16> providerPortValue = portNumber(parser.value(providerPort));
    const std::optional<qsizetype> size = sim::parseByteSize(parser.value(pageSize));
    const std::optional<sim::UpnpBehaviour> behaviour = sim::upnpBehaviourNamed(parser.value(upnp));
    if (!routerPortValue || !providerPortValue || !size || (parser.isSet(upnp) && !behaviour))
        return std::nullopt;
    return Settings{*routerPortValue,
                    *providerPortValue,
                    parser.value(routerPassword),
                    parser.isSet(noWanLine) ? std::nullopt : std::optional(parser.value(wanAddress)),
                    *size,
                    {parser.value(user), parser.value(password), parser.value(hostname)},
                    !parser.isSet(refuse),
                    !parser.isSet(quiet),
                    behaviour,
                    parser.value(upnpAddress)};
}

void logRouterRequest(const RecordedRequest& request, const Settings& settings, qsizetype pageSize)
{
    const bool known = request.path == RouterLogPath;
    const bool allowed =
        known && request.basicCredentials() == qMakePair(QStringLiteral("admin"), settings.routerPassword);
    err() << "router:   " << request.method << ' ' << sim::maskedTarget(request.target) << " ("
          << credentialsForLog(request) << ") -> "
          << (!known    ? QStringLiteral("404")
              : allowed ? QStringLiteral("200, %1 bytes").arg(pageSize)
                        : QStringLiteral("401"))
          << Qt::endl;
}

// The server answers from a route fixed per path, and it tells of each
// request just before answering it: the route is set here to the verdict on
// this very request's query.
void answerUpdate(FakeHttpServer& provider, const RecordedRequest& request, const Settings& settings)
{
    const QByteArray answer =
        sim::providerAnswer(request.query, request.basicCredentials().first,
                            request.basicCredentials().second, settings.account, settings.accepting);
    provider.setRoute(UpdatePath, {.contentType = "text/plain", .body = answer});
    if (!settings.logging)
        return;
    const bool known = request.path == UpdatePath;
    err() << "provider: " << request.method << ' ' << sim::maskedTarget(request.target) << " -> "
          << (known ? QString::fromUtf8(answer.contains("updated successfully") ? "updated successfully"
                                                                                : answer)
                    : QStringLiteral("404"))
          << Qt::endl;
}

void logUpnp(sim::UpnpGateway& gateway)
{
    QObject::connect(&gateway, &sim::UpnpGateway::searched, &gateway,
                     [](const QByteArray& target, const QHostAddress& sender, quint16 port, bool answered) {
                         err() << "upnp:     M-SEARCH " << target << " from " << sender.toString() << ':'
                               << port << " -> " << (answered ? "answered" : "not answered") << Qt::endl;
                     });
    QObject::connect(&gateway, &sim::UpnpGateway::descriptionRequested, &gateway,
                     [](const RecordedRequest& request) {
                         err() << "upnp:     " << request.method << ' ' << request.target << Qt::endl;
                     });
    QObject::connect(&gateway, &sim::UpnpGateway::soapRequested, &gateway,
                     [](const QByteArray& action, int status) {
                         err() << "upnp:     SOAP " << action << " -> " << status << Qt::endl;
                     });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlowen-simulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    const std::optional<Settings> settings = parseCommandLine(app);
    if (!settings) {
        err() << "parlowen-simulator: ports are numbers from 1 to 65535, the page size is bytes, "
                 "or a number with K or M, as in 4K or 8M, and --upnp is one of address, error, silent, "
                 "not-gateway or elsewhere.\n";
        return 2;
    }

    FakeHttpServer router;
    FakeHttpServer provider;
    if (!router.listen(settings->routerPort)) {
        err() << "parlowen-simulator: cannot serve the router on 127.0.0.1:" << settings->routerPort
              << ". Port 80 needs root; run inside a private network namespace (see sim/run-demo) "
                 "or choose --router-port.\n";
        return 1;
    }
    if (!provider.listen(settings->providerPort)) {
        err() << "parlowen-simulator: cannot serve the provider on 127.0.0.1:" << settings->providerPort
              << "; is another simulator running? Choose --provider-port.\n";
        return 1;
    }
    sim::UpnpGateway* gateway = nullptr;
    if (settings->upnp) {
        gateway = new sim::UpnpGateway(*settings->upnp, settings->upnpAddress, &app);
        if (!gateway->start()) {
            err() << "parlowen-simulator: cannot be a UPnP gateway: " << gateway->errorString() << ".\n";
            return 1;
        }
        if (settings->logging)
            logUpnp(*gateway);
    }
    if (!quitOnSignals(app)) {
        err() << "parlowen-simulator: cannot catch SIGTERM and SIGINT\n";
        return 1;
    }

    const QByteArray page = sim::syslogPage(settings->pageSize, settings->wanAddress);
    router.setRoute(RouterLogPath, {.body = page});
    router.requireAuth(RouterLogPath, FakeHttpServer::Auth::Basic, QStringLiteral("admin"),
                       settings->routerPassword);
    QObject::connect(&router, &FakeHttpServer::requestReceived, &app, [&](const RecordedRequest& request) {
        if (settings->logging)
            logRouterRequest(request, *settings, page.size());
    });
    QObject::connect(&provider, &FakeHttpServer::requestReceived, &app,
                     [&](const RecordedRequest& request) { answerUpdate(provider, request, *settings); });

    err() << "parlowen-simulator: router on " << router.url(RouterLogPath) << " (user admin, log page "
          << page.size() << " bytes), provider on " << provider.url(UpdatePath) << " ("
          << (settings->accepting ? "accepting" : "refusing") << " updates)" << Qt::endl;
    if (!settings->wanAddress)
        err() << "parlowen-simulator: the log page has no WAN line" << Qt::endl;
    if (gateway)
        err() << "parlowen-simulator: UPnP gateway on SSDP 239.255.255.250:1900, described at "
              << gateway->descriptionUrl() << Qt::endl;
    const int status = app.exec();
    err() << "parlowen-simulator: stopped" << Qt::endl;
    return status;
}
