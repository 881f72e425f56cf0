// Credentials of one navigation and the rule for where they may go.
#include "web/credentials.h"

namespace parlowen {

namespace {

const QString http = QStringLiteral("http");
const QString https = QStringLiteral("https");

int effectivePort(const QUrl& url)
{
    return url.port(url.scheme() == https ? 443 : 80);
}

} // namespace

Credentials Credentials::of(const QUrl& url)
{
    if (url.userName().isEmpty())
        return {};
    return {url.userName(QUrl::FullyDecoded), url.password(QUrl::FullyDecoded)};
}

bool credentialsMayGoTo(const QUrl& url, const QUrl& typedFor)
{
    if (url.host() != typedFor.host())
        return false;
    const int port = effectivePort(url);
    const int typedPort = effectivePort(typedFor);
    if (url.scheme() == typedFor.scheme())
        return port == typedPort;
    // A device that moves its pages to https keeps its passwords; the default
    // ports go with the schemes, any other port must stay as it was.
    return typedFor.scheme() == http && url.scheme() == https &&
           (port == typedPort || (typedPort == 80 && port == 443));
}

} // namespace parlowen
