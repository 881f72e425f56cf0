// A headless browser over Qt Network: one top-level load at a time, reported
// as a finished document whatever happened, the way a browser control does.
#include "web/browserengine_p.h"

#include "html/pagetext.h"
#include "web/answerbody.h"
#include "web/plainhttpreply.h"
#include "web/replyerror.h"
#include "web/signin.h"

#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace parlowen {

const qint64 kLargestPageBody = kLargestPageBytes;

namespace {

const QString aboutBlank = QStringLiteral("about:blank");

} // namespace

void BrowserEngine::Private::cancel()
{
    ++generation;
    deadline.stop();
    pageText.cancel();
    if (reply) {
        QNetworkReply* old = reply;
        reply = nullptr;
        QObject::disconnect(old, nullptr, q, nullptr);
        old->abort();
        old->deleteLater();
    }
    dropSheetReply();
    sheetDeadline.stop();
    sheetLoad.reset();
    credentials = {};
    body.clear();
    body.squeeze();
    keptBody.clear();
}

void BrowserEngine::Private::later(std::function<void()> work)
{
    QTimer::singleShot(0, q, [this, expected = generation, work = std::move(work)] {
        if (generation == expected)
            work();
    });
}

void BrowserEngine::Private::navigate(const QString& url, const NavigationRequest& request)
{
    cancel();
    requestedUrl = url;
    sent = request;

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
    original = parsed.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    credentials = sent.credentials.isEmpty() ? Credentials::of(parsed) : sent.credentials;
    if (!manager)
        manager = new NetworkManager(q);
    manager->startNavigation();
    deadline.start(limits.timeout);
    this->request(original);
    later([this] { emit q->StatusTextChange(QStringLiteral("Connecting to %1...").arg(original.host())); });
}

QNetworkRequest newRequest(const QUrl& url, const QByteArray& authorization, const QByteArray& userAgent)
{
    // No user-info in the request: Qt would answer a challenge with it on its
    // own, in Latin-1. Credentials go out only from answerChallenge.
    QNetworkRequest request(url);
    // Qt answers no challenge itself: it would prefer NTLM to Basic, and at a
    // server that never completes NTLM it sends a new round thousands of
    // times a second without asking again.
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      userAgent.isEmpty()
                          ? QByteArray("Mozilla/5.0 (compatible; Parlowen/" PARLOWEN_VERSION ")")
                          : userAgent);
    // Asking for the encodings ourselves keeps Qt from unpacking them: it
    // passes a damaged or cut-off stream on as a whole page.
    request.setRawHeader("Accept-Encoding", acceptedEncodings.toByteArray());
    // Redirects are followed here, not by Qt: Qt 6.4 mixes up the next answer
    // on a kept-alive connection when it follows one itself.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

void BrowserEngine::Private::request(const QUrl& url, QByteArray authorization)
{
    currentUrl = url;
    // What was given with the address goes to its own host and port alone,
    // and the account unasked only where nobody on the way can read it.
    const bool ownOrigin = credentialsMayGoTo(url, original);
    signedInAtOnce = authorization.isEmpty() && sent.signInAtOnce && ownOrigin &&
                     url.scheme() == QLatin1String("https") && !credentials.isEmpty();
    if (signedInAtOnce)
        authorization = parlowen::authorization(SignIn{}, credentials, sent.method, {}, {});
    challengeAnswered = !authorization.isEmpty();
    QNetworkRequest asked = newRequest(url, authorization, sent.userAgent);
    if (ownOrigin) {
        for (const auto& [name, value] : sent.headers)
            asked.setRawHeader(name, value);
    }
    reply =
        followsRedirects() ? manager->get(asked) : manager->sendCustomRequest(asked, sent.method, sent.body);
    QNetworkReply* r = reply;
    QObject::connect(r, &QNetworkReply::metaDataChanged, q, [this] { onMetaDataChanged(); });
    QObject::connect(r, &QNetworkReply::readyRead, q, [this] { onReadyRead(); });
    QObject::connect(r, &QNetworkReply::finished, q, [this] { onFinished(); });
}

// A challenge gets one answer. A second one to the same request means the
// password was refused, and the server's own 401 page is shown: trying again
// would only lock the account sooner. False when the 401 page is the answer.
bool BrowserEngine::Private::answerChallenge()
{
    // The account went with the request: this is the server's answer to it.
    if (signedInAtOnce)
        return false;
    const Result<SignIn, LoadError> signIn = chooseSignIn(reply->rawHeader("WWW-Authenticate"));
    if (!signIn) {
        fail(signIn.error());
        return true;
    }
    if (challengeAnswered || credentials.isEmpty() || !credentialsMayGoTo(currentUrl, original))
        return false;
    // The request target as Qt writes it, and PlainHttpReply too.
    const QByteArray uri = requestTarget(currentUrl);
    const QByteArray cnonce = QByteArray::number(QRandomGenerator::system()->generate64(), 16);

    QNetworkReply* old = reply;
    QObject::disconnect(old, nullptr, q, nullptr);
    old->deleteLater();
    body.clear();
    request(currentUrl, authorization(signIn.value(), credentials, sent.method, uri, cnonce));
    return true;
}

