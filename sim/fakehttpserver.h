#pragma once
// An HTTP/1.1 server inside the test process: canned answers by path, every
// request recorded, on loopback with a port the OS chooses.
//
//     FakeHttpServer server;
//     QVERIFY(server.listen());
//     server.setRoute("/doc/syslog.htm", {.body = "WAN IP is 192.0.2.7"});
//     server.requireAuth("/doc/syslog.htm", FakeHttpServer::Auth::Basic, "admin", "secret");
//     engine.Navigate(server.url("/doc/syslog.htm"));
//     QTRY_COMPARE(server.requests().size(), 2);
//
// Connections are kept alive, as most servers do, unless the client asks
// for "Connection: close".
// Used as a forward proxy (http_proxy=http://127.0.0.1:PORT) it answers from
// the same routes and records the absolute-form target as it came.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QUrlQuery>

#include <chrono>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace parlowen::sim {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct FakeResponse {
    int status = 200;
    QByteArray contentType = "text/html";
    QByteArray body{};
    HeaderList headers{};               // extra headers, e.g. {"Location", "/next"}
    std::chrono::milliseconds delay{0}; // before the status line is sent
    bool neverAnswer = false;           // keep the connection open, send nothing
    // Send the body with Transfer-Encoding: chunked (no Content-Length), in
    // pieces of chunkSize bytes, one every chunkInterval.
    bool chunked = false;
    qsizetype chunkSize = 4096;
    std::chrono::milliseconds chunkInterval{0};
    // When set, these bytes go out exactly as they are in place of the
    // answer built from the fields above, and the connection is closed after
    // them: for answers that break HTTP's own rules.
    QByteArray raw{};
    // With raw: then these bytes again and again, the connection kept open
    // until the client goes.
    QByteArray endless{};
};

struct RecordedRequest {
    QByteArray method;
    QByteArray target;  // as sent: origin form "/p?q" or, to a proxy, absolute form
    QByteArray version; // "HTTP/1.1", "HTTP/1.0"
    QString path;       // percent-decoded
    QUrlQuery query;
    HeaderList headers;
    QByteArray body;   // as many bytes as Content-Length said
    QHostAddress peer; // where the request came from, as a provider sees its client

    QByteArray header(QByteArrayView name) const; // case-insensitive; empty when absent
    QByteArray authorization() const { return header("Authorization"); }
    // User and password of a Basic Authorization header, decoded; empty when none.
    QPair<QString, QString> basicCredentials() const;
};

class FakeHttpServer : public QObject {
    Q_OBJECT
public:
    enum class Auth { Basic, Digest, DigestSha256 };

    explicit FakeHttpServer(QObject* parent = nullptr);
    ~FakeHttpServer() override;

    // Serve TLS with this configuration (certificate and key) instead of
    // plain HTTP; call before listen().
    void useTls(const QSslConfiguration& configuration);

    // Port 0 lets the OS choose. Port 80 only inside a private network namespace.
    bool listen(quint16 port = 0, const QHostAddress& address = QHostAddress::LocalHost);
    quint16 port() const;
    QHostAddress address() const;
    // "http://127.0.0.1:PORT" + path (https:// with TLS).
    QString url(const QString& path) const;

    // Answers for a decoded path; anything else gets 404 with a short page.
    void setRoute(const QString& path, FakeResponse response);
    // For answers that depend on the request itself, e.g. a SOAP action in a
    // POST body; a handler wins over a route for the same path.
    using Handler = std::function<FakeResponse(const RecordedRequest&)>;
    void setHandler(const QString& path, Handler handler);
    // Answers every path that has neither a route nor a handler of its own,
    // in place of the 404: for servers that read the path themselves.
    void setFallbackHandler(Handler handler);
    // Until the right credentials come, the path answers 401 with a
    // WWW-Authenticate challenge and a page saying so. `alsoOffered` are
    // challenges sent before it, each in a header of its own, e.g. "NTLM".
    void requireAuth(const QString& path, Auth scheme, const QString& user, const QString& password,
                     const QList<QByteArray>& alsoOffered = {});

    QList<RecordedRequest> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

signals:
    void requestReceived(const parlowen::sim::RecordedRequest& request);

private:
    struct Credentials {
        Auth scheme;
        QString user;
        QString password;
        QList<QByteArray> alsoOffered;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const RecordedRequest& request);
    bool authorized(const Credentials& required, const RecordedRequest& request) const;
    void send(QTcpSocket* socket, const FakeResponse& response, bool close);

    std::unique_ptr<QTcpServer> m_server;
    QHash<QString, FakeResponse> m_routes;
    QHash<QString, Handler> m_handlers;
    Handler m_fallback;
    QHash<QString, Credentials> m_auth;
    QHash<QTcpSocket*, QByteArray> m_buffers; // bytes of a request not yet complete
    QList<RecordedRequest> m_requests;
};

} // namespace parlowen::sim
