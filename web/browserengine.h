#pragma once
// A headless browser: loads one top-level page at a time over HTTP(S) and
// reports it the way the window's handlers expect of a browser control.

#include "web/credentials.h"
#include "web/htmldocument.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace parlowen {

// The most a page's body may hold: the most html/ reads the text of.
extern const qint64 kLargestPageBody;

struct BrowserLimits {
    std::chrono::milliseconds timeout{30'000}; // for a whole load, redirects included
    qint64 maxBodyBytes = kLargestPageBody;
    int maxRedirects = 10;
    // For all of a page's sheets together, once the page is in, and within
    // what is left of timeout: past it the page is read without the rest.
    std::chrono::milliseconds sheetTimeout{5'000};
};

// What a navigation sends beside its address, as a browser's Navigate2
// takes post data and headers with it.
struct NavigationRequest {
    QByteArray method = "GET";
    // Go only to the address's own host and port; a navigation that sends a
    // body or another method than GET takes a redirect for its answer.
    QList<QPair<QByteArray, QByteArray>> headers{};
    QByteArray body{};
    // The account to sign in with, in place of any typed into the address.
    Credentials credentials{};
    // Basic with the request itself, over https to the address's own host
    // and port only; otherwise the account answers one challenge.
    bool signInAtOnce = false;
    QByteArray userAgent{}; // empty: the browser's own
    bool keepBody = false;  // the document keeps the answer's bytes (HtmlDocument::rawBody)
};

class BrowserEngine : public QObject {
    Q_OBJECT
public:
    explicit BrowserEngine(QObject* parent = nullptr);
    ~BrowserEngine() override;

    void setLimits(const BrowserLimits& limits);
    const BrowserLimits& limits() const;

    // Both start loading and return at once; a new call cancels the load in
    // flight, and nothing of a cancelled load is ever reported.
    // "about:blank" gives an empty document.
    void Navigate(const QString& url);
    void Navigate2(const QString& url);
    void Navigate2(const QString& url, const NavigationRequest& request);

    // The current top-level document: empty before the first load finishes.
    const HtmlDocument& Document() const;

signals:
    // Once per finished top-level document, before StatusTextChange("Done").
    void DocumentComplete(const QString& url);
    void StatusTextChange(const QString& text);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace parlowen
