#pragma once
// The forms in which a password could show up in output, for tests that
// prove it never does.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace parlowen::test {

// text with every run of white space written as one space, as page text shows it.
QString collapsed(const QString& text);

// The forms in which a page may echo a password: as typed, encoded for a
// URL (with upper- or lower-case escapes), a form or HTML, and inside Basic
// credentials of user.
QStringList echoedForms(const QString& secret, const QString& user);

// Every form in which a password could leak into output: those a page may
// echo, with white space collapsed, or with a tab written as the command
// writes control characters.
QStringList leakedForms(const QString& secret, const QString& user);

// A page that echoes a password in every form at once.
QByteArray echoOf(const QString& secret, const QString& user);

} // namespace parlowen::test
