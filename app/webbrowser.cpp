// The browser as a child widget of the window, driven by the headless engine.
#include "app/webbrowser.h"

#include "app/twips.h"

namespace parlowen {

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent), m_engine(new BrowserEngine(this))
{
    // Nothing to see or type into: it must not take the keyboard focus.
    setFocusPolicy(Qt::NoFocus);
    connect(m_engine, &BrowserEngine::DocumentComplete, this, &WebBrowser::DocumentComplete);
    connect(m_engine, &BrowserEngine::StatusTextChange, this, &WebBrowser::StatusTextChange);
}

float WebBrowser::Width() const
{
    return static_cast<float>(pixelsToTwips(width()));
}

void WebBrowser::Move(float left)
{
    move(twipsToPixels(left), y());
}

} // namespace parlowen
