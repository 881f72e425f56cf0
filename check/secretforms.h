#pragma once
// The forms in which a password can come back to us: a page or an answer
// may echo what it was sent, encoded as whatever produced it encodes.

#include <QString>
#include <QStringList>

namespace parlowen {

struct SecretForms {
    // Searched a character at a time, each character as itself or escaped
    // (check/spelledsecret.h), so that a URL or HTML encoding, whole or of
    // some characters only, is found too: the password as typed, as page
    // text shows it with the markup inside it dropped, and each with its
    // white space collapsed. Letter case is left to whoever searches.
    QStringList spelled;
    // The Base64 of the password alone, standard and URL-safe, without the
    // padding, which tells nothing; spelled as above, in its own letter case.
    QStringList base64;
    // Found as they are, in any letter case: JSON-escaped, and as its
    // UTF-8 bytes read as Latin-1 or Windows-1252, each also collapsed.
    QStringList ofSecret;
    // The Base64 of "user:secret" that Basic sign-in sends, written as the
    // password's own is.
    QStringList ofCredentials;
};

SecretForms secretForms(const QString& secret, const QString& user);

} // namespace parlowen
