// Fuzzes the charset sniffing and decoding: a Content-Type header and a page
// in, text out. Besides crashes and sanitizer reports it checks that what
// comes out is always valid UTF-8, whatever the bytes and their label.
//
// How to run it: README.md beside this file.
//
// An input is the header, a newline, then the page.

#include "html/charset.h"

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf('\n');
    const QByteArray contentType = newline < 0 ? QByteArray() : input.left(newline);
    QByteArray body = newline < 0 ? input : input.mid(newline + 1);
    const bool plainText = contentType.startsWith("text/plain");
    const Charset charset = sniffCharset(body, contentType, plainText);
    const QByteArray utf8 = decodeToUtf8(body, charset);
    if (!utf8.isValidUtf8()) {
        std::fprintf(stderr, "not UTF-8 after decoding as %d %s: %s\n", int(charset.kind),
                     charset.name.constData(), utf8.toPercentEncoding().constData());
        std::abort();
    }
    return 0;
}
