#pragma once
// The engine's one network manager, kept for all of its navigations: plain
// HTTP without a proxy goes through PlainHttpReply, everything else through
// Qt, and the proxy is the one a system browser would use.

#include <QNetworkAccessManager>

namespace parlowen {

class NetworkManager : public QNetworkAccessManager {
    Q_OBJECT
public:
    explicit NetworkManager(QObject* parent = nullptr);

    // Before each navigation: it starts without the cookies of the last.
    void startNavigation();

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* outgoingData) override;

private:
    bool goesDirect(const QUrl& url);

    bool m_qtKeepsState = false; // a load since the last navigation went through Qt
};

} // namespace parlowen
