// The sheets a page links to and imports, fetched like the page itself, as
// its sheet set asks for them.
#include "web/browserengine_p.h"

#include "web/answerbody.h"
#include "web/plainhttpreply.h"
#include "web/signin.h"

#include <QRandomGenerator>

#include <algorithm>

namespace parlowen {

// Once its body is in, the page is the engine's to read, not the device's:
// the load's deadline is over, and the sheets get what is left of it, up to
// their own share. Finding the links parses the page, once; its text is
// read from that parse when the sheets are in.
void BrowserEngine::Private::readPage(QByteArray page, QByteArray contentType, int status)
{
    const std::chrono::milliseconds left(std::max(deadline.remainingTime(), 0));
    deadline.stop();
    if (page.size() < InlinePageBytes) {
        std::shared_ptr<const ParsedPage> parsed = ParsedPage::parse(std::move(page), contentType);
        std::vector<QUrl> wanted = parsed->linkedStyleSheets(currentUrl);
        return fetchSheets(std::move(parsed), std::move(wanted), status, left);
    }
    pageText.parse(std::move(page), std::move(contentType), currentUrl, q,
                   [this, status, left](std::shared_ptr<const ParsedPage> parsed, std::vector<QUrl> wanted) {
                       fetchSheets(std::move(parsed), std::move(wanted), status, left);
                   });
}

// The sheets load like the page: through the same network manager, with
// its cookies and credentials, one at a time. A sheet that fails, redirects
// (so that none comes from another server), takes too long or is too large
// is skipped, and the page is read without it.
void BrowserEngine::Private::fetchSheets(std::shared_ptr<const ParsedPage> page, std::vector<QUrl> wanted,
                                         int status, std::chrono::milliseconds left)
{
    if (wanted.empty())
        return render(std::move(page), {}, status);
    const SheetLimits room = sheetLimitsBeside(page->bytes(), limits.maxBodyBytes);
    sheetLoad.emplace(SheetLoad{std::move(page), status, SheetSet(currentUrl, wanted, room)});
    sheetDeadline.start(std::min(left, limits.sheetTimeout));
    nextSheet();
}

void BrowserEngine::Private::nextSheet()
{
    if (const std::optional<QUrl> url = sheetLoad->sheets.next())
        return requestSheet(*url, {});
    sheetDeadline.stop();
    SheetLoad done = std::move(*sheetLoad);
    sheetLoad.reset();
    render(std::move(done.page), std::move(done.sheets).finish(), done.status);
}

void BrowserEngine::Private::requestSheet(const QUrl& url, const QByteArray& authorization)
{
    sheetLoad->challengeAnswered = !authorization.isEmpty();
    sheetLoad->tooLarge = false;
    sheetReply = manager->get(newRequest(url, authorization));
    QNetworkReply* r = sheetReply;
    QObject::connect(r, &QNetworkReply::readyRead, q, [this, r] {
        if (r->bytesAvailable() > sheetLoad->sheets.room()) {
            sheetLoad->tooLarge = true;
            r->abort();
        }
    });
    QObject::connect(r, &QNetworkReply::finished, q, [this] { onSheetFinished(); });
}

void BrowserEngine::Private::dropSheetReply()
{
    QNetworkReply* r = sheetReply;
    sheetReply = nullptr;
    if (!r)
        return;
    QObject::disconnect(r, nullptr, q, nullptr);
    r->abort();
    r->deleteLater();
}

// The sheet in flight, and those after it, are given up; the page is read
// with the sheets that came.
void BrowserEngine::Private::sheetsTookTooLong()
{
    dropSheetReply();
    sheetLoad->sheets.giveUp(SheetSkip::TookTooLong);
    nextSheet();
}

void BrowserEngine::Private::onSheetFinished()
{
    QNetworkReply* r = sheetReply;
    sheetReply = nullptr;
    QObject::disconnect(r, nullptr, q, nullptr);
    r->deleteLater();
    SheetLoad& load = *sheetLoad;
    const QUrl url = *load.sheets.next();
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The router's password, once, as for the page.
    if (status == 401 && r->hasRawHeader("WWW-Authenticate") && !load.challengeAnswered &&
        !credentials.isEmpty() && credentialsMayGoTo(url, original)) {
        const Result<SignIn, LoadError> signIn = chooseSignIn(r->rawHeader("WWW-Authenticate"));
        if (signIn) {
            const QByteArray cnonce = QByteArray::number(QRandomGenerator::system()->generate64(), 16);
            return requestSheet(
                url, authorization(signIn.value(), credentials, "GET", requestTarget(url), cnonce));
        }
    }
    if (load.tooLarge || status != 200 || r->error() != QNetworkReply::NoError) {
        load.sheets.failed(load.tooLarge ? SheetSkip::TooLarge : SheetSkip::NotLoaded);
        return nextSheet();
    }
    const qint64 room = load.sheets.room();
    const QByteArray bytes = r->readAll();
    Result<QByteArray, LoadError> sheet = bytes.size() <= room
                                              ? unpackedBody(bytes, r->rawHeader("Content-Encoding"), room)
                                              : Result<QByteArray, LoadError>(LoadError::TooLarge);
    if (sheet)
        load.sheets.fetched(std::move(sheet).value(), r->rawHeader("Content-Type"));
    else
        load.sheets.failed(sheet.error() == LoadError::TooLarge ? SheetSkip::TooLarge : SheetSkip::NotLoaded);
    nextSheet();
}

} // namespace parlowen
