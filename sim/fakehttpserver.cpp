// An HTTP/1.1 server inside the test process, one request per connection.
#include "sim/fakehttpserver.h"

#include <QCryptographicHash>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace parlowen::sim {

namespace {

const QByteArray digestRealm = "Parlowen test";
const QByteArray digestNonce = "5f1d2c0b9a8e7d6c5b4a39281706f5e4";

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 412:
        return "Precondition Failed";
    case 421:
        return "Misdirected Request";
    case 422:
        return "Unprocessable Entity";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray hexHash(const QByteArray& data, FakeHttpServer::Auth scheme)
{
    return QCryptographicHash::hash(data, scheme == FakeHttpServer::Auth::DigestSha256
                                              ? QCryptographicHash::Sha256
                                              : QCryptographicHash::Md5)
        .toHex();
}

// The key="value" pairs after "Digest ".
QHash<QByteArray, QByteArray> digestFields(const QByteArray& header)
{
    QHash<QByteArray, QByteArray> fields;
    QByteArray rest = header.mid(qsizetype(sizeof("Digest ")) - 1);
    while (!rest.isEmpty()) {
        const qsizetype eq = rest.indexOf('=');
        if (eq < 0)
            break;
        const QByteArray key = rest.left(eq).trimmed();
        rest = rest.mid(eq + 1).trimmed();
        QByteArray value;
        if (rest.startsWith('"')) {
            const qsizetype close = rest.indexOf('"', 1);
            value = rest.mid(1, close < 0 ? -1 : close - 1);
            rest = close < 0 ? QByteArray() : rest.mid(close + 1);
        } else {
            value = rest.left(rest.indexOf(','));
        }
        fields.insert(key.toLower(), value.trimmed());
        const qsizetype comma = rest.indexOf(',');
        rest = comma < 0 ? QByteArray() : rest.mid(comma + 1).trimmed();
    }
    return fields;
}

// HTTP/1.0 closes after each answer unless the client asks to keep it open;
// such clients (inadyn, for one) read the answer until the connection ends.
bool wantsClose(const RecordedRequest& request)
{
    const QByteArray connection = request.header("Connection");
    if (request.version == "HTTP/1.0")
        return connection.compare("keep-alive", Qt::CaseInsensitive) != 0;
    return connection.compare("close", Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray RecordedRequest::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QPair<QString, QString> RecordedRequest::basicCredentials() const
{
    const QByteArray value = authorization();
    if (!value.startsWith("Basic "))
        return {};
    const QByteArray decoded = QByteArray::fromBase64(value.mid(6).trimmed());
    const qsizetype colon = decoded.indexOf(':');
    if (colon < 0)
        return {QString::fromUtf8(decoded), QString()};
    return {QString::fromUtf8(decoded.left(colon)), QString::fromUtf8(decoded.mid(colon + 1))};
}

FakeHttpServer::FakeHttpServer(QObject* parent) : QObject(parent), m_server(std::make_unique<QTcpServer>()) {}

FakeHttpServer::~FakeHttpServer()
{
    // Sockets die with the listening server; their handlers use the tables below.
    m_server.reset();
}

void FakeHttpServer::useTls(const QSslConfiguration& configuration)
{
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(configuration);
    m_server = std::move(server);
}

bool FakeHttpServer::listen(quint16 port, const QHostAddress& address)
{
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &FakeHttpServer::onNewConnection,
            Qt::UniqueConnection);
    return m_server->listen(address, port);
}

quint16 FakeHttpServer::port() const
{
    return m_server->serverPort();
}

QHostAddress FakeHttpServer::address() const
{
    return m_server->serverAddress();
}

QString FakeHttpServer::url(const QString& path) const
{
    QUrl url;
    url.setScheme(qobject_cast<QSslServer*>(m_server.get()) ? QStringLiteral("https")
                                                            : QStringLiteral("http"));
    url.setHost(address().toString());
    url.setPort(port());
    return url.toString() + path;
}

void FakeHttpServer::setRoute(const QString& path, FakeResponse response)
{
    m_routes.insert(path, std::move(response));
}

void FakeHttpServer::setHandler(const QString& path, Handler handler)
{
    m_handlers.insert(path, std::move(handler));
}

void FakeHttpServer::setFallbackHandler(Handler handler)
{
    m_fallback = std::move(handler);
}

void FakeHttpServer::requireAuth(const QString& path, Auth scheme, const QString& user,
                                 const QString& password, const QList<QByteArray>& alsoOffered)
{
    m_auth.insert(path, Credentials{scheme, user, password, alsoOffered});
}

void FakeHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void FakeHttpServer::onReadyRead(QTcpSocket* socket)
{
    const auto buffer = m_buffers.find(socket);
    if (buffer == m_buffers.end())
        return;
    buffer->append(socket->readAll());
    // One request at a time; a body is read by its Content-Length (SOAP
    // calls are POSTs), never chunked.
    for (qsizetype end = buffer->indexOf("\r\n\r\n"); end >= 0; end = buffer->indexOf("\r\n\r\n")) {
        const QList<QByteArray> lines = buffer->left(end).split('\n');
        RecordedRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        request.version = requestLine.value(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        const qsizetype bodySize = qMax<qsizetype>(0, request.header("Content-Length").toLongLong());
        if (buffer->size() < end + 4 + bodySize)
            return;
        request.body = buffer->mid(end + 4, bodySize);
        buffer->remove(0, end + 4 + bodySize);
        // Origin form is resolved against a dummy base; absolute form as it is.
        const QUrl target = request.target.startsWith('/')
                                ? QUrl(QStringLiteral("http://host") + QString::fromLatin1(request.target))
                                : QUrl::fromEncoded(request.target);
        request.path = target.path(QUrl::FullyDecoded);
        request.query = QUrlQuery(target);
        request.peer = socket->peerAddress();

        m_requests.append(request);
        emit requestReceived(request);
        answer(socket, request);
    }
}

void FakeHttpServer::answer(QTcpSocket* socket, const RecordedRequest& request)
{
    if (const auto required = m_auth.constFind(request.path);
        required != m_auth.cend() && !authorized(*required, request)) {
        FakeResponse challenge{.status = 401,
                               .body = "<html><body><h1>401 Unauthorized</h1>"
                                       "<p>Wrong user name or password.</p></body></html>"};
        for (const QByteArray& other : required->alsoOffered)
            challenge.headers.append({"WWW-Authenticate", other});
        challenge.headers.append(
            {"WWW-Authenticate", required->scheme == Auth::Basic
                                     ? "Basic realm=\"" + digestRealm + "\""
                                     : "Digest realm=\"" + digestRealm + "\", nonce=\"" + digestNonce +
                                           "\", qop=\"auth\", algorithm=" +
                                           (required->scheme == Auth::Digest ? "MD5" : "SHA-256")});
        send(socket, challenge, wantsClose(request));
        return;
    }

    const auto handler = m_handlers.constFind(request.path);
    const auto route = m_routes.constFind(request.path);
    const FakeResponse response =
        handler != m_handlers.cend() ? (*handler)(request)
        : route != m_routes.cend()   ? *route
        : m_fallback                 ? m_fallback(request)
                     : FakeResponse{.status = 404, .body = "<html><body>Not Found</body></html>"};
    if (response.neverAnswer)
        return;
    if (response.delay.count() > 0) {
        QTimer::singleShot(response.delay, socket, [this, socket, response, close = wantsClose(request)] {
            send(socket, response, close);
        });
        return;
    }
    send(socket, response, wantsClose(request));
}

bool FakeHttpServer::authorized(const Credentials& required, const RecordedRequest& request) const
{
    const QByteArray value = request.authorization();
    if (required.scheme == Auth::Basic)
        return value.startsWith("Basic ") &&
               request.basicCredentials() == qMakePair(required.user, required.password);

    if (!value.startsWith("Digest "))
        return false;
    const QHash<QByteArray, QByteArray> f = digestFields(value);
    const QByteArray algorithm = required.scheme == Auth::Digest ? "MD5" : "SHA-256";
    if (f.value("username") != required.user.toUtf8() || f.value("nonce") != digestNonce ||
        f.value("algorithm", "MD5").compare(algorithm, Qt::CaseInsensitive) != 0)
        return false;
    const auto hash = [&required](const QByteArray& data) {
        return hexHash(data, required.scheme);
    };
    const QByteArray ha1 =
        hash(required.user.toUtf8() + ':' + digestRealm + ':' + required.password.toUtf8());
    const QByteArray ha2 = hash(request.method + ':' + f.value("uri"));
    const QByteArray expected = f.contains("qop") ? hash(ha1 + ':' + digestNonce + ':' + f.value("nc") + ':' +
                                                         f.value("cnonce") + ':' + f.value("qop") + ':' + ha2)
                                                  : hash(ha1 + ':' + digestNonce + ':' + ha2);
    return f.value("response") == expected;
}

void FakeHttpServer::send(QTcpSocket* socket, const FakeResponse& response, bool close)
{
    if (!response.raw.isEmpty()) {
        socket->write(response.raw);
        if (response.endless.isEmpty()) {
            socket->disconnectFromHost();
            return;
        }
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, more = response.endless.repeated(100)] {
            if (socket->bytesToWrite() < 1024 * 1024)
                socket->write(more);
        });
        timer->start(1);
        return;
    }
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    // A 204 carries neither a body nor a length (RFC 9110, 15.3.5).
    const bool noContent = response.status == 204;
    if (response.chunked && !noContent)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!noContent)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";

    if (!response.chunked || noContent) {
        socket->write(noContent ? head : head + response.body);
        if (close)
            socket->disconnectFromHost();
        return;
    }

    socket->write(head);
    // The timer dies with the socket when the client gives up first.
    auto* timer = new QTimer(socket);
    auto offset = std::make_shared<qsizetype>(0);
    const auto sendPiece = [socket, timer, offset, close, body = response.body,
                            size = qMax<qsizetype>(1, response.chunkSize)] {
        const QByteArray piece = body.mid(*offset, size);
        *offset += piece.size();
        if (!piece.isEmpty())
            socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        if (*offset >= body.size()) {
            timer->stop();
            socket->write("0\r\n\r\n");
            timer->deleteLater();
            if (close)
                socket->disconnectFromHost();
        }
    };
    connect(timer, &QTimer::timeout, socket, sendPiece);
    timer->start(response.chunkInterval);
}

} // namespace parlowen::sim
