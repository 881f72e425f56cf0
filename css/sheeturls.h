#pragma once
// Where sheets are, and which of them a page may read.

#include "css/tokenizer.h"

#include <QByteArrayView>
#include <QUrl>

#include <optional>
#include <vector>

namespace parlowen {

// A fetched sheet is read as UTF-8; its byte order mark is no character.
QByteArrayView withoutByteOrderMark(QByteArrayView sheet);

// Whether a fetched sheet reads as UTF-8, as it is read: not one in UTF-16,
// nor one whose @charset or bytes say another encoding, which a browser
// decodes otherwise.
bool readsAsUtf8(QByteArrayView sheet);

// Scheme, host and port, the default port however it is spelled: the
// page's own server.
bool sameOrigin(const QUrl& a, const QUrl& b);

// The one spelling of a sheet's address that a page's sheets are kept and
// looked up by: http://host/x.css and http://host:80/x.css are one sheet.
QUrl sheetKey(const QUrl& url);

// The address an @import names, resolved against its sheet's; i moves
// past it.
std::optional<QUrl> importUrl(const std::vector<CssToken>& prelude, size_t& i, const QUrl& base);

} // namespace parlowen
