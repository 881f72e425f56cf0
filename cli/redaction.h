#pragma once
// Keeps the router's and the provider's passwords out of everything the
// command prints: a timer's log is read by more people than the settings.

#include <QString>
#include <QStringList>

namespace parlowen::cli {

// The URL with the password of its user-info and the values of query
// parameters that carry secrets (password, pass, pwd, token, key, ...)
// replaced by "***". Everything else is kept character for character, so the
// rest can be compared with what was sent.
QString maskedUrl(const QString& url);

// Replaces known secrets wherever they stand on their own in a text, as typed
// or percent-encoded, e.g. in an answer page that echoes the request.
class Redactor {
public:
    void addSecret(const QString& secret);
    QString operator()(QString text) const;

private:
    QStringList m_forms; // longest first, so a form is never half replaced
};

} // namespace parlowen::cli
