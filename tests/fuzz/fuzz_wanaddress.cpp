// Fuzzes the WAN-address extraction with arbitrary page text: whatever it
// returns must be the text that follows the first marker, up to its line end.
// Then what may be sent of it, or of the whole input as a router's service
// would give it: only an address in its canonical form, IPv4 alone from a
// service, the same again when judged again.

#include "check/sendableaddress.h"
#include "check/wanaddress.h"

#include <QHostAddress>
#include <QString>

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

const QString Marker = QStringLiteral("WAN IP is ");
const QString LineBreak = QStringLiteral("\r\n");

[[noreturn]] void fail(const char* what, const QString& text)
{
    std::fprintf(stderr, "invariant broken: %s\npage text: %s\n", what,
                 text.toUtf8().toPercentEncoding(" ").constData());
    std::abort();
}

// Whatever may be sent is an address as a router's text could not spell it
// otherwise.
void checkSendable(const QString& value, AddressSource source)
{
    const auto sendable = sendableAddress(value, source);
    if (!sendable) {
        refusalReason(sendable.error(), source, value);
        return;
    }
    const QString& sent = sendable.value();
    const QHostAddress address(sent);
    if (address.isNull() || address.toString() != sent)
        fail("what is sent is not an address in its canonical form", value);
    if (source != AddressSource::RouterLog && address.protocol() != QAbstractSocket::IPv4Protocol)
        fail("a router's service gave something sent that is not IPv4", value);
    const auto again = sendableAddress(sent, source);
    if (!again || again.value() != sent)
        fail("what is sent is not sendable as it is", value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QString> address = extractWanAddress(text);
    isRouterLogUrl(text);
    checkSendable(text, AddressSource::Upnp);
    if (address)
        checkSendable(*address, AddressSource::RouterLog);

    const qsizetype marker = text.indexOf(Marker, 0, Qt::CaseInsensitive);
    const qsizetype start = marker < 0 ? -1 : marker + Marker.size();
    const qsizetype end = marker < 0 ? -1 : text.indexOf(LineBreak, start);
    if (end < 0) {
        if (address)
            fail("an address without a marker followed by a line break", text);
        return 0;
    }
    if (!address)
        fail("no address although a marker and a line break follow", text);
    if (*address != text.sliced(start, end - start))
        fail("the address is not the text between the first marker and its line end", text);
    if (address->contains(LineBreak))
        fail("the address spans a line break", text);
    return 0;
}
