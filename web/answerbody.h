#pragma once
// Checks on an answer's framing and the unpacking of its body, so that a
// damaged answer is a load error rather than a page that lacks its text.

#include "web/loaderror.h"

#include "common/result.h"

#include <QByteArray>
#include <QByteArrayView>

namespace parlowen {

// The body length a Content-Length header announces, or DamagedAnswer when
// its value is not one number. Qt joins repeated headers with ", "; repeats
// of one value are allowed (RFC 9110), different values leave the end of the
// body unknowable, and Qt would quietly take the first.
Result<qint64, LoadError> announcedLength(QByteArrayView contentLength);

// The Content-Encoding names this engine asks for and can unpack.
inline constexpr QByteArrayView acceptedEncodings = "gzip, deflate";

// The body with its Content-Encoding undone (codings applied in turn, so
// undone last first). A damaged or cut-off packed stream, or a coding that
// was not asked for, gives DamagedAnswer; unpacking past maxBytes gives
// TooLarge.
Result<QByteArray, LoadError> unpackedBody(QByteArray body, QByteArrayView contentEncoding, qint64 maxBytes);

} // namespace parlowen
