#pragma once
// Turns the bytes of a fetched page into the text a browser shows for its
// body (innerText), with every line break written as "\r\n".

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace parlowen {

// contentType is the raw Content-Type header value, possibly empty.
// text/plain is shown as preformatted text; anything else is parsed as HTML.
// The body is taken by value so that a large page is not kept twice.
QString pageText(QByteArray body, QByteArrayView contentType);

// innerText of the body of an HTML document already decoded to UTF-8.
QString innerTextOfHtml(QByteArrayView utf8Html);

} // namespace parlowen
