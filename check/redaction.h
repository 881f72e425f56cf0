#pragma once
// Keeps the router's and the provider's passwords out of everything the
// programs show: a timer's log is read by more people than the settings.
//
// Only what came from outside is searched: a page's text, an answer, the
// address a router reports, a value from the settings. The program's own
// words are written around it afterwards, so that "HTTP 200" and
// "127.0.0.1" stay readable whatever the password is.

#include <QList>
#include <QString>
#include <QStringMatcher>

namespace parlowen {

// The URL with the password of its user-info and the values of query
// parameters that carry secrets (password, pass, pwd, token, key, ...)
// replaced by "***". Everything else is kept character for character, so the
// rest can be compared with what was sent.
QString maskedUrl(const QString& url);

// Replaces known secrets in text from outside, e.g. an answer page that
// echoes the request, in any letter case and in each of its forms (see
// check/secretforms.h). A secret of four characters or more is masked
// wherever it appears. A shorter one is masked only where it stands alone,
// since "1" inside "127.0.0.1" is no leak. The Base64 of Basic sign-in is
// masked wherever it appears, whatever the secret's length.
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
    struct Form {
        QStringMatcher matcher;
        bool anywhere; // else only where it stands alone
    };
    void add(const QString& text, bool anywhere, Qt::CaseSensitivity cs);
    // shortOnesToo: also the secrets too short to be masked inside a word.
    QString masked(QString text, bool shortOnesToo) const;

    QList<Form> m_forms; // longest first, so a form is never half replaced
};

} // namespace parlowen
