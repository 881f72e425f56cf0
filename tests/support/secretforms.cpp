// The forms in which a password could show up in output.
#include "support/secretforms.h"

#include <QRegularExpression>
#include <QUrl>

namespace parlowen::test {

namespace {

QString base64(const QString& user, const QString& password)
{
    return QString::fromLatin1((user + ':' + password).toUtf8().toBase64());
}

} // namespace

QString collapsed(const QString& text)
{
    return QString(text).replace(QRegularExpression("\\s+"), " ");
}

QStringList echoedForms(const QString& secret, const QString& user)
{
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(secret));
    QString lowerEscapes = encoded;
    for (qsizetype i = lowerEscapes.indexOf('%'); i >= 0; i = lowerEscapes.indexOf('%', i + 1))
        lowerEscapes.replace(i + 1, 2, lowerEscapes.mid(i + 1, 2).toLower());
    return {secret,
            encoded,
            lowerEscapes,
            QString(encoded).replace("%20", "+"),
            secret.toHtmlEscaped(),
            secret.toHtmlEscaped().replace('\'', "&#39;"),
            base64(user, secret)};
}

QStringList leakedForms(const QString& secret, const QString& user)
{
    return echoedForms(secret, user) << collapsed(secret) << QString(secret).replace('\t', "\\t");
}

QByteArray echoOf(const QString& secret, const QString& user)
{
    return echoedForms(secret, user).join(' ').toUtf8();
}

} // namespace parlowen::test
