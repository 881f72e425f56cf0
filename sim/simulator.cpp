// parlowen-simulator: a router and a dynamic DNS provider on loopback, for the
// demo and the benchmarks. The router serves its system-log page behind Basic
// authentication; the provider answers updates the way most providers do.
// With --upnp the router is a UPnP gateway too, for clients that ask it for
// the address when its log has none, and with --natpmp it speaks NAT-PMP;
// --chatty-device puts a device beside it that never stops answering
// searches. With --provider the provider is one of
// the real ones, played under its own name over TLS (sim/providersim.h).
#include "sim/fakehttpserver.h"
#include "sim/providersim.h"
#include "sim/routersim.h"
#include "sim/ssdpchatter.h"
#include "sim/upnpgateway.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
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
    QHostAddress address{QHostAddress::LocalHost}; // of the router and the provider
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
    sim::GatewayFeatures upnpFeatures;
    std::optional<QHostAddress> chattyDevice;
    QString provider; // empty: the plain provider of /dyn.asp
    sim::ProviderRecord record;
    QString tlsCertificate;
    QString tlsKey;
};

std::optional<quint16> portNumber(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    return ok && value > 0 && value < 65536 ? std::optional<quint16>(quint16(value)) : std::nullopt;
}

struct OptionRow {
    const char* name;
    const char* description;
    const char* valueName; // nullptr: a flag
    const char* defaultValue;
};

const OptionRow optionTable[] = {
    {"listen",
     "Address the router and the provider serve on (default 127.0.0.1), such as the router's LAN address "
     "in tests/support/in-router-network.",
     "address", "127.0.0.1"},
    {"router-port", "Port of the router's web pages (default 80).", "port", "80"},
    {"provider-port",
     "Port of the provider: its /dyn.asp (default 8080), or with --provider its TLS port (default 443).",
     "port", nullptr},
    {"router-password", "Password of the router's user admin (default admin).", "password", "admin"},
    {"wan-address", "Address in the log's WAN line (default 203.0.113.7).", "address", "203.0.113.7"},
    {"page-size", "Size of the log page: bytes, or with K, M (default 4K).", "size", "4K"},
    {"refuse",
     "The provider refuses every update: abuse, or with --provider its refusal of a blocked client.", nullptr,
     nullptr},
    {"user", "User name the provider wants (default: any).", "name", nullptr},
    {"password", "Password (or token, or key) the provider wants (default: any).", "password", nullptr},
    {"hostname", "Host name the provider keeps (default: any; with --provider home.example.com).", "name",
     nullptr},
    {"quiet", "Log no requests (for benchmarks that send thousands).", nullptr, nullptr},
    {"no-wan-line", "The log page has no \"WAN IP is\" line.", nullptr, nullptr},
    {"upnp",
     "Be a UPnP gateway too: address (answers --upnp-address), error (its GetExternalIPAddress fails), "
     "silent "
     "(never answers a search), not-gateway (a media server), elsewhere (address, described from 127.0.0.2). "
     "Default: no UPnP. Only in a private network namespace whose loopback carries multicast.",
     "behaviour", nullptr},
    {"upnp-address",
     "Text UPnP gives as the external address, any text (default 203.0.113.7); NAT-PMP gives it when it is "
     "an IPv4 address.",
     "text", "203.0.113.7"},
    {"upnp-shape",
     "With --upnp: the layout of the root description: standard (the default), second-wan-device (the "
     "connection in a second WANDevice), ppp-only (WANPPPConnection alone), igd-v2 (version 2 throughout), "
     "urlbase-other-port (control on another port, named by URLBase).",
     "shape", "standard"},
    {"natpmp",
     "With --upnp: answer NAT-PMP's public-address request on UDP port 5351 of the gateway's address, with "
     "--upnp-address, or result 3 (network failure) when that is no IPv4 address.",
     nullptr, nullptr},
    {"chatty-device",
     "A media server at this address that answers every SSDP search and repeats its answer every 1.5 s: "
     "in 127.0.0.0/8, on a loopback that carries multicast, or in 192.168.77.0/24 inside a private network "
     "namespace that holds test addresses alone (as tests/support/in-router-network makes).",
     "address", nullptr},
    {"provider", nullptr, "name", nullptr}, // described with the list of providers
    {"zone", "With --provider: the registered domain of --hostname (default: without its first label).",
     "domain", nullptr},
    {"record-address", "With --provider: what the A record holds before any update (default 198.51.100.4).",
     "address", "198.51.100.4"},
    {"record-address-v6", "With --provider: what the AAAA record holds (default 2001:db8::4; empty: none).",
     "address", "2001:db8::4"},
    {"tls-cert", "With --provider: its certificate (default tests/data/tls/providers-cert.pem).", "file",
     PARLOWEN_PROVIDER_TLS_DIR "/providers-cert.pem"},
    {"tls-key", "With --provider: its private key (default tests/data/tls/providers-key.pem).", "file",
     PARLOWEN_PROVIDER_TLS_DIR "/providers-key.pem"},
};

