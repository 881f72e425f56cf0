// One network manager for every navigation of an engine; what one navigation
// leaves behind never reaches the next. Credentials are never in it: the
// engine strips them from every address, answers each challenge itself with a
// header of that request alone, and lets Qt answer none (so Qt's store of
// credentials by host and realm stays empty, and kept-alive connections have
// none to send again). Cookies are the one thing a navigation collects here,
// and each navigation gets a jar of its own.
#include "web/networkmanager.h"

#include "web/plainhttpreply.h"

#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>

#include <algorithm>
#include <array>
#include <utility>

namespace parlowen {

namespace {

// Asking the system for a proxy (libproxy) costs more than reading a whole
// small page, 1.4 to 1.8 ms a check; it is asked only when something may name
// one: a proxy variable, or a desktop session whose settings libproxy reads.
bool proxyMayBeConfigured()
{
    static constexpr std::array names{
        "http_proxy",      "HTTP_PROXY",          "https_proxy",     "HTTPS_PROXY",
        "all_proxy",       "ALL_PROXY",           "no_proxy",        "NO_PROXY",
        "PX_CONFIG_ORDER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "GNOME_DESKTOP_SESSION_ID",
        "KDE_FULL_SESSION"};
    return std::any_of(names.begin(), names.end(),
                       [](const char* name) { return qEnvironmentVariableIsSet(name); });
}

// The proxy a system browser would use: on Linux, http_proxy, https_proxy and
// no_proxy (or the desktop's settings) through Qt's libproxy backend.
class SystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        if (!proxyMayBeConfigured())
            return {QNetworkProxy::NoProxy};
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

} // namespace

NetworkManager::NetworkManager(QObject* parent) : QNetworkAccessManager(parent)
{
    // The manager takes ownership of its factory.
    setProxyFactory(std::make_unique<SystemProxyFactory>().release());
}

void NetworkManager::startNavigation()
{
    // The manager deletes the jar before.
    setCookieJar(new QNetworkCookieJar(this));
    // Qt keeps connections, TLS sessions and their trust decisions, and a
    // thread to run them; a navigation after one that used them starts
    // without any. Plain HTTP keeps nothing: a connection serves one answer.
    if (std::exchange(m_qtKeepsState, false))
        clearAccessCache();
}

QNetworkReply* NetworkManager::createRequest(Operation operation, const QNetworkRequest& request,
                                             QIODevice* outgoingData)
{
    if (operation == GetOperation && request.url().scheme() == QLatin1String("http") &&
        goesDirect(request.url()))
        return new PlainHttpReply(request, cookieJar(), this);
    m_qtKeepsState = true;
    return QNetworkAccessManager::createRequest(operation, request, outgoingData);
}

bool NetworkManager::goesDirect(const QUrl& url)
{
    const QList<QNetworkProxy> proxies = proxyFactory()->queryProxy(QNetworkProxyQuery(url));
    if (proxies.isEmpty())
        return true;
    const QNetworkProxy::ProxyType type = proxies.first().type() == QNetworkProxy::DefaultProxy
                                              ? QNetworkProxy::applicationProxy().type()
                                              : proxies.first().type();
    return type == QNetworkProxy::NoProxy;
}

} // namespace parlowen
