// A headless browser over Qt Network: one top-level load at a time, reported
// as a finished document whatever happened, the way a browser control does.
#include "web/browserengine.h"

#include "html/pagetext.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <utility>

namespace parlowen {

namespace {

const QString aboutBlank = QStringLiteral("about:blank");

// The proxy a system browser would use: on Linux, http_proxy, https_proxy and
// no_proxy (or the desktop's settings) through Qt's libproxy backend.
class SystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

LoadError loadErrorFor(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return LoadError::ConnectionRefused;
    case QNetworkReply::HostNotFoundError:
        return LoadError::HostNotFound;
    case QNetworkReply::TimeoutError:
        return LoadError::TimedOut;
    case QNetworkReply::SslHandshakeFailedError:
        return LoadError::TlsFailure;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return LoadError::Unreachable;
    case QNetworkReply::TooManyRedirectsError:
        return LoadError::TooManyRedirects;
    case QNetworkReply::InsecureRedirectError:
        return LoadError::InsecureRedirect;
    case QNetworkReply::ProtocolUnknownError:
        return LoadError::InvalidAddress;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return LoadError::ProxyFailure;
    default:
        return LoadError::Other;
    }
}

// Errors that mean no usable answer arrived, even when a status line did
// (a transfer cut off may have a 200).
bool isTransportFailure(QNetworkReply::NetworkError error)
{
    return error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

int effectivePort(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && effectivePort(a) == effectivePort(b);
}

} // namespace

struct BrowserEngine::Private {
    explicit Private(BrowserEngine* engine) : q(engine) {}

    BrowserEngine* q;
    QNetworkAccessManager manager;
    BrowserLimits limits;
    HtmlDocument document;

    // Bumped by every navigation; queued work of an older one sees a
    // different number and does nothing.
    quint64 generation = 0;

    // The load in flight.
    QPointer<QNetworkReply> reply;
    QTimer deadline;
    QString requestedUrl; // as passed to Navigate, reported as is
    QUrl original;        // as navigated, user-info included
    QUrl currentUrl;      // where redirects have led so far
    int redirects = 0;
    QByteArray body;

    void navigate(const QString& url);
    void cancel();
    void later(std::function<void()> work);
    void request(const QUrl& url);
    bool isRedirect() const;
    void followRedirect();
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void fail(LoadError error);
    void complete(HtmlDocument finished);
    HtmlDocument errorDocument(const QString& url, LoadError error) const;
};

void BrowserEngine::Private::cancel()
{
    ++generation;
    deadline.stop();
    if (reply) {
        QNetworkReply* old = reply;
        reply = nullptr;
        QObject::disconnect(old, nullptr, q, nullptr);
        old->abort();
        old->deleteLater();
    }
    body.clear();
    body.squeeze();
}

void BrowserEngine::Private::later(std::function<void()> work)
{
    QTimer::singleShot(0, q, [this, expected = generation, work = std::move(work)] {
        if (generation == expected)
            work();
    });
}

void BrowserEngine::Private::navigate(const QString& url)
{
    cancel();
    requestedUrl = url;

    // Reported asynchronously like any other page, so a handler that
    // navigates from DocumentComplete is never re-entered.
    if (url.trimmed().compare(aboutBlank, Qt::CaseInsensitive) == 0) {
        later([this] { complete(HtmlDocument(requestedUrl, QString())); });
        return;
    }

    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        later([this] { complete(errorDocument(requestedUrl, LoadError::InvalidAddress)); });
        return;
    }

    redirects = 0;
    original = parsed.adjusted(QUrl::RemoveFragment);
    deadline.start(limits.timeout);
    request(original);
    later([this] { emit q->StatusTextChange(QStringLiteral("Connecting to %1...").arg(original.host())); });
}

void BrowserEngine::Private::request(const QUrl& url)
{
    currentUrl = url;
    // The user-info stays in the request's URL: Qt answers the first
    // challenge with it (decoded) before looking in its credential cache, so
    // the password typed now is what counts. It never goes on the wire unasked
    // nor in a request line. A second challenge finds no handler filling in
    // credentials and ends with the server's 401 page.
    // (AuthenticationReuseAttribute = Manual would switch authentication off.)
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mozilla/5.0 (compatible; Parlowen/" PARLOWEN_VERSION ")"));
    // Redirects are followed here, not by Qt: Qt 6.4 mixes up the next answer
    // on a kept-alive connection when it follows one itself.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // An idle connection is closed at once: Qt would send its last
    // credentials unasked on the next request over it.
    request.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute, 0);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    reply = manager.get(request);
    QNetworkReply* r = reply;
    QObject::connect(r, &QNetworkReply::metaDataChanged, q, [this] { onMetaDataChanged(); });
    QObject::connect(r, &QNetworkReply::readyRead, q, [this] { onReadyRead(); });
    QObject::connect(r, &QNetworkReply::finished, q, [this] { onFinished(); });
}

