#pragma once
// Works out which character encoding a fetched page uses and decodes it, the
// way browsers do: byte order mark, then the Content-Type header, then a meta
// tag near the top of the page, then UTF-8 with Windows-1252 as a fallback.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace parlowen {

struct Charset {
    enum class Kind {
        // UTF-8 where the bytes are valid, Windows-1252 for each byte that is not.
        Utf8Or1252,
        Utf16LE,
        Utf16BE,
        // A browser's encoding that Qt decodes, by the browser's name for it.
        Named,
        // Bytes from 0x80 stand for U+F780 onwards: binary data read as text.
        UserDefined,
        // Encodings browsers refuse to decode: the page is one U+FFFD.
        Replacement,
    };
    Kind kind = Kind::Utf8Or1252;
    QByteArray name;
};

// The value of the charset parameter of a Content-Type header, or empty.
QByteArray charsetParameter(QByteArrayView contentType);

// The charset the first <meta> element in the first 1024 bytes of an HTML
// page declares with a label browsers know; elements with other labels are
// passed over.
std::optional<Charset> prescanMetaCharset(QByteArrayView html);

// Maps an encoding label (as written in a page or header) to a decoder;
// nothing for a label browsers do not know, such as utf-7, utf-32 or an
// EBCDIC code page, even where Qt could decode it.
std::optional<Charset> charsetForLabel(QByteArrayView label);

// The encoding sniffing of the HTML standard: a byte order mark, which it
// removes from body, then the header's charset, then (for HTML) a meta
// element, then UTF-8 with Windows-1252 for bytes that are not.
Charset sniffCharset(QByteArray& body, QByteArrayView contentType, bool plainText);

// The encoding a byte order mark at the start of data names, and the mark's
// length; length 0 when there is none.
Charset charsetFromBom(QByteArrayView data, qsizetype* bomLength);

// Decodes to UTF-8. When the bytes already are valid UTF-8 in a UTF-8
// compatible encoding they are returned as they stand, without a copy.
QByteArray decodeToUtf8(QByteArray bytes, const Charset& charset);

} // namespace parlowen