QString providerDescription()
{
    return QStringLiteral(
               "Play this dynamic DNS provider under its real host name, over TLS, instead of "
               "/dyn.asp: %1. Only in a private network whose /etc/hosts maps its name to 127.0.0.1 "
               "(tests/support/in-private-network-as-providers).")
        .arg(sim::simulatedProviders().join(QStringLiteral(", ")));
}

sim::ProviderRecord providerRecord(const QCommandLineParser& parser)
{
    const QString name = parser.value(QStringLiteral("provider"));
    const QString example =
        name == u"duckdns" ? QStringLiteral("myhome.duckdns.org") : QStringLiteral("home.example.com");
    return {parser.value(QStringLiteral("user")),
            parser.value(QStringLiteral("password")),
            parser.isSet(QStringLiteral("hostname")) ? parser.value(QStringLiteral("hostname")) : example,
            parser.value(QStringLiteral("zone")),
            parser.value(QStringLiteral("record-address")),
            parser.value(QStringLiteral("record-address-v6"))};
}

// --upnp and what goes with it: false for a value that is none of its
// choices, or for --upnp-shape and --natpmp without a gateway to have them.
bool readUpnpOptions(const QCommandLineParser& parser, Settings& settings)
{
    const auto isSet = [&parser](const char* name) {
        return parser.isSet(QString::fromLatin1(name));
    };
    const std::optional<sim::UpnpBehaviour> behaviour = sim::upnpBehaviourNamed(parser.value("upnp"));
    const std::optional<sim::DescriptionShape> shape =
        sim::descriptionShapeNamed(parser.value(QStringLiteral("upnp-shape")));
    const QHostAddress chatty(parser.value(QStringLiteral("chatty-device")));
    if ((isSet("upnp") && !behaviour) || !shape || (isSet("chatty-device") && chatty.isNull()) ||
        (!isSet("upnp") && (isSet("upnp-shape") || isSet("natpmp"))))
        return false;
    settings.upnp = behaviour;
    settings.upnpFeatures = {*shape, isSet("natpmp")};
    if (isSet("chatty-device"))
        settings.chattyDevice = chatty;
    return true;
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
    for (const OptionRow& row : optionTable) {
        const QString description =
            row.description ? QString::fromUtf8(row.description) : providerDescription();
        parser.addOption(row.valueName ? QCommandLineOption(QString::fromLatin1(row.name), description,
                                                            QString::fromLatin1(row.valueName),
                                                            QString::fromUtf8(row.defaultValue))
                                       : QCommandLineOption(QString::fromLatin1(row.name), description));
    }
    parser.process(app);
    const auto value = [&parser](const char* name) {
        return parser.value(QString::fromLatin1(name));
    };
    const auto isSet = [&parser](const char* name) {
        return parser.isSet(QString::fromLatin1(name));
    };

    const QString provider = value("provider");
    const std::optional<quint16> routerPortValue = portNumber(value("router-port"));
    const std::optional<quint16> providerPortValue =
        portNumber(isSet("provider-port") ? value("provider-port")
                   : provider.isEmpty()   ? QStringLiteral("8080")
                                          : QStringLiteral("443"));
    const std::optional<qsizetype> size = sim::parseByteSize(value("page-size"));
    const QHostAddress address(value("listen"));
    if (address.isNull() || !routerPortValue || !providerPortValue || !size ||
        (!provider.isEmpty() && !sim::simulatedProviders().contains(provider)))
        return std::nullopt;
    Settings settings{address,
                      *routerPortValue,
                      *providerPortValue,
                      value("router-password"),
                      isSet("no-wan-line") ? std::nullopt : std::optional(value("wan-address")),
                      *size,
                      {value("user"), value("password"), value("hostname")},
                      !isSet("refuse"),
                      !isSet("quiet"),
                      std::nullopt,
                      value("upnp-address"),
                      {},
                      std::nullopt,
                      provider,
                      providerRecord(parser),
                      value("tls-cert"),
                      value("tls-key")};
    return readUpnpOptions(parser, settings) ? std::optional(settings) : std::nullopt;
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
    QObject::connect(&gateway, &sim::UpnpGateway::natPmpRequested, &gateway, [](int opcode, int result) {
        err() << "natpmp:   opcode " << opcode << " -> result " << result << Qt::endl;
    });
}

