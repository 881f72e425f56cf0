// The forms in which a password can come back to us.
#include "check/secretforms.h"

#include "common/windows1252.h"

#include <QRegularExpression>
#include <QUrl>

namespace parlowen {

namespace {

// As a page's text shows it: each run of white space a single space.
QString collapsed(const QString& text)
{
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"));
    return QString(text).replace(whiteSpace, QStringLiteral(" "));
}

bool isHtmlSpecial(char32_t c)
{
    return c == U'&' || c == U'<' || c == U'>' || c == U'"' || c == U'\'';
}

// With & < > " ' and every character outside ASCII as a numeric reference,
// decimal or hexadecimal, as HTML written in plain ASCII carries them.
QString numericallyEscaped(const QString& text, int base)
{
    QString escaped;
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80 && !isHtmlSpecial(c))
            escaped += QChar(c);
        else
            escaped +=
                QStringLiteral("&#%1%2;").arg(base == 16 ? QStringLiteral("x") : QString()).arg(c, 0, base);
    }
    return escaped;
}

QStringList htmlEscaped(const QString& text)
{
    const QString named = text.toHtmlEscaped();
    return {named, QString(named).replace(u'\'', QLatin1String("&#39;")),
            QString(named).replace(u'\'', QLatin1String("&apos;")), numericallyEscaped(text, 10),
            numericallyEscaped(text, 16)};
}

// As a JSON string holds it, with the choices encoders differ on: a solidus
// escaped or not, and characters outside ASCII as they are or as \uXXXX.
QString jsonEscaped(const QString& text, bool asciiOnly, bool escapeSolidus)
{
    QString escaped;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit == u'"' || unit == u'\\' || (unit == u'/' && escapeSolidus))
            escaped += QStringLiteral("\\") + c;
        else if (unit == u'\n')
            escaped += QStringLiteral("\\n");
        else if (unit == u'\t')
            escaped += QStringLiteral("\\t");
        else if (unit == u'\r')
            escaped += QStringLiteral("\\r");
        else if (unit < 0x20 || (asciiOnly && unit >= 0x7F))
            escaped += QStringLiteral("\\u%1").arg(unit, 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

// What a page's text shows of the password typed into it: its tags
// dropped ("pa<d>ss" shows "pass") and the common references read.
QString asPageText(const QString& text)
{
    static const QRegularExpression tag(QStringLiteral("<[A-Za-z/!?][^>]*>"));
    QString shown = QString(text).remove(tag);
    static const std::pair<const char*, char16_t> references[] = {{"&lt;", u'<'},    {"&gt;", u'>'},
                                                                  {"&quot;", u'"'},  {"&#39;", u'\''},
                                                                  {"&apos;", u'\''}, {"&amp;", u'&'}};
    for (const auto& [reference, character] : references)
        shown.replace(QLatin1String(reference), QChar(character), Qt::CaseInsensitive);
    return shown;
}

} // namespace

SecretForms secretForms(const QString& secret, const QString& user)
{
    if (secret.isEmpty())
        return {};
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(secret));
    const QByteArray utf8 = secret.toUtf8();
    QStringList forms{secret,
                      encoded,
                      QString(encoded).replace(QLatin1String("%20"), QLatin1String("+")),
                      QString::fromLatin1(utf8),
                      fromWindows1252(utf8),
                      asPageText(secret)};
    forms << htmlEscaped(secret);
    for (const bool asciiOnly : {false, true}) {
        for (const bool escapeSolidus : {false, true})
            forms << jsonEscaped(secret, asciiOnly, escapeSolidus);
    }
    for (qsizetype i = 0, count = forms.size(); i < count; ++i)
        forms << collapsed(forms[i]);
    forms.removeAll(QString());
    forms.removeDuplicates();

    const QString base64 = QString::fromLatin1((user + u':' + secret).toUtf8().toBase64());
    return {forms, {base64, QString(base64).remove(u'=')}};
}

} // namespace parlowen
