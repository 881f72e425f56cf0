#pragma once
// The browser as a child widget of the window. It shows nothing itself: the
// window keeps it out of sight, and a headless engine does the loading.

#include "app/twips.h"
#include "web/browserengine.h"

#include <QWidget>

namespace parlowen {

class WebBrowser : public QWidget {
    Q_OBJECT
public:
    // Placed by the window, which hands over the scale it laid itself out at.
    explicit WebBrowser(QWidget* parent = nullptr, Twips twips = Twips());

    // Geometry in twips, as the window's layout is designed.
    float Width() const;
    void Move(float left); // moves the left edge only

    void Navigate(const QString& url) { m_engine->Navigate(url); }
    void Navigate2(const QString& url) { m_engine->Navigate2(url); }
    const HtmlDocument& Document() const { return m_engine->Document(); }

    BrowserEngine* engine() const { return m_engine; }

signals:
    void DocumentComplete(const QString& url);
    void StatusTextChange(const QString& text);

private:
    BrowserEngine* m_engine; // owned as a child QObject
    Twips m_twips;
};

} // namespace parlowen
