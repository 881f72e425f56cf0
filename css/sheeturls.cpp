#include "css/sheeturls.h"

namespace parlowen {

namespace {

using Type = CssToken::Type;

// The port a URL reaches, written or not: the router page's address
// spells out :80, a sheet's link seldom does.
int effectivePort(const QUrl& url)
{
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const bool plain = url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
    return url.port(secure ? 443 : plain ? 80 : -1);
}

} // namespace

QByteArrayView withoutByteOrderMark(QByteArrayView sheet)
{
    return sheet.startsWith("\xEF\xBB\xBF") ? sheet.sliced(3) : sheet;
}

bool readsAsUtf8(QByteArrayView sheet)
{
    if (sheet.startsWith("\xFE\xFF") || sheet.startsWith("\xFF\xFE"))
        return false;
    const QByteArrayView text = withoutByteOrderMark(sheet);
    const QByteArrayView charset = "@charset \"";
    if (text.startsWith(charset)) {
        const qsizetype end = text.indexOf('"', charset.size());
        const QByteArrayView label = text.sliced(charset.size(), end < 0 ? 0 : end - charset.size());
        if (label.compare("utf-8", Qt::CaseInsensitive) != 0 && label.compare("utf8", Qt::CaseInsensitive) != 0)
            return false;
    }
    return text.isValidUtf8();
}

// Scheme, host and port: the page's own server.
bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && effectivePort(a) == effectivePort(b);
}

QUrl sheetKey(const QUrl& url)
{
    if (url.port() < 0 || url.port() != effectivePort(url.adjusted(QUrl::RemovePort)))
        return url;
    return url.adjusted(QUrl::RemovePort);
}

std::optional<QUrl> importUrl(const std::vector<CssToken>& prelude, size_t& i, const QUrl& base)
{
    if (i >= prelude.size())
        return std::nullopt;
    const CssToken& t = prelude[i];
    QByteArray address;
    if (t.is(Type::String) || t.is(Type::Url)) {
        address = t.text;
        ++i;
    } else if (t.is(Type::Function) && t.text.compare("url", Qt::CaseInsensitive) == 0) {
        size_t j = i + 1;
        while (j < prelude.size() && prelude[j].is(Type::Whitespace))
            ++j;
        if (j >= prelude.size() || !prelude[j].is(Type::String))
            return std::nullopt;
        address = prelude[j].text;
        ++j;
        while (j < prelude.size() && prelude[j].is(Type::Whitespace))
            ++j;
        if (j >= prelude.size() || !prelude[j].is(Type::RightParen))
            return std::nullopt;
        i = j + 1;
    } else {
        return std::nullopt;
    }
    const QUrl url = base.resolved(QUrl(QString::fromUtf8(address)));
    return url.isValid() ? std::optional(url.adjusted(QUrl::RemoveFragment)) : std::nullopt;
}

} // namespace parlowen
