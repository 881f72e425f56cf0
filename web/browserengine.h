#pragma once
// A headless browser: loads one top-level page at a time over HTTP(S) and
// reports it the way the window's handlers expect of a browser control.

#include "web/htmldocument.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace parlowen {

struct BrowserLimits {
    std::chrono::milliseconds timeout{30'000}; // for a whole load, redirects included
    qint64 maxBodyBytes = 32 * 1024 * 1024;
    int maxRedirects = 10;
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
