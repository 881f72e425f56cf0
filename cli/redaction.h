#pragma once
// Keeps the router's and the provider's passwords out of everything the
// command prints: a timer's log is read by more people than the settings.

#include <QList>
#include <QString>

namespace parlowen::cli {

// The URL with the password of its user-info and the values of query
// parameters that carry secrets (password, pass, pwd, token, key, ...)
// replaced by "***". Everything else is kept character for character, so the
// rest can be compared with what was sent.
QString maskedUrl(const QString& url);

// Replaces known secrets in a text, e.g. an answer page that echoes the
// request. A secret of four characters or more is masked wherever it
// appears: as typed, percent-encoded, form-encoded, HTML-escaped, with its
// white space collapsed as a page's text shows it, or as the Base64 of
// "user:secret" that Basic authentication sends. A shorter one is masked only
// where it stands alone, since "r" inside "received" is no leak.
// Mask before shortening or collapsing a text, never after.
class Redactor {
public:
    void addSecret(const QString& secret, const QString& user = {});
    QString operator()(QString text) const;

private:
    struct Form {
        QString text;
        bool anywhere; // else only where it stands alone
    };
    QList<Form> m_forms; // longest first, so a form is never half replaced
};

} // namespace parlowen::cli
