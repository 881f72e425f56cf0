// Reading WWW-Authenticate (RFC 7235) and answering Basic (RFC 7617) and
// Digest (RFC 7616) ourselves.
#include "web/signin.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <cstring>
#include <optional>

namespace parlowen {

namespace {

struct Challenge {
    QByteArray scheme;                    // lower case
    QHash<QByteArray, QByteArray> params; // names in lower case, values unquoted
};

bool isTokenChar(char c)
{
    return c > 0x20 && c < 0x7f && std::strchr("\"(),/:;<=>?@[\\]{}", c) == nullptr;
}

qsizetype tokenEnd(const QByteArray& text)
{
    qsizetype end = 0;
    while (end < text.size() && isTokenChar(text[end]))
        ++end;
    return end;
}

// The comma-separated items, a comma inside a quoted string not counting.
QList<QByteArray> items(const QByteArray& value)
{
    QList<QByteArray> found;
    QByteArray current;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted && c == '\\' && i + 1 < value.size()) {
            current += c;
            current += value[++i];
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            found << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    found << current.trimmed();
    return found;
}

QByteArray unquoted(const QByteArray& value)
{
    if (!value.startsWith('"'))
        return value;
    QByteArray text;
    for (qsizetype i = 1; i < value.size() && value[i] != '"'; ++i)
        text += value[i] == '\\' && i + 1 < value.size() ? value[++i] : value[i];
    return text;
}

// Adds "name = value"; false when the item is not a parameter.
bool addParam(const QByteArray& item, QHash<QByteArray, QByteArray>& params)
{
    const qsizetype end = tokenEnd(item);
    qsizetype equals = end;
    while (equals < item.size() && (item[equals] == ' ' || item[equals] == '\t'))
        ++equals;
    if (end == 0 || equals >= item.size() || item[equals] != '=')
        return false;
    params.insert(item.left(end).toLower(), unquoted(item.mid(equals + 1).trimmed()));
    return true;
}

// A new challenge starts with a scheme not followed by "=": "NTLM",
// "Digest realm=...".
QList<Challenge> challenges(const QByteArray& value)
{
    QList<Challenge> found;
    for (const QByteArray& item : items(value)) {
        if (!found.isEmpty() && addParam(item, found.last().params))
            continue;
        const qsizetype end = tokenEnd(item);
        if (end == 0)
            continue;
        Challenge challenge{item.left(end).toLower(), {}};
        // Anything else here is a token68, which no scheme we answer uses.
        addParam(item.mid(end).trimmed(), challenge.params);
        found << challenge;
    }
    return found;
}

std::optional<SignIn> digest(const Challenge& challenge)
{
    SignIn signIn{.scheme = SignIn::Scheme::Digest};
    signIn.algorithm = challenge.params.value("algorithm");
    if (signIn.algorithm.isEmpty() || signIn.algorithm.compare("MD5", Qt::CaseInsensitive) == 0)
        signIn.hash = QCryptographicHash::Md5;
    else if (signIn.algorithm.compare("SHA-256", Qt::CaseInsensitive) == 0)
        signIn.hash = QCryptographicHash::Sha256;
    else
        return std::nullopt;
    if (challenge.params.contains("qop")) {
        const QList<QByteArray> offered = challenge.params.value("qop").split(',');
        signIn.qopAuth = std::any_of(offered.cbegin(), offered.cend(), [](const QByteArray& qop) {
            return qop.trimmed().compare("auth", Qt::CaseInsensitive) == 0;
        });
        if (!signIn.qopAuth)
            return std::nullopt;
    }
    signIn.realm = challenge.params.value("realm");
    signIn.nonce = challenge.params.value("nonce");
    signIn.opaque = challenge.params.value("opaque");
    if (signIn.nonce.isEmpty())
        return std::nullopt;
    return signIn;
}

int strength(const SignIn& signIn)
{
    if (signIn.scheme == SignIn::Scheme::Basic)
        return 1;
    return signIn.hash == QCryptographicHash::Sha256 ? 3 : 2;
}

// Server-chosen text goes back in a quoted string; a control character
// there could only end the header early.
QByteArray quoted(const QByteArray& text)
{
    QByteArray result = "\"";
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            continue;
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    return result + '"';
}

// What to blame when nothing can be answered: a Digest we cannot answer is
// the nearest to one we can, so its words help most, then NTLM's.
int blameRank(LoadError error)
{
    switch (error) {
    case LoadError::DigestVariant:
        return 3;
    case LoadError::NtlmSignIn:
        return 2;
    case LoadError::NegotiateSignIn:
        return 1;
    default:
        return 0;
    }
}

} // namespace

Result<SignIn, LoadError> chooseSignIn(const QByteArray& wwwAuthenticate)
{
    std::optional<SignIn> best;
    LoadError refusal = LoadError::UnknownSignIn;
    const auto blame = [&refusal](LoadError error) {
        if (blameRank(error) > blameRank(refusal))
            refusal = error;
    };
    for (const Challenge& challenge : challenges(wwwAuthenticate)) {
        std::optional<SignIn> candidate;
        if (challenge.scheme == "basic")
            candidate = SignIn{.scheme = SignIn::Scheme::Basic, .realm = challenge.params.value("realm")};
        else if (challenge.scheme == "digest") {
            if (!(candidate = digest(challenge)))
                blame(LoadError::DigestVariant);
        } else if (challenge.scheme == "ntlm")
            blame(LoadError::NtlmSignIn);
        else if (challenge.scheme == "negotiate")
            blame(LoadError::NegotiateSignIn);
        if (candidate && (!best || strength(*candidate) > strength(*best)))
            best = candidate;
    }
    if (!best)
        return refusal;
    return *best;
}

QByteArray authorization(const SignIn& signIn, const Credentials& credentials, const QByteArray& method,
                         const QByteArray& uri, const QByteArray& cnonce)
{
    const QByteArray user = credentials.user.toUtf8();
    const QByteArray password = credentials.password.toUtf8();
    if (signIn.scheme == SignIn::Scheme::Basic)
        return "Basic " + (user + ':' + password).toBase64();

    const auto hash = [&signIn](const QByteArray& data) {
        return QCryptographicHash::hash(data, signIn.hash).toHex();
    };
    const QByteArray count = "00000001"; // every answer goes to a fresh challenge
    const QByteArray secret = hash(user + ':' + signIn.realm + ':' + password);
    const QByteArray request = hash(method + ':' + uri);
    const QByteArray response =
        signIn.qopAuth ? hash(secret + ':' + signIn.nonce + ':' + count + ':' + cnonce + ":auth:" + request)
                       : hash(secret + ':' + signIn.nonce + ':' + request);
    QByteArray header = "Digest username=" + quoted(user) + ", realm=" + quoted(signIn.realm) +
                        ", nonce=" + quoted(signIn.nonce) + ", uri=" + quoted(uri);
    if (!signIn.algorithm.isEmpty())
        header += ", algorithm=" + signIn.algorithm;
    header += ", response=" + quoted(response);
    if (signIn.qopAuth)
        header += ", qop=auth, nc=" + count + ", cnonce=" + quoted(cnonce);
    if (!signIn.opaque.isEmpty())
        header += ", opaque=" + quoted(signIn.opaque);
    return header;
}

} // namespace parlowen
