// The browser as a child widget of the window, driven by the headless engine.
#include "app/webbrowser.h"

namespace parlowen {

WebBrowser::WebBrowser(QWidget* parent, Twips twips)
    : QWidget(parent), m_engine(new BrowserEngine(this)), m_twips(twips)
{
    // Nothing to see or type into: it must not take the keyboard focus.
    setFocusPolicy(Qt::NoFocus);
    connect(m_engine, &BrowserEngine::DocumentComplete, this, &WebBrowser::DocumentComplete);
    connect(m_engine, &BrowserEngine::StatusTextChange, this, &WebBrowser::StatusTextChange);
}

float WebBrowser::Width() const
{
    return static_cast<float>(m_twips.fromPixels(width()));
}

void WebBrowser::Move(float left)
{
    move(m_twips.toPixels(left), y());
}

} // namespace parlowen
