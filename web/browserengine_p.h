#pragma once
// The browser engine's inside, shared by the files that carry a load: the
// page itself (browserengine.cpp) and the sheets it links to (pagesheets.cpp).

#include "web/browserengine.h"
#include "web/credentials.h"
#include "web/networkmanager.h"
#include "web/pagetextworker.h"

#include "css/sheetset.h"
#include "html/parsedpage.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace parlowen {

// A page this small is read on the caller's thread: a hand-off to the page
// text thread and back costs more than a router's page takes to read, and
// the worst page of this size (reopened formatting elements) is read in
// about 30 ms, too soon for anyone to want to stop it.
inline constexpr qsizetype InlinePageBytes = 64 * 1024;

// The page in hand, parsed, while the sheets it links to load, one at a
// time, as its sheet set asks for them.
struct SheetLoad {
    std::shared_ptr<const ParsedPage> page;
    int status = 0;
    SheetSet sheets;
    bool challengeAnswered = false;
    bool tooLarge = false; // the sheet in flight was stopped at its room
};

// A request of the engine's: never answered by Qt, never redirected by it,
// its encodings unpacked by the engine itself.
QNetworkRequest newRequest(const QUrl& url, const QByteArray& authorization,
                           const QByteArray& userAgent = {});

struct BrowserEngine::Private {
    explicit Private(BrowserEngine* engine) : q(engine) {}

    BrowserEngine* q;
    // Made with the first load, kept for the engine's life.
    NetworkManager* manager = nullptr;
    BrowserLimits limits;
    HtmlDocument document;

    // Bumped by every navigation; queued work of an older one sees a
    // different number and does nothing.
    quint64 generation = 0;

    // The load in flight.
    QPointer<QNetworkReply> reply;
    QTimer deadline;
    QString requestedUrl;           // as passed to Navigate, reported as is
    NavigationRequest sent;         // what goes with the address
    QUrl original;                  // as navigated, without user-info
    Credentials credentials;        // typed into the navigated address, or given with it
    QUrl currentUrl;                // where redirects have led so far
    bool challengeAnswered = false; // the request in flight is the answer to one
    bool signedInAtOnce = false;    // the request in flight carries the account unasked
    int redirects = 0;
    QByteArray body;
    QByteArray keptBody; // the answer's bytes, when the navigation asked to keep them

    std::optional<SheetLoad> sheetLoad;
    QPointer<QNetworkReply> sheetReply;
    // The time the page's sheets have together, once the page is in.
    QTimer sheetDeadline;

    // Last, so that it goes first: its thread may still post to the engine.
    PageTextWorker pageText;

    void navigate(const QString& url, const NavigationRequest& request);
    void cancel();
    void later(std::function<void()> work);
    void request(const QUrl& url, QByteArray authorization = {});
    bool followsRedirects() const { return sent.method == "GET" && sent.body.isEmpty(); }
    bool isRedirect() const;
    void followRedirect();
    void onMetaDataChanged();
    void onReadyRead();
    bool answerChallenge();
    void onFinished();
    void readPage(QByteArray page, QByteArray contentType, int status);
    void fetchSheets(std::shared_ptr<const ParsedPage> page, std::vector<QUrl> wanted, int status,
                     std::chrono::milliseconds left);
    void nextSheet();
    void requestSheet(const QUrl& url, const QByteArray& authorization);
    void onSheetFinished();
    void dropSheetReply();
    void sheetsTookTooLong();
    void render(std::shared_ptr<const ParsedPage> page, PageStyleSheets sheets, int status);
    void rendered(Result<PageText, PageTextError> text, int status, const PageStyleSheets& sheets);
    void fail(LoadError error);
    void complete(HtmlDocument finished);
    HtmlDocument errorDocument(const QString& url, LoadError error) const;
};

} // namespace parlowen