// The answer in a line: its status and the start of its body.
QString answerForLog(int status, const QByteArray& body)
{
    const QByteArray firstLine = body.trimmed().split('\n').value(0);
    const QString shown =
        QString::fromUtf8(QJsonDocument::fromJson(body).isNull()
                              ? firstLine
                              : QJsonDocument::fromJson(body).toJson(QJsonDocument::Compact));
    return QString::number(status) + (shown.isEmpty() ? QString() : u' ' + shown.left(160));
}

bool loadTls(QSslConfiguration& tls, const Settings& settings)
{
    QFile certificateFile(settings.tlsCertificate);
    QFile keyFile(settings.tlsKey);
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return false;
    const QSslCertificate certificate(certificateFile.readAll());
    const QByteArray keyData = keyFile.readAll();
    QSslKey key(keyData, QSsl::Ec);
    if (key.isNull())
        key = QSslKey(keyData, QSsl::Rsa);
    if (certificate.isNull() || key.isNull())
        return false;
    tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(key);
    return true;
}

// The provider of --provider over TLS, under its real name: "" when it serves.
QString servePlayedProvider(FakeHttpServer& server, const Settings& settings, QObject* owner)
{
    QSslConfiguration tls;
    if (!loadTls(tls, settings))
        return QStringLiteral("cannot read the certificate %1 and its key %2")
            .arg(settings.tlsCertificate, settings.tlsKey);
    server.useTls(tls);
    if (!server.listen(settings.providerPort, settings.address))
        return QStringLiteral("cannot serve %1 on %2:%3; port 443 needs root or a private network")
            .arg(settings.provider, settings.address.toString())
            .arg(settings.providerPort);
    auto* provider = new sim::ProviderSim(settings.provider, settings.record, owner);
    provider->setBlocked(!settings.accepting);
    provider->serveOn(server);
    if (settings.logging)
        QObject::connect(
            provider, &sim::ProviderSim::answered, owner,
            [name = settings.provider](const RecordedRequest& request, int status, const QByteArray& body) {
                err() << "provider: " << sim::maskedProviderRequest(name, request) << " -> "
                      << answerForLog(status, body) << Qt::endl;
            });
    return {};
}

// /dyn.asp on plain HTTP, or with --provider a real provider: "" when it serves.
QString serveProvider(FakeHttpServer& server, const Settings& settings, QObject* owner)
{
    if (!settings.provider.isEmpty())
        return servePlayedProvider(server, settings, owner);
    if (!server.listen(settings.providerPort, settings.address))
        return QStringLiteral("cannot serve the provider on %1:%2; is another simulator running? "
                              "Choose --provider-port")
            .arg(settings.address.toString())
            .arg(settings.providerPort);
    QObject::connect(
        &server, &FakeHttpServer::requestReceived, owner,
        [&server, &settings](const RecordedRequest& request) { answerUpdate(server, request, settings); });
    return {};
}

