// Fuzzes the HTTP/1.1 answer reader with arbitrary bytes from a server. What
// it reads must not depend on how the network cut the bytes (the first byte
// of the input picks a cut), its body is never more than was sent, and its
// header block never more than the limits allow.

#include "web/http1reader.h"

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

struct Outcome {
    Http1Reader::State state;
    int status;
    Http1Reader::Headers headers;
    QByteArray body;
};

Outcome readIn(QByteArrayView bytes, qsizetype piece, HeaderLimits limits)
{
    Http1Reader reader(limits);
    QByteArray body;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        reader.read(bytes.sliced(at, std::min(piece, bytes.size() - at)), body);
    reader.endOfStream();
    return {reader.state(), reader.status(), reader.headers(), body};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype piece = 1 + data[0] % 16;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    // Small limits, so that short inputs reach them.
    const HeaderLimits limits{.bytes = 512, .lines = 16};
    const Outcome whole = readIn(bytes, std::max<qsizetype>(bytes.size(), 1), limits);
    const Outcome cut = readIn(bytes, piece, limits);
    if (whole.state != cut.state || whole.status != cut.status || whole.headers != cut.headers ||
        whole.body != cut.body)
        fail("the answer read depends on where its bytes were cut");
    if (whole.body.size() > bytes.size())
        fail("more body than bytes");
    qsizetype headerBytes = 0;
    for (const auto& [name, value] : whole.headers)
        headerBytes += name.size() + value.size();
    if (whole.headers.size() > limits.lines || headerBytes > limits.bytes)
        fail("a header block past the limits");
    return 0;
}