bool BrowserEngine::Private::isRedirect() const
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 300 && status < 400 && reply->hasRawHeader("Location");
}

void BrowserEngine::Private::followRedirect()
{
    QUrl next = currentUrl.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
    const QString scheme = next.scheme();
    if (currentUrl.scheme() == QLatin1String("https") && scheme != QLatin1String("https"))
        return fail(LoadError::InsecureRedirect);
    if (!next.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return fail(LoadError::InvalidAddress);
    if (++redirects > limits.maxRedirects)
        return fail(LoadError::TooManyRedirects);
    // The user's credentials stay with the host they were typed for;
    // resolved() keeps them on a relative Location, and any a server put
    // into an absolute one are dropped.
    next.setUserInfo(sameOrigin(next, original) ? original.userInfo() : QString());
    next.setFragment(QString());

    QNetworkReply* old = reply;
    QObject::disconnect(old, nullptr, q, nullptr);
    old->deleteLater();
    body.clear();
    request(next);
}

void BrowserEngine::Private::onMetaDataChanged()
{
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    // A redirect's own body is never kept, whatever it announces.
    if (isRedirect() || !length.isValid())
        return;
    if (length.toLongLong() > limits.maxBodyBytes)
        return fail(LoadError::TooLarge);
    // Room for the whole body at once: growing by appends would copy it over
    // and over, and leave up to twice its size allocated.
    body.reserve(length.toLongLong());
}

void BrowserEngine::Private::onReadyRead()
{
    if (isRedirect()) {
        reply->readAll();
        return;
    }
    const qint64 available = reply->bytesAvailable();
    if (body.size() + available > limits.maxBodyBytes) {
        fail(LoadError::TooLarge);
        return;
    }
    // Read straight into the body rather than through a temporary copy.
    const qsizetype start = body.size();
    body.resize(start + available);
    const qint64 read = reply->read(body.data() + start, available);
    body.resize(start + qMax<qint64>(read, 0));
}

void BrowserEngine::Private::onFinished()
{
    QNetworkReply* r = reply;
    const QVariant status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = r->error();
    if (isTransportFailure(error) || !status.isValid()) {
        fail(loadErrorFor(error == QNetworkReply::NoError ? QNetworkReply::UnknownNetworkError : error));
        return;
    }
    if (isRedirect())
        return followRedirect();
    onReadyRead();
    if (reply != r)
        return; // the rest went over the size limit
    const QByteArray contentType = r->rawHeader("Content-Type");
    reply = nullptr;
    QObject::disconnect(r, nullptr, q, nullptr);
    r->deleteLater();
    complete(HtmlDocument(requestedUrl, pageText(std::exchange(body, {}), contentType), status.toInt()));
}

void BrowserEngine::Private::fail(LoadError error)
{
    const QString url = requestedUrl;
    cancel();
    complete(errorDocument(url, error));
}

void BrowserEngine::Private::complete(HtmlDocument finished)
{
    deadline.stop();
    document = std::move(finished);
    // A handler may navigate again from DocumentComplete; "Done" still
    // belongs to this document, so take the URL before emitting.
    const QString url = document.url();
    emit q->DocumentComplete(url);
    emit q->StatusTextChange(QStringLiteral("Done"));
}

HtmlDocument BrowserEngine::Private::errorDocument(const QString& url, LoadError error) const
{
    QStringList lines{QStringLiteral("The page could not be loaded.")};
    // The query goes too: an update address carries the password there.
    const QUrl parsed(url.trimmed());
    if (parsed.isValid() && !parsed.host().isEmpty()) {
        lines << QStringLiteral("Address: ") +
                     parsed.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
    }
    lines << toString(error);
    return HtmlDocument(url, lines.join(QStringLiteral("\r\n")), 0, error);
}

BrowserEngine::BrowserEngine(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this))
{
    // The manager takes ownership of its factory.
    d->manager.setProxyFactory(std::make_unique<SystemProxyFactory>().release());
    d->deadline.setSingleShot(true);
    connect(&d->deadline, &QTimer::timeout, this, [this] { d->fail(LoadError::TimedOut); });
}

BrowserEngine::~BrowserEngine()
{
    // The reply must not call back into a half-destroyed engine.
    d->cancel();
}

void BrowserEngine::setLimits(const BrowserLimits& limits)
{
    d->limits = limits;
}

const BrowserLimits& BrowserEngine::limits() const
{
    return d->limits;
}

void BrowserEngine::Navigate(const QString& url)
{
    d->navigate(url);
}

void BrowserEngine::Navigate2(const QString& url)
{
    d->navigate(url);
}

const HtmlDocument& BrowserEngine::Document() const
{
    return d->document;
}

} // namespace parlowen
