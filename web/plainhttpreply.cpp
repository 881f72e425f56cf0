// One plain HTTP GET on a connection of its own, closed after the answer.
#include "web/plainhttpreply.h"

#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QTcpSocket>

#include <cstring>

namespace parlowen {

QByteArray requestTarget(const QUrl& url)
{
    QUrl target = url;
    if (target.path().isEmpty())
        target.setPath(QStringLiteral("/"));
    return target.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment |
                            QUrl::NormalizePathSegments);
}

PlainHttpReply::PlainHttpReply(const QNetworkRequest& request, QNetworkCookieJar* cookies, QObject* parent)
    : QNetworkReply(parent), m_socket(new QTcpSocket(this)), m_cookies(cookies)
{
    setRequest(request);
    setUrl(request.url());
    setOperation(QNetworkAccessManager::GetOperation);
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    // Only ever made where no proxy applies; a proxy of the application's
    // own must not turn this into a tunnel.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    connect(m_socket, &QTcpSocket::connected, this, &PlainHttpReply::sendRequest);
    connect(m_socket, &QTcpSocket::readyRead, this, &PlainHttpReply::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &PlainHttpReply::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &PlainHttpReply::onSocketError);
    // From the event loop: a connect the system refuses at once (no route
    // to the address) fails inside connectToHost, and the reply's finished()
    // would go out before anyone could be connected to it, leaving the load
    // to wait for its deadline.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isFinished())
                m_socket->connectToHost(url().host(), quint16(url().port(80)));
        },
        Qt::QueuedConnection);
}

void PlainHttpReply::sendRequest()
{
    QByteArray head = "GET " + requestTarget(url()) + " HTTP/1.1\r\nHost: " +
                      url()
                          .toEncoded(QUrl::RemoveScheme | QUrl::RemoveUserInfo | QUrl::RemovePath |
                                     QUrl::RemoveQuery | QUrl::RemoveFragment)
                          .mid(2) +
                      "\r\n";
    const QNetworkRequest asked = request();
    for (const QByteArray& name : asked.rawHeaderList())
        head += name + ": " + asked.rawHeader(name) + "\r\n";
    if (m_cookies) {
        QByteArrayList pairs;
        for (const QNetworkCookie& cookie : m_cookies->cookiesForUrl(url()))
            pairs << cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
        if (!pairs.isEmpty())
            head += "Cookie: " + pairs.join("; ") + "\r\n";
    }
    // One answer a connection: nothing of it is left for another load.
    head += "Connection: close\r\n\r\n";
    m_socket->write(head);
    emit requestSent();
}

void PlainHttpReply::onReadyRead()
{
    const bool hadHeaders = m_reader.headersRead();
    const qsizetype before = m_body.size();
    const Http1Reader::State state = m_reader.read(m_socket->readAll(), m_body);
    if (state == Http1Reader::State::Damaged)
        return end(ProtocolFailure, QStringLiteral("The answer's framing or header block cannot be read"));
    if (!hadHeaders && m_reader.headersRead()) {
        headersArrived();
        if (isFinished())
            return; // the handler gave up on it
    }
    if (m_body.size() > before) {
        emit readyRead();
        if (isFinished())
            return;
    }
    if (state == Http1Reader::State::Done)
        end();
}

void PlainHttpReply::headersArrived()
{
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, m_reader.status());
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, QString::fromLatin1(m_reader.reason()));
    // Repeated headers joined with ", ", as Qt gives them.
    QList<QByteArray> names;
    QHash<QByteArray, QByteArray> values;
    for (const auto& [name, value] : m_reader.headers()) {
        const QByteArray key = name.toLower();
        if (key == "set-cookie" && m_cookies)
            m_cookies->setCookiesFromUrl(QNetworkCookie::parseCookies(value), url());
        if (!values.contains(key)) {
            names << name;
            values.insert(key, value);
        } else {
            values[key] += ", " + value;
        }
    }
    for (const QByteArray& name : std::as_const(names))
        setRawHeader(name, values.value(name.toLower()));
    emit metaDataChanged();
}

void PlainHttpReply::onDisconnected()
{
    if (isFinished())
        return;
    onReadyRead();
    if (isFinished())
        return;
    if (m_reader.endOfStream() != Http1Reader::State::Done)
        return end(RemoteHostClosedError, QStringLiteral("The connection ended before the answer did"));
    if (m_reader.headersRead() && m_body.size() > m_bodyRead)
        emit readyRead();
    if (!isFinished())
        end();
}

void PlainHttpReply::onSocketError()
{
    if (isFinished() || m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return; // disconnected() tells the rest
    switch (m_socket->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return end(ConnectionRefusedError, m_socket->errorString());
    case QAbstractSocket::HostNotFoundError:
        return end(HostNotFoundError, m_socket->errorString());
    case QAbstractSocket::SocketTimeoutError:
        return end(TimeoutError, m_socket->errorString());
    default:
        return end(UnknownNetworkError, m_socket->errorString());
    }
}

void PlainHttpReply::end(NetworkError error, const QString& words)
{
    if (isFinished())
        return;
    setFinished(true);
    m_socket->abort();
    if (error != NoError) {
        setError(error, words);
        emit errorOccurred(error);
    }
    emit finished();
}

void PlainHttpReply::abort()
{
    end(OperationCanceledError, QStringLiteral("Cancelled"));
}

qint64 PlainHttpReply::bytesAvailable() const
{
    return m_body.size() - m_bodyRead + QNetworkReply::bytesAvailable();
}

qint64 PlainHttpReply::readData(char* data, qint64 maxSize)
{
    const qint64 count = std::min<qint64>(maxSize, m_body.size() - m_bodyRead);
    if (count == 0 && isFinished())
        return -1;
    std::memcpy(data, m_body.constData() + m_bodyRead, size_t(count));
    m_bodyRead += count;
    if (m_bodyRead == m_body.size()) {
        m_body.clear();
        m_bodyRead = 0;
    }
    return count;
}

} // namespace parlowen
