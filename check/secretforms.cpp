// The forms in which a password can come back to us.
#include "check/secretforms.h"

#include "common/windows1252.h"

#include <QRegularExpression>

namespace parlowen {

namespace {

// As a page's text shows it: each run of white space a single space.
QString collapsed(const QString& text)
{
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"));
    return QString(text).replace(whiteSpace, QStringLiteral(" "));
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

// Each form once, and each also with its white space collapsed.
QStringList withCollapsed(QStringList forms)
{
    for (qsizetype i = 0, count = forms.size(); i < count; ++i)
        forms << collapsed(forms[i]);
    forms.removeAll(QString());
    forms.removeDuplicates();
    return forms;
}

// Without padding, which tells nothing of the password and which an echo
// may drop: masking the rest leaves "***==".
QStringList base64Forms(const QByteArray& bytes)
{
    const auto unpadded = QByteArray::OmitTrailingEquals;
    QStringList forms{QString::fromLatin1(bytes.toBase64(QByteArray::Base64Encoding | unpadded)),
                      QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | unpadded))};
    forms.removeDuplicates();
    return forms;
}

} // namespace

SecretForms secretForms(const QString& secret, const QString& user)
{
    if (secret.isEmpty())
        return {};
    const QByteArray utf8 = secret.toUtf8();
    QStringList literal{QString::fromLatin1(utf8), fromWindows1252(utf8)};
    for (const bool asciiOnly : {false, true}) {
        for (const bool escapeSolidus : {false, true})
            literal << jsonEscaped(secret, asciiOnly, escapeSolidus);
    }
    const QStringList spelled = withCollapsed({secret, asPageText(secret)});
    literal = withCollapsed(literal);
    // What is spelled is found already, in any of its encodings.
    for (const QString& form : spelled)
        literal.removeAll(form);
    return {spelled, base64Forms(utf8), literal, base64Forms((user + u':' + secret).toUtf8())};
}

} // namespace parlowen