QString providerForLog(const FakeHttpServer& server, const Settings& settings)
{
    const QString mode = settings.accepting ? QStringLiteral("accepting") : QStringLiteral("refusing");
    if (settings.provider.isEmpty())
        return QStringLiteral("provider on %1 (%2 updates)").arg(server.url(UpdatePath), mode);
    const sim::ProviderRecord& record = settings.record;
    return QStringLiteral("%1 on https://%2:%3 (%4), keeping %5 at %6, %7 updates")
        .arg(settings.provider, sim::providerHost(settings.provider))
        .arg(server.port())
        .arg(settings.address.toString())
        .arg(record.host, record.address.isEmpty() ? QStringLiteral("no address") : record.address, mode);
}

bool startGateway(const Settings& settings, QObject* owner)
{
    auto* gateway = new sim::UpnpGateway(*settings.upnp, settings.upnpAddress, settings.upnpFeatures, owner);
    if (!gateway->start()) {
        err() << "parlowen-simulator: cannot be a UPnP gateway: " << gateway->errorString() << ".\n";
        return false;
    }
    if (settings.logging)
        logUpnp(*gateway);
    err() << "parlowen-simulator: UPnP gateway on SSDP 239.255.255.250:1900, described at "
          << gateway->descriptionUrl() << (settings.upnpFeatures.natPmp ? ", NAT-PMP on UDP port 5351" : "")
          << Qt::endl;
    return true;
}

bool startChattyDevice(const QHostAddress& address, bool logging, QObject* owner)
{
    auto* chatter = new sim::SsdpChatter(address, owner);
    if (!chatter->start()) {
        err() << "parlowen-simulator: cannot be a chatty device: " << chatter->errorString() << ".\n";
        return false;
    }
    if (logging)
        QObject::connect(chatter, &sim::SsdpChatter::searched, chatter,
                         [](const QByteArray& target, const QHostAddress& sender, quint16 port) {
                             err() << "chatty:   M-SEARCH " << target << " from " << sender.toString() << ':'
                                   << port << " -> answered, and again every 1.5 s" << Qt::endl;
                         });
    err() << "parlowen-simulator: chatty device on SSDP, described at " << chatter->descriptionUrl()
          << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlowen-simulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    const std::optional<Settings> settings = parseCommandLine(app);
    if (!settings) {
        err()
            << "parlowen-simulator: --listen takes a numeric address, ports are numbers from 1 to 65535, "
               "the page size is bytes, "
               "or a number with K or M, as in 4K or 8M, --upnp is one of address, error, silent, "
               "not-gateway or elsewhere, --upnp-shape (with --upnp) one of "
            << sim::descriptionShapeNames().join(QStringLiteral(", "))
            << ", --natpmp goes with --upnp, --chatty-device takes a numeric address, and --provider one of "
            << sim::simulatedProviders().join(QStringLiteral(", ")) << ".\n";
        return 2;
    }

    FakeHttpServer router;
    FakeHttpServer provider;
    if (!router.listen(settings->routerPort, settings->address)) {
        err() << "parlowen-simulator: cannot serve the router on " << settings->address.toString() << ':'
              << settings->routerPort
              << ". Port 80 needs root; run inside a private network namespace (see sim/run-demo) "
                 "or choose --router-port.\n";
        return 1;
    }
    if (const QString problem = serveProvider(provider, *settings, &app); !problem.isEmpty()) {
        err() << "parlowen-simulator: " << problem << ".\n";
        return 1;
    }
    if ((settings->upnp && !startGateway(*settings, &app)) ||
        (settings->chattyDevice && !startChattyDevice(*settings->chattyDevice, settings->logging, &app)))
        return 1;
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

    err() << "parlowen-simulator: router on " << router.url(RouterLogPath) << " (user admin, log page "
          << page.size() << " bytes), " << providerForLog(provider, *settings) << Qt::endl;
    if (!settings->wanAddress)
        err() << "parlowen-simulator: the log page has no WAN line" << Qt::endl;
    const int status = app.exec();
    err() << "parlowen-simulator: stopped" << Qt::endl;
    return status;
}
