#pragma once
// Answering a server's password challenge (a 401's WWW-Authenticate) by hand.
// Qt answers on its own only what it chooses, and it replays NTLM endlessly
// at a server that never finishes the exchange; the engine lets Qt answer
// nothing and sends the one Authorization header built here instead.

#include "common/result.h"
#include "web/credentials.h"
#include "web/loaderror.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace parlowen {

// One challenge we can answer.
struct SignIn {
    enum class Scheme { Basic, Digest };
    Scheme scheme = Scheme::Basic;
    QCryptographicHash::Algorithm hash = QCryptographicHash::Md5; // Digest only
    QByteArray algorithm{};                                       // as the server named it; empty for none
    QByteArray realm{};
    QByteArray nonce{};
    QByteArray opaque{};
    bool qopAuth = false; // else the response of RFC 2069, without qop, nc and cnonce
};

// The strongest challenge of a WWW-Authenticate value that we can answer
// (Digest SHA-256, then Digest MD5, then Basic), or the LoadError naming what
// the server asks for instead. Several headers arrive joined by ", ".
Result<SignIn, LoadError> chooseSignIn(const QByteArray& wwwAuthenticate);

// The Authorization header for one request; credentials go out as UTF-8.
// `uri` is the request target as sent; `cnonce` is the client's random nonce.
QByteArray authorization(const SignIn& signIn, const Credentials& credentials, const QByteArray& method,
                         const QByteArray& uri, const QByteArray& cnonce);

} // namespace parlowen
