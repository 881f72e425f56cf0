// The forms in which a password could show up in output.
#include "support/secretforms.h"

#include "common/windows1252.h"

#include <QRegularExpression>
#include <QTest>
#include <QUrl>

namespace parlowen::test {

namespace {

QString base64(const QString& user, const QString& password)
{
    return QString::fromLatin1((user + ':' + password).toUtf8().toBase64());
}

// Every character outside ASCII and each of " / \ escaped, hex digits in
// upper case, as some JSON encoders write them.
QString jsonEscaped(const QString& text)
{
    QString escaped;
    for (QChar c : text) {
        if (c == '"' || c == '/' || c == '\\')
            escaped += QString("\\") + c;
        else if (c.unicode() >= 0x80)
            escaped += QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0')).toUpper().replace("\\U", "\\u");
        else
            escaped += c;
    }
    return escaped;
}

QString numericReferences(const QString& text)
{
    QString escaped;
    for (char32_t c : text.toUcs4())
        escaped += QString("&<>\"'").contains(QChar(c)) || c >= 0x80 ? QString("&#%1;").arg(c) : QChar(c);
    return escaped;
}

// Every other character escaped, as a server that escapes only some of
// them writes it: percent-encoded with lower-case hex digits, or as HTML
// references, hexadecimal and decimal in turn, in a plain-text answer.
QString partlyEscaped(const QString& text, bool asReferences)
{
    QString escaped;
    const QList<uint> characters = text.toUcs4();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const char32_t c = characters[i];
        const QString character = QString::fromUcs4(&c, 1);
        if (i % 2 == 0)
            escaped += character;
        else if (!asReferences)
            escaped += '%' + QString::fromLatin1(character.toUtf8().toHex('%')).toLower();
        else
            escaped += i % 4 == 1 ? QString("&#X%1;").arg(uint(c), 0, 16).toUpper() : QString("&#%1;").arg(c);
    }
    return escaped;
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
            secret.toUpper(),
            encoded,
            lowerEscapes,
            QString(encoded).replace("%20", "+"),
            secret.toHtmlEscaped(),
            secret.toHtmlEscaped().replace('\'', "&#39;"),
            numericReferences(secret),
            jsonEscaped(secret),
            QString::fromLatin1(secret.toUtf8()),
            fromWindows1252(secret.toUtf8()),
            partlyEscaped(secret, false),
            partlyEscaped(secret, true),
            QString::fromLatin1(secret.toUtf8().toBase64()),
            QString::fromLatin1(
                secret.toUtf8().toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)),
            base64(user, secret)};
}

QStringList leakedForms(const QString& secret, const QString& user)
{
    QStringList forms = echoedForms(secret, user)
                        << collapsed(secret) << QString(secret).replace('\t', "\\t")
                        << QString(secret).remove(QRegularExpression("<[a-z][^>]*>"));
    forms.removeDuplicates();
    return forms;
}

QByteArray echoOf(const QString& secret, const QString& user)
{
    return ('[' + echoedForms(secret, user).join("] [") + ']').toUtf8();
}

QString leakIn(QString output, const QString& routerPassword, const QString& servicePassword)
{
    output.remove("//admin:***@");
    for (const auto& [secret, user] :
         {qMakePair(routerPassword, "admin"), qMakePair(servicePassword, "alice")}) {
        const bool alone = secret.size() < 4;
        QStringList forms = leakedForms(secret, user);
        if (!alone)
            forms << secret.left(6) << collapsed(secret).left(6);
        for (const QString& form : std::as_const(forms)) {
            if (alone ? output.contains('[' + form + ']') : output.contains(form, Qt::CaseInsensitive))
                return form;
        }
    }
    return {};
}

void addEchoedPasswordRows()
{
    QTest::addColumn<QString>("routerPassword");
    QTest::addColumn<QString>("servicePassword");
    for (const auto& [router, service] :
         QList<QPair<QString, QString>>{{"9!$%&()*+,-./:;<=>?@[]^_{|}~", "#7'<b>&amp;\"=?"},
                                        {"20240607", "86420135"},
                                        {"two  spaces", "tab\tinside 9"},
                                        {"Pa55-word!", "s3cr&t=ü+x y"},
                                        {"1", "200"},
                                        {"pa<d>ss9x", "admin"},
                                        {"pässwörd", "p€密é ü!"},
                                        {"a\"b", "x"}})
        QTest::newRow(qPrintable(router + " and " + service)) << router << service;
}

} // namespace parlowen::test
