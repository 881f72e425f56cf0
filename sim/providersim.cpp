// One simulated provider on a server of the caller's: the Host decides
// whether the request is this provider's at all, its play the answer.
#include "sim/providersim.h"
#include "sim/providertable.h"

#include <QPointer>

namespace parlowen::sim {

namespace {

// "Host: www.duckdns.org:443" names www.duckdns.org; names are case-blind
// and may end in a dot.
QString hostName(const QByteArray& header)
{
    QString host = QString::fromLatin1(header).trimmed().toLower();
    if (host.startsWith(u'['))
        return host.mid(1, host.indexOf(u']') - 1);
    host = host.section(u':', 0, 0);
    return host.endsWith(u'.') ? host.chopped(1) : host;
}

} // namespace

QStringList simulatedProviders()
{
    QStringList names;
    for (const ProviderEntry& entry : providerEntries())
        names.append(QString::fromLatin1(entry.name));
    return names;
}

QString providerHost(const QString& name)
{
    return providerHosts(name).value(0);
}

QStringList providerHosts(const QString& name)
{
    QStringList hosts;
    if (const ProviderEntry* entry = providerEntry(name)) {
        for (const char* host : entry->hosts) {
            if (host)
                hosts.append(QString::fromLatin1(host));
        }
    }
    return hosts;
}

ProviderSim::ProviderSim(const QString& name, ProviderRecord record, QObject* parent)
    : QObject(parent), m_name(name), m_record(std::move(record))
{}

void ProviderSim::serveOn(FakeHttpServer& server)
{
    server.setFallbackHandler([sim = QPointer<ProviderSim>(this)](const RecordedRequest& request) {
        return sim ? sim->answer(request) : textAnswer(503, "Service Unavailable\n");
    });
}

FakeResponse ProviderSim::answer(const RecordedRequest& request)
{
    const ProviderEntry* entry = providerEntry(m_name);
    const QByteArray host = request.header("Host");
    FakeResponse response;
    if (host.isEmpty()) {
        response = textAnswer(400, "Bad Request: no Host\n");
    } else if (!entry || !providerHosts(m_name).contains(hostName(host))) {
        // The certificate names every provider, so a client that means another
        // one reaches this server and must be told it is the wrong one.
        response = textAnswer(421, "Misdirected Request: this server does not serve " + host + '\n');
    } else {
        ProviderCall call{request, m_record, m_blocked, m_name};
        response = entry->play(call);
    }
    emit answered(request, response.status, response.body);
    return response;
}

} // namespace parlowen::sim
