#pragma once
// The user name and password typed into a navigation's address, and where
// they may go: only to the host and port they were typed for.

#include <QString>
#include <QUrl>

namespace parlowen {

struct Credentials {
    QString user;
    QString password;

    // From the address's user-info, percent-decoded; empty without a user.
    static Credentials of(const QUrl& url);
    bool isEmpty() const { return user.isEmpty() && password.isEmpty(); }
};

// Whether a challenge from `url` may be answered with credentials typed for
// `typedFor`: the same scheme, host and port, or the same host upgraded from
// http to https (on the same port, or from 80 to 443). Never to another host
// or port, and never from https down to http.
bool credentialsMayGoTo(const QUrl& url, const QUrl& typedFor);

} // namespace parlowen
