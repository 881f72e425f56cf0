// A request to a simulated provider as the simulator's log shows it, every
// secret it may carry written as "***": by position, so that a wrong secret
// the client sent is hidden as well as the right one.
#include "sim/providertable.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace parlowen::sim {

namespace {

bool isSecretKey(const QString& key, const ProviderEntry* entry)
{
    static const QStringList secrets = {"password", "pass", "p", "token", "key", "apikey", "secretapikey"};
    const QString lower = key.toLower();
    return secrets.contains(lower) ||
           (entry && entry->userIsSecret && (lower == u"user" || lower == u"username"));
}

// key=value items joined by "&"; an item without "=" is a bare token (FreeDNS).
QByteArray maskedItems(const QByteArray& items, const ProviderEntry* entry)
{
    QList<QByteArray> parts = items.split('&');
    for (QByteArray& part : parts) {
        const qsizetype eq = part.indexOf('=');
        if (eq < 0 && !part.isEmpty())
            part = "***";
        else if (eq >= 0 && isSecretKey(QUrl::fromPercentEncoding(part.left(eq)), entry))
            part = part.left(eq) + "=***";
    }
    return parts.join('&');
}

QByteArray maskedTarget(const QByteArray& target, const ProviderEntry* entry)
{
    const qsizetype question = target.indexOf('?');
    QByteArray path = question < 0 ? target : target.left(question);
    if (entry && entry->pathSecret) {
        const QRegularExpressionMatch match =
            QRegularExpression(QString::fromLatin1(entry->pathSecret)).match(QString::fromLatin1(path));
        if (match.hasMatch())
            path = path.left(match.capturedStart(1)) + "***" + path.mid(match.capturedEnd(1));
    }
    return question < 0 ? path : path + '?' + maskedItems(target.mid(question + 1), entry);
}

QString credentials(const RecordedRequest& request, const ProviderEntry* entry)
{
    QStringList shown;
    const QByteArray authorization = request.authorization();
    if (authorization.startsWith("Basic "))
        shown.append(QStringLiteral("Basic %1:***")
                         .arg(entry && entry->userIsSecret ? QStringLiteral("***")
                                                           : request.basicCredentials().first));
    else if (!authorization.isEmpty())
        shown.append(QString::fromLatin1(authorization.split(' ').value(0)) + QStringLiteral(" ***"));
    for (const char* header : {"X-API-Key", "X-Secret-API-Key", "X-Auth-Key"}) {
        if (!request.header(header).isEmpty())
            shown.append(QString::fromLatin1(header) + QStringLiteral(" ***"));
    }
    return shown.isEmpty() ? QStringLiteral("no credentials") : shown.join(QStringLiteral(", "));
}

QByteArray maskedBody(const RecordedRequest& request, const ProviderEntry* entry)
{
    if (request.body.isEmpty())
        return {};
    const QJsonDocument json = QJsonDocument::fromJson(request.body);
    if (json.isObject()) {
        QJsonObject object = json.object();
        for (const QString& key : object.keys()) {
            if (isSecretKey(key, entry))
                object.insert(key, QStringLiteral("***"));
        }
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    if (json.isArray())
        return json.toJson(QJsonDocument::Compact);
    if (request.header("Content-Type").startsWith("application/x-www-form-urlencoded"))
        return maskedItems(request.body, entry);
    return QByteArray::number(request.body.size()) + " bytes";
}

} // namespace

QString maskedProviderRequest(const QString& name, const RecordedRequest& request)
{
    const ProviderEntry* entry = providerEntry(name);
    QString line = QString::fromLatin1(request.method) + u' ' +
                   QString::fromUtf8(maskedTarget(request.target, entry)) + QStringLiteral(" (Host ") +
                   QString::fromUtf8(request.header("Host")) + QStringLiteral(", ") +
                   credentials(request, entry) + u')';
    const QByteArray body = maskedBody(request, entry);
    if (!body.isEmpty())
        line += QStringLiteral(" body ") + QString::fromUtf8(body);
    return line;
}

} // namespace parlowen::sim
