#pragma once
// One dynamic DNS provider, played on a FakeHttpServer under its real host
// name and answering as that provider's own documentation says, so that a
// client can be tried against each provider without ever reaching one:
//
//     FakeHttpServer server;                      // TLS on 127.0.0.1:443, in a private
//     server.useTls(providerTls);                 // network whose /etc/hosts maps
//     server.listen(443);                         // www.duckdns.org to 127.0.0.1
//     ProviderSim duckdns(QStringLiteral("duckdns"),
//                         {.secret = token, .host = QStringLiteral("myhome.duckdns.org"),
//                          .address = QStringLiteral("198.51.100.4")});
//     duckdns.serveOn(server);
//     ... the client sends its update ...
//     QCOMPARE(duckdns.record().address, QStringLiteral("203.0.113.7"));
//
// The address a provider takes when none is sent is the connection's own,
// 127.0.0.1 here, so a client that sends the address under a name the
// provider does not read leaves 127.0.0.1 in the record, not its address.

#include "sim/fakehttpserver.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace parlowen::sim {

// What the provider knows: the account and the record it keeps.
struct ProviderRecord {
    QString user{};      // account name, key or domain, as this provider names it; empty: any
    QString secret{};    // password, token, key or secret key; empty: any
    QString host{};      // the record's full name, e.g. home.example.com
    QString zone{};      // the registered domain; empty: the host without its first label
    QString address{};   // what the A record holds now; empty: none (APIs: the record does not exist)
    QString addressV6{}; // the AAAA record; empty: none. deSEC deletes it unless told to preserve it
};

// The names --provider takes, e.g. "noip", "duckdns", "cloudflare".
QStringList simulatedProviders();
// Its real host name, e.g. "www.duckdns.org"; empty for a name not listed.
QString providerHost(const QString& name);
// Every host name it answers under, providerHost() first (OVH has two).
QStringList providerHosts(const QString& name);

// The request as a log may show it: the method, the target, the Host and a
// body, with every secret this provider may be sent written as "***":
// password and token parameters, a token in the path or as the bare query,
// the Authorization header and API keys in headers or a JSON body.
QString maskedProviderRequest(const QString& name, const RecordedRequest& request);

class ProviderSim : public QObject {
    Q_OBJECT
public:
    // name is one of simulatedProviders(); any other plays no provider and
    // refuses every request as one for another host.
    ProviderSim(const QString& name, ProviderRecord record, QObject* parent = nullptr);

    QString name() const { return m_name; }
    // Answers every request that reaches server, whatever its path: a
    // request whose Host is not one of this provider's gets 421.
    void serveOn(FakeHttpServer& server);
    // The answer serveOn() gives, for callers that have a request already.
    FakeResponse answer(const RecordedRequest& request);
    // Blocked, an update that signs in gets the provider's own refusal for
    // blocked or throttled clients ("abuse", 429, ...).
    void setBlocked(bool blocked) { m_blocked = blocked; }
    // The record as updates have left it.
    const ProviderRecord& record() const { return m_record; }

signals:
    void answered(const parlowen::sim::RecordedRequest& request, int status, const QByteArray& body);

private:
    QString m_name;
    ProviderRecord m_record;
    bool m_blocked = false;
};

} // namespace parlowen::sim
