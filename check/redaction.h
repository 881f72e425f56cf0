#pragma once
// Keeps the router's and the provider's passwords out of everything the
// programs show: a timer's log is read by more people than the settings.
//
// Only what came from outside is searched: a page's text, an answer, the
// address a router reports, a value from the settings. The program's own
// words are written around it afterwards, so that "HTTP 200" and
// "127.0.0.1" stay readable whatever the password is.

#include "check/spelledsecret.h"

#include <QList>
#include <QString>
#include <QStringMatcher>

#include <bitset>
#include <vector>

namespace parlowen {

// The URL with the password of its user-info and the values of query
// parameters that carry secrets (password, pass, pwd, token, key, ...)
// replaced by "***". Everything else is kept character for character, so the
// rest can be compared with what was sent.
QString maskedUrl(const QString& url);

// Replaces known secrets in text from outside, e.g. an answer page that
// echoes the request, in any letter case and in each of its forms (see
// check/secretforms.h). A secret of four characters or more is masked
// wherever it appears, and so is its Base64. A shorter one, and its Base64,
// is masked only where it stands alone, since "1" inside "127.0.0.1" is no
// leak. The Base64 of Basic sign-in is masked wherever it appears, whatever
// the secret's length.
// Mask before shortening or collapsing a text, never after.
class Redactor {
public:
    void addSecret(const QString& secret, const QString& user = {});
    QString operator()(QString text) const;
    // A URL this program shows: maskedUrl(), and then the segments of its
    // path, the values of its other query parameters and its bare query
    // items searched, since they come from the settings and the router's
    // page, and may hold a provider's token. Scheme and host are left as
    // they are.
    QString url(const QString& url) const;

private:
    struct Spelled {
        SpelledSecret secret;
        bool anywhere; // else only where it stands alone
    };
    struct Literal {
        QStringMatcher matcher;
        bool anywhere;
    };
    void addSpelled(const QString& text, bool anywhere, Qt::CaseSensitivity cs);
    void addLiteral(const QString& text, bool anywhere);
    // shortOnesToo: also the secrets too short to be masked inside a word.
    QString masked(QString text, bool shortOnesToo) const;
    QString maskedSpellings(const QString& text, bool shortOnesToo) const;

    std::vector<Spelled> m_spelled; // longest first, so a form is never half replaced
    QList<Literal> m_literal;       // longest first
    // What a spelling of any secret can begin with, so that the text between
    // is passed over with one look at each character.
    std::bitset<65536> m_startUnits;
};

} // namespace parlowen
