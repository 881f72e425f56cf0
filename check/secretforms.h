#pragma once
// The forms in which a password can come back to us: a page or an answer
// may echo what it was sent, encoded as whatever produced it encodes.

#include <QString>
#include <QStringList>

namespace parlowen {

struct SecretForms {
    // The password itself: as typed, percent-encoded, form-encoded,
    // HTML-escaped (named and numeric references), JSON-escaped, as its UTF-8
    // bytes read as Latin-1 or Windows-1252, as page text shows it with the
    // markup inside it dropped, and each of these with its white space
    // collapsed. Letter case is left to whoever searches for them.
    QStringList ofSecret;
    // The Base64 of "user:secret" that Basic sign-in sends, with and without
    // its padding.
    QStringList ofCredentials;
};

SecretForms secretForms(const QString& secret, const QString& user);

} // namespace parlowen
