#pragma once
// A GET over plain HTTP without a proxy, read by Http1Reader instead of Qt's
// HTTP/1 code, so that an answer with a header block far beyond any real one
// fails as soon as it passes the limit rather than at the load's deadline.
// To the engine it is a QNetworkReply like any other.

#include "web/http1reader.h"

#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

class QTcpSocket;

namespace parlowen {

// The request target of `url` as it goes on the request line, "/" for an
// empty path: what a Digest answer must name.
QByteArray requestTarget(const QUrl& url);

class PlainHttpReply : public QNetworkReply {
    Q_OBJECT
public:
    // Connects once the event loop runs. Cookies come from and go to
    // `cookies`, when given.
    PlainHttpReply(const QNetworkRequest& request, QNetworkCookieJar* cookies, QObject* parent);

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void sendRequest();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void headersArrived();
    void end(NetworkError error = NoError, const QString& words = {});

    QTcpSocket* m_socket;
    QPointer<QNetworkCookieJar> m_cookies; // replaced by the next navigation
    Http1Reader m_reader;
    QByteArray m_body;
    qsizetype m_bodyRead = 0;
};

} // namespace parlowen
