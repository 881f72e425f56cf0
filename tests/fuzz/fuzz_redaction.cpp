// Fuzzes the masking of a password: the input's first line is the password,
// the rest the text from outside. Whatever the text, what is shown of it holds
// no spelling of a password of four characters or more: not as typed in any
// letter case, not percent-encoded, not HTML-escaped, in no mix of these,
// and not as its Base64.

#include "check/redaction.h"
#include "check/spelledsecret.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

[[noreturn]] void fail(const char* what, const QString& secret, const QString& text)
{
    std::fprintf(stderr, "invariant broken: %s\npassword: %s\ntext: %s\n", what,
                 secret.toUtf8().toPercentEncoding(" ").constData(),
                 text.toUtf8().toPercentEncoding(" ").constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    if (lineEnd < 0)
        return 0;
    const QString secret = QString::fromUtf8(input.left(lineEnd));
    const QString text = QString::fromUtf8(input.mid(lineEnd + 1));
    Redactor redactor;
    redactor.addSecret(secret, QStringLiteral("admin"));
    const QString shown = redactor(text);
    // The mask itself could be part of a password holding "*".
    if (secret.size() < 4 || secret.contains(u'*'))
        return 0;
    const QByteArray utf8 = secret.toUtf8();
    for (const QString& form :
         {secret, QString::fromLatin1(QUrl::toPercentEncoding(secret)), secret.toHtmlEscaped()}) {
        if (shown.contains(form, Qt::CaseInsensitive))
            fail("a form of the password is shown", secret, text);
    }
    for (const QByteArray& base64 : {utf8.toBase64(), utf8.toBase64(QByteArray::Base64UrlEncoding)}) {
        if (shown.contains(QString::fromLatin1(base64)))
            fail("the password's Base64 is shown", secret, text);
    }
    const SpelledSecret spelled(secret, Qt::CaseInsensitive);
    SpelledSecret::Scratch scratch;
    for (qsizetype at = 0; at < shown.size(); ++at) {
        if (spelled.spelledAt(shown, at, scratch) >= 0)
            fail("a spelling of the password is shown", secret, text);
    }
    return 0;
}
