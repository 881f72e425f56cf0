// parlowen-stun: the STUN server of sim/stunserver.h as a program, for the
// upstream side of tests/support/in-router-network.
#include "sim/stunserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using parlowen::sim::StunServer;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlowen-stun"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARLOWEN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A STUN server (RFC 5389 Binding requests) that tells each client the address and "
                       "port it came from. Runs until killed. Only inside a private network namespace."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Address to listen on."),
                                    QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("UDP port (default 3478)."),
                                  QStringLiteral("port"), QString::number(parlowen::sim::StunPort));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("Log no answers."));
    parser.addOptions({listen, port, quiet});
    parser.process(app);

    QTextStream err(stderr);
    const QHostAddress address(parser.value(listen));
    bool portIsNumber = false;
    const uint portNumber = parser.value(port).toUInt(&portIsNumber);
    if (address.isNull() || !portIsNumber || portNumber == 0 || portNumber > 65535) {
        err << "parlowen-stun: --listen takes a numeric address and --port a number from 1 to 65535\n";
        return 2;
    }
    StunServer server;
    if (!server.listen(address, quint16(portNumber))) {
        err << "parlowen-stun: " << server.errorString() << '\n';
        return 1;
    }
    if (!parser.isSet(quiet))
        QObject::connect(&server, &StunServer::answered, &app,
                         [&err](const QHostAddress& sender, quint16 senderPort, bool success) {
                             err << "stun:     Binding from " << sender.toString() << ':' << senderPort
                                 << " -> " << (success ? "success" : "420 Unknown Attribute") << Qt::endl;
                         });
    err << "parlowen-stun: listening on " << address.toString() << ':' << server.port() << Qt::endl;
    return app.exec();
}
