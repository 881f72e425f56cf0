// The sheets a page links to and imports, loaded like the page itself.
#include "web/browserengine_p.h"

#include "css/sheetdiscovery.h"
#include "web/answerbody.h"
#include "web/plainhttpreply.h"
#include "web/signin.h"

#include <QRandomGenerator>

#include <algorithm>

namespace parlowen {

// The page's sheets load like the page: through the same network manager,
// with its cookies and credentials, within its deadline, and with the page
// within its size limit. A sheet that fails to load is skipped; one that
// redirects is too, so that none comes from another server.
void BrowserEngine::Private::loadSheets(QByteArray page, QByteArray contentType, int status)
{
    if (page.size() < InlinePageBytes) {
        std::vector<QUrl> wanted = linkedStyleSheets(page, contentType, currentUrl);
        return fetchSheets(std::move(page), std::move(contentType), status, std::move(wanted));
    }
    // Finding the links parses the page, which is ours to do, not the
    // device's: the deadline waits, and goes on if there are sheets to load.
    const int left = deadline.remainingTime();
    deadline.stop();
    pageText.findLinkedSheets(page, contentType, currentUrl, q,
                              [this, page, contentType, status, left](std::vector<QUrl> wanted) {
                                  if (left >= 0)
                                      deadline.start(left);
                                  fetchSheets(page, contentType, status, std::move(wanted));
                              });
}

void BrowserEngine::Private::fetchSheets(QByteArray page, QByteArray contentType, int status,
                                         std::vector<QUrl> wanted)
{
    if (wanted.empty())
        return render(std::move(page), std::move(contentType), status);
    sheetLoad.emplace();
    sheetLoad->room = limits.maxBodyBytes - page.size();
    sheetLoad->page = std::move(page);
    sheetLoad->contentType = std::move(contentType);
    sheetLoad->status = status;
    sheetLoad->sheets.pageUrl = currentUrl;
    sheetLoad->wanted = std::move(wanted);
    nextSheet();
}

void BrowserEngine::Private::nextSheet()
{
    SheetLoad& load = *sheetLoad;
    // Each sheet once, however often it is linked or imported.
    while (load.next < load.wanted.size() &&
           std::find(load.wanted.begin(), load.wanted.begin() + qsizetype(load.next),
                     load.wanted[load.next]) != load.wanted.begin() + qsizetype(load.next))
        ++load.next;
    if (load.next < load.wanted.size())
        return requestSheet({});
    SheetLoad done = std::move(load);
    sheetLoad.reset();
    render(std::move(done.page), std::move(done.contentType), done.status, std::move(done.sheets));
}

void BrowserEngine::Private::requestSheet(const QByteArray& authorization)
{
    sheetLoad->challengeAnswered = !authorization.isEmpty();
    sheetReply = manager->get(newRequest(sheetLoad->wanted[sheetLoad->next], authorization));
    QNetworkReply* r = sheetReply;
    QObject::connect(r, &QNetworkReply::readyRead, q, [this, r] {
        if (r->bytesAvailable() > sheetLoad->room)
            r->abort();
    });
    QObject::connect(r, &QNetworkReply::finished, q, [this] { onSheetFinished(); });
}

void BrowserEngine::Private::onSheetFinished()
{
    QNetworkReply* r = sheetReply;
    sheetReply = nullptr;
    QObject::disconnect(r, nullptr, q, nullptr);
    r->deleteLater();
    SheetLoad& load = *sheetLoad;
    const QUrl url = load.wanted[load.next];
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The router's password, once, as for the page.
    if (status == 401 && r->hasRawHeader("WWW-Authenticate") && !load.challengeAnswered &&
        !credentials.isEmpty() && credentialsMayGoTo(url, original)) {
        const Result<SignIn, LoadError> signIn = chooseSignIn(r->rawHeader("WWW-Authenticate"));
        if (signIn) {
            const QByteArray cnonce = QByteArray::number(QRandomGenerator::system()->generate64(), 16);
            return requestSheet(
                authorization(signIn.value(), credentials, "GET", requestTarget(url), cnonce));
        }
    }
    if (status == 200 && r->error() == QNetworkReply::NoError) {
        const QByteArray bytes = r->readAll();
        Result<QByteArray, LoadError> sheet =
            bytes.size() <= load.room ? unpackedBody(bytes, r->rawHeader("Content-Encoding"), load.room)
                                      : Result<QByteArray, LoadError>(LoadError::TooLarge);
        if (sheet) {
            load.room -= sheet.value().size();
            if (!isStyleSheetType(r->rawHeader("Content-Type")))
                load.sheets.otherTypes.insert(url);
            for (const QUrl& imported : importedStyleSheets(sheet.value(), url, load.sheets.pageUrl))
                load.wanted.push_back(imported);
            load.sheets.sheets.insert(url, std::move(sheet).value());
        }
    }
    ++load.next;
    nextSheet();
}

} // namespace parlowen
