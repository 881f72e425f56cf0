// The pieces every simulated provider's answer is made of.
#include "sim/providercall.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace parlowen::sim {

namespace {

// A form body spells a space "+", which QUrlQuery leaves as it is.
QUrlQuery formBody(const RecordedRequest& request)
{
    if (request.method != "POST" ||
        !request.header("Content-Type").startsWith("application/x-www-form-urlencoded"))
        return {};
    return QUrlQuery(QString::fromUtf8(QByteArray(request.body).replace('+', "%20")));
}

} // namespace

std::optional<QString> parameter(const RecordedRequest& request, const QString& key)
{
    for (const QUrlQuery& source : {request.query, formBody(request)}) {
        if (source.hasQueryItem(key))
            return source.queryItemValue(key, QUrl::FullyDecoded);
    }
    return std::nullopt;
}

std::optional<QString> firstParameter(const RecordedRequest& request, Keys keys)
{
    for (const char* key : keys) {
        if (!key)
            break;
        if (std::optional<QString> value = parameter(request, QString::fromLatin1(key)))
            return value;
    }
    return std::nullopt;
}

std::optional<QString> authorizationValue(const RecordedRequest& request, QByteArrayView scheme)
{
    const QByteArray header = request.authorization();
    if (header.size() <= scheme.size() || header.at(scheme.size()) != ' ' || !header.startsWith(scheme))
        return std::nullopt;
    return QString::fromUtf8(header.mid(scheme.size() + 1));
}

bool accepts(const QString& expected, const QString& given)
{
    return expected.isEmpty() || expected == given;
}

std::optional<QHostAddress> parseAddress(const QString& text)
{
    static const QRegularExpression dottedQuad(QStringLiteral(
        "^((25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)\\.){3}(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)$"));
    if (dottedQuad.match(text).hasMatch())
        return QHostAddress(text);
    QHostAddress address;
    if (text.contains(u':') && !text.contains(u'%') && address.setAddress(text) &&
        address.protocol() == QAbstractSocket::IPv6Protocol)
        return address;
    return std::nullopt;
}

QString addressText(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}

QHostAddress sourceAddress(const RecordedRequest& request)
{
    return QHostAddress(addressText(request.peer));
}

bool isIpv6(const QHostAddress& address)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol;
}

bool isPrivateIpv4(const QHostAddress& address)
{
    return address.isInSubnet(QHostAddress(QStringLiteral("10.0.0.0")), 8) ||
           address.isInSubnet(QHostAddress(QStringLiteral("172.16.0.0")), 12) ||
           address.isInSubnet(QHostAddress(QStringLiteral("192.168.0.0")), 16);
}

QString zoneOf(const ProviderRecord& record)
{
    if (!record.zone.isEmpty())
        return record.zone;
    const qsizetype dot = record.host.indexOf(u'.');
    return dot < 0 ? record.host : record.host.mid(dot + 1);
}

QString relativeName(const ProviderRecord& record)
{
    const QString zone = zoneOf(record);
    if (record.host.compare(zone, Qt::CaseInsensitive) == 0)
        return QStringLiteral("@");
    if (!record.host.endsWith(u'.' + zone, Qt::CaseInsensitive))
        return record.host;
    return record.host.chopped(zone.size() + 1);
}

QString* recordOfType(ProviderRecord& record, QStringView type)
{
    return type == u"A" ? &record.address : type == u"AAAA" ? &record.addressV6 : nullptr;
}

bool validFor(QStringView type, const QString& text)
{
    const std::optional<QHostAddress> address = parseAddress(text);
    return (type == u"A" || type == u"AAAA") && address && isIpv6(*address) == (type == u"AAAA");
}

FakeResponse textAnswer(int status, const QByteArray& body)
{
    return {.status = status, .contentType = "text/plain; charset=utf-8", .body = body};
}

FakeResponse jsonAnswer(int status, const QJsonObject& body)
{
    return {.status = status,
            .contentType = "application/json",
            .body = QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

FakeResponse jsonAnswer(int status, const QJsonArray& body)
{
    return {.status = status,
            .contentType = "application/json",
            .body = QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

FakeResponse challengeAnswer(const QByteArray& challenge, const QByteArray& body)
{
    FakeResponse answer = textAnswer(401, body);
    answer.headers.append(qMakePair(QByteArray("WWW-Authenticate"), challenge));
    return answer;
}

FakeResponse throttledAnswer()
{
    FakeResponse answer = textAnswer(429, "Too Many Requests\n");
    answer.headers.append({QByteArray("Retry-After"), QByteArray("600")});
    return answer;
}

} // namespace parlowen::sim
