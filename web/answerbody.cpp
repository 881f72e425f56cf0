// Framing checks and Content-Encoding, done here rather than by Qt: Qt 6.4
// reads the first of two Content-Length headers and passes a damaged or cut
// gzip stream on as if it were the whole page.
#include "web/answerbody.h"

#include <QList>

#include <algorithm>
#include <optional>

#include <zlib.h>

namespace parlowen {

namespace {

enum class Wrapper { Gzip, Zlib };

// One packed stream (or, for gzip, its members one after another) to its
// bytes; nothing when it is damaged, cut short or followed by other bytes.
Result<QByteArray, LoadError> inflated(const QByteArray& packed, Wrapper wrapper, qint64 maxBytes)
{
    z_stream stream{};
    const int windowBits = wrapper == Wrapper::Gzip ? 16 + MAX_WBITS : MAX_WBITS;
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return LoadError::Other;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = uInt(packed.size());

    QByteArray out;
    int status = Z_OK;
    char buffer[64 * 1024];
    while (status != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break; // damaged (Z_DATA_ERROR) or cut short (Z_BUF_ERROR: no input left)
        out.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
        if (out.size() > maxBytes)
            break;
        // gzip allows several members in a row (RFC 1952).
        if (status == Z_STREAM_END && wrapper == Wrapper::Gzip && stream.avail_in > 0) {
            inflateReset(&stream);
            status = Z_OK;
        }
    }
    const bool whole = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (out.size() > maxBytes)
        return LoadError::TooLarge;
    if (!whole)
        return LoadError::DamagedAnswer;
    return out;
}

} // namespace

Result<qint64, LoadError> announcedLength(QByteArrayView contentLength)
{
    std::optional<qint64> length;
    for (const QByteArrayView value : QByteArray(contentLength.toByteArray()).split(',')) {
        const QByteArrayView digits = value.trimmed();
        bool ok = !digits.isEmpty() &&
                  std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        const qint64 number = ok ? digits.toLongLong(&ok) : -1;
        if (!ok || (length && *length != number))
            return LoadError::DamagedAnswer;
        length = number;
    }
    return *length; // split() gives at least one value
}

Result<QByteArray, LoadError> unpackedBody(QByteArray body, QByteArrayView contentEncoding, qint64 maxBytes)
{
    const QList<QByteArray> codings = contentEncoding.toByteArray().toLower().split(',');
    for (auto coding = codings.crbegin(); coding != codings.crend(); ++coding) {
        const QByteArray name = coding->trimmed();
        if (name.isEmpty() || name == "identity")
            continue;
        if (name != "gzip" && name != "x-gzip" && name != "deflate")
            return LoadError::DamagedAnswer; // not one we asked for
        Result<QByteArray, LoadError> unpacked =
            inflated(body, name == "deflate" ? Wrapper::Zlib : Wrapper::Gzip, maxBytes);
        if (!unpacked)
            return unpacked;
        body = std::move(unpacked).value();
    }
    return body;
}

} // namespace parlowen
