#pragma once
// The forms in which a password could show up in output, for tests that
// prove it never does.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace parlowen::test {

// text with every run of white space written as one space, as page text shows it.
QString collapsed(const QString& text);

// The forms in which a page may echo a password: as typed and in upper
// case, encoded for a URL (with upper- or lower-case escapes), a form,
// HTML (named and numeric references) or JSON, its UTF-8 read as Latin-1
// or Windows-1252, every other character percent-encoded or an HTML
// reference, its Base64 (standard, and URL-safe without padding), and
// inside Basic credentials of user.
QStringList echoedForms(const QString& secret, const QString& user);

// Every form in which a password could leak into output: those a page may
// echo, with white space collapsed, with a tab written as the command
// writes control characters, or with markup inside it dropped.
QStringList leakedForms(const QString& secret, const QString& user);

// A page that echoes a password in every form at once, each in brackets,
// where even a password of one character stands alone.
QByteArray echoOf(const QString& secret, const QString& user);

// The form of a password that output shows, or nothing: the router's, of
// the user admin, or the service's, of alice. One of four characters or
// more must not show in any letter case, nor its first six characters; a
// shorter one not where a page echoed it alone. The "//admin:***@" of the
// URLs the programs write is theirs.
QString leakIn(QString output, const QString& routerPassword, const QString& servicePassword);

// Rows "routerPassword" and "servicePassword" that every output channel is
// run with: long and short passwords, ones that look like our own words (a
// status code, an address's digit, the router's user name), non-ASCII ones,
// and ones holding markup or a quote.
void addEchoedPasswordRows();

} // namespace parlowen::test
