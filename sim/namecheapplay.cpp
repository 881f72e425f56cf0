// Namecheap's dynamic DNS, dynamicdns.park-your-domain.com/update: the host
// relative to the domain, the domain's own DDNS password, and always HTTP 200
// with an XML answer whose ErrCount says whether it worked. It is served as
// text/html and declares utf-16 though its bytes are UTF-8, as Namecheap's are.
#include "sim/providerplays.h"

namespace parlowen::sim {

namespace {

struct NamecheapError {
    const char* text;
    const char* number;
};

const NamecheapError passwordsDoNotMatch{"Passwords do not match", "304156"};
const NamecheapError invalidIp{"Invalid IP", "304156"};
const NamecheapError domainNotFound{"Domain name not found", "316153"};
const NamecheapError recordNotFound{"No Records updated. A record not Found;", "380091"};

QByteArray interfaceResponse(const QByteArray& ip, const NamecheapError* error)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<interface-response>\r\n"
                     "  <Command>SETDNSHOST</Command>\r\n  <Language>eng</Language>\r\n";
    if (!ip.isEmpty())
        xml += "  <IP>" + ip + "</IP>\r\n";
    if (error) {
        xml += QByteArray("  <ErrCount>1</ErrCount>\r\n  <errors>\r\n    <Err1>") + error->text +
               "</Err1>\r\n  </errors>\r\n  <ResponseCount>1</ResponseCount>\r\n  <responses>\r\n"
               "    <response>\r\n      <Description>" +
               error->text + "</Description>\r\n      <ResponseNumber>" + error->number +
               "</ResponseNumber>\r\n      <ResponseString>Validation error; " + error->text +
               "</ResponseString>\r\n    </response>\r\n  </responses>\r\n";
    } else {
        xml += "  <ErrCount>0</ErrCount>\r\n  <errors />\r\n  <ResponseCount>0</ResponseCount>\r\n"
               "  <responses />\r\n";
    }
    return xml + "  <Done>true</Done>\r\n  <debug><![CDATA[]]></debug>\r\n</interface-response>\r\n";
}

FakeResponse namecheapAnswer(const QByteArray& ip, const NamecheapError* error = nullptr)
{
    return {.contentType = "text/html", .body = interfaceResponse(ip, error)};
}

} // namespace

FakeResponse playNamecheap(ProviderCall& call)
{
    const RecordedRequest& request = call.request;
    if (request.path != u"/update")
        return textAnswer(404, "Not Found\n");
    const auto value = [&request](const char* key) {
        return parameter(request, QString::fromLatin1(key)).value_or(QString());
    };
    // The password belongs to the domain, so the domain is looked up first.
    if (value("domain").compare(zoneOf(call.record), Qt::CaseInsensitive) != 0)
        return namecheapAnswer({}, &domainNotFound);
    const QString password = value("password");
    if (password.isEmpty() || !accepts(call.record.secret, password))
        return namecheapAnswer({}, &passwordsDoNotMatch);
    if (call.blocked)
        return throttledAnswer();
    // host is relative: "@" for the domain itself, never the full name.
    const QString host = parameter(request, QStringLiteral("host")).value_or(QStringLiteral("@"));
    if (host.compare(relativeName(call.record), Qt::CaseInsensitive) != 0)
        return namecheapAnswer({}, &recordNotFound);
    const QString ip = value("ip");
    const std::optional<QHostAddress> address = ip.isEmpty() ? sourceAddress(request) : parseAddress(ip);
    // Its dynamic DNS keeps A records alone.
    if (!address || isIpv6(*address))
        return namecheapAnswer({}, &invalidIp);
    call.record.address = addressText(*address);
    return namecheapAnswer(call.record.address.toUtf8());
}

} // namespace parlowen::sim