bool BrowserEngine::Private::isRedirect() const
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return followsRedirects() && status >= 300 && status < 400 && reply->hasRawHeader("Location");
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
    // Credentials a server puts into a Location are not the user's: Qt would
    // answer the next challenge with them.
    next = next.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment);

    QNetworkReply* old = reply;
    QObject::disconnect(old, nullptr, q, nullptr);
    old->deleteLater();
    body.clear();
    request(next);
}

void BrowserEngine::Private::onMetaDataChanged()
{
    if (!reply->hasRawHeader("Content-Length"))
        return;
    const Result<qint64, LoadError> length = announcedLength(reply->rawHeader("Content-Length"));
    if (!length)
        return fail(length.error());
    // A redirect's own body is never kept, whatever it announces.
    if (isRedirect())
        return;
    if (length.value() > limits.maxBodyBytes)
        return fail(LoadError::TooLarge);
    // Room for the whole body at once: growing by appends would copy it over
    // and over, and leave up to twice its size allocated.
    body.reserve(length.value());
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
    if (!status.isValid())
        return fail(loadErrorFor(error == QNetworkReply::NoError ? QNetworkReply::UnknownNetworkError : error,
                                 false, r->errorString()));
    if (isTransportFailure(error))
        return fail(loadErrorFor(error, true, r->errorString()));
    if (isRedirect())
        return followRedirect();
    if (status.toInt() == 401 && r->hasRawHeader("WWW-Authenticate") && answerChallenge())
        return;
    onReadyRead();
    if (reply != r)
        return; // the rest went over the size limit
    Result<QByteArray, LoadError> unpacked =
        unpackedBody(std::exchange(body, {}), r->rawHeader("Content-Encoding"), limits.maxBodyBytes);
    if (!unpacked)
        return fail(unpacked.error());
    const QByteArray contentType = r->rawHeader("Content-Type");
    if (sent.keepBody)
        keptBody = unpacked.value();
    reply = nullptr;
    QObject::disconnect(r, nullptr, q, nullptr);
    r->deleteLater();
    readPage(std::move(unpacked).value(), contentType, status.toInt());
}

// A page of many megabytes takes a while to read: that happens on the
// engine's own thread, so a window stays responsive and can be closed
// meanwhile. The network's deadline is over once the body is in; the parse
// has a budget of its own, and a navigation in the meantime stops it.
void BrowserEngine::Private::render(std::shared_ptr<const ParsedPage> page, PageStyleSheets sheets,
                                    int status)
{
    if (page->bytes() + sheets.bytes() < InlinePageBytes) {
        Result<PageText, PageTextError> text = ParsedPage::text(std::move(page), &sheets);
        return rendered(std::move(text), status, sheets);
    }
    // cancel() stops the worker too, so whatever arrives here is still wanted.
    pageText.render(std::move(page), sheets, q, [this, status, sheets](Result<PageText, PageTextError> text) {
        rendered(std::move(text), status, sheets);
    });
}

void BrowserEngine::Private::rendered(Result<PageText, PageTextError> text, int status,
                                      const PageStyleSheets& sheets)
{
    if (!text)
        return fail(LoadError::PageTooComplex);
    QList<SkippedSheet> skipped = sheets.skipped;
    if (text.value().withoutLinkedSheets) {
        QList<QUrl> read = sheets.sheets.keys();
        std::sort(read.begin(), read.end());
        for (const QUrl& url : read)
            skipped.append({url, SheetSkip::TooComplex});
    }
    PageText page = std::move(text).value();
    // A sheet the page was read without for its size or time is one a
    // browser would have read: what it hides is unknown.
    if (std::any_of(skipped.begin(), skipped.end(),
                    [](const SkippedSheet& sheet) { return sheet.why != SheetSkip::NotLoaded; }))
        page.doubt.wholePage = true;
    complete(HtmlDocument(requestedUrl, std::move(page.text), status, LoadError::None,
                          std::exchange(keptBody, {}), std::move(page.doubt), std::move(skipped)));
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
    d->deadline.setSingleShot(true);
    connect(&d->deadline, &QTimer::timeout, this, [this] { d->fail(LoadError::TimedOut); });
    d->sheetDeadline.setSingleShot(true);
    connect(&d->sheetDeadline, &QTimer::timeout, this, [this] { d->sheetsTookTooLong(); });
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
    d->navigate(url, {});
}

void BrowserEngine::Navigate2(const QString& url)
{
    d->navigate(url, {});
}

void BrowserEngine::Navigate2(const QString& url, const NavigationRequest& request)
{
    d->navigate(url, request);
}

const HtmlDocument& BrowserEngine::Document() const
{
    return d->document;
}

} // namespace parlowen
