// The yardstick for a whole check: the same two loads as parlowen-check
// written the plain way with Qt, and nothing else. The router page with Basic
// sign-in, the address after "WAN IP is " found in its bytes, then the update
// address with that address appended, whose answer is printed.
//
//   qtreference ROUTER_URL USER PASSWORD UPDATE_URL
//
// UPDATE_URL gets "&myip=ADDRESS" appended. Exit status 0 when the answer
// says "updated successfully", 1 otherwise, 2 without an address.
#include <QAuthenticator>
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        QTextStream(stderr) << "usage: qtreference ROUTER_URL USER PASSWORD UPDATE_URL\n";
        return 3;
    }
    QNetworkAccessManager manager;
    QObject::connect(&manager, &QNetworkAccessManager::authenticationRequired,
                     [&](QNetworkReply*, QAuthenticator* authenticator) {
                         authenticator->setUser(args[2]);
                         authenticator->setPassword(args[3]);
                     });
    QNetworkReply* page = manager.get(QNetworkRequest(QUrl(args[1])));
    QObject::connect(page, &QNetworkReply::finished, [&] {
        static const QRegularExpression wanLine(QStringLiteral("WAN IP is ([0-9.]+)"));
        const QRegularExpressionMatch match = wanLine.match(QString::fromLatin1(page->readAll()));
        page->deleteLater();
        if (!match.hasMatch())
            return app.exit(2);
        QNetworkReply* update = manager.get(QNetworkRequest(QUrl(args[4] + "&myip=" + match.captured(1))));
        QObject::connect(update, &QNetworkReply::finished, [&app, update] {
            const QByteArray answer = update->readAll();
            QTextStream(stdout) << answer << '\n';
            update->deleteLater();
            app.exit(answer.contains("updated successfully") ? 0 : 1);
        });
    });
    return app.exec();
}
