// Fuzzes the WAN-address extraction with arbitrary page text: whatever it
// returns must be the text that follows the first marker, up to its line end.

#include "check/wanaddress.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QString> address = extractWanAddress(text);
    isRouterLogUrl(text);

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
