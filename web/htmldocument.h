#pragma once
// The finished top-level document as the window's handlers read it: the
// body's rendered text and the address the page was asked for.

#include "common/doubtfultext.h"
#include "common/skippedsheet.h"
#include "web/loaderror.h"

#include <QList>

#include <QString>

namespace parlowen {

class HtmlElement {
public:
    HtmlElement() = default;
    explicit HtmlElement(QString innerText, DoubtfulText doubt = {})
        : m_innerText(std::move(innerText)), m_doubt(std::move(doubt))
    {}

    // Rendered text with every line break written as "\r\n".
    const QString& innerText() const { return m_innerText; }
    // Where in it a style rule the engine could not read might hide text
    // a browser would not show.
    const DoubtfulText& doubtfulText() const { return m_doubt; }

private:
    QString m_innerText;
    DoubtfulText m_doubt;
};

class HtmlDocument {
public:
    HtmlDocument() = default;
    HtmlDocument(QString url, QString bodyText, int httpStatus = 0, LoadError error = LoadError::None,
                 QByteArray rawBody = {}, DoubtfulText doubt = {}, QList<SkippedSheet> skippedSheets = {})
        : m_url(std::move(url)), m_body(std::move(bodyText), std::move(doubt)), m_rawBody(std::move(rawBody)),
          m_skippedSheets(std::move(skippedSheets)), m_httpStatus(httpStatus), m_error(error)
    {}

    const HtmlElement& body() const { return m_body; }
    // The address exactly as it was passed to Navigate/Navigate2, query included.
    const QString& url() const { return m_url; }

    // The answer's bytes as they came, unpacked, when the navigation asked
    // to keep them: an answer whose markup is its meaning (XML, JSON).
    const QByteArray& rawBody() const { return m_rawBody; }

    // The style sheets the page linked to and was read without, and why.
    const QList<SkippedSheet>& skippedSheets() const { return m_skippedSheets; }

    // How the load went, for diagnostics; the handlers only read the text.
    int httpStatus() const { return m_httpStatus; } // 0 when no HTTP answer came
    LoadError loadError() const { return m_error; }
    // Why the load failed, in words that name whom it asked; empty when the
    // page arrived.
    QString loadErrorWords(LoadPeer peer) const
    {
        return m_error == LoadError::None ? QString() : toString(m_error, peer);
    }

private:
    QString m_url;
    HtmlElement m_body;
    QByteArray m_rawBody;
    QList<SkippedSheet> m_skippedSheets;
    int m_httpStatus = 0;
    LoadError m_error = LoadError::None;
};

} // namespace parlowen
