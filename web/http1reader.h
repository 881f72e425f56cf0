#pragma once
// An HTTP/1.1 answer read from its bytes as they arrive, within limits a
// router's answer never comes near. Qt 6.4 reads a header block of any size a
// byte at a time and, past 100 lines, drops every header without a word and
// waits for the connection to end; a bad chunk size it takes for the end.
// Here both are a damaged answer as soon as they are seen.

#include <QByteArray>
#include <QList>
#include <QPair>

namespace parlowen {

// Of the whole header block: the status line, every header line and the
// empty line that ends the block. Trailers after chunks count on.
struct HeaderLimits {
    qsizetype bytes = 64 * 1024;
    int lines = 1000;
};

class Http1Reader {
public:
    enum class State { StatusLine, Headers, Body, Done, Damaged };
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    explicit Http1Reader(HeaderLimits limits = {}) : m_limits(limits) {}

    // Reads what it can of `bytes`; body bytes are added to `body`. Returns
    // the state afterwards. Bytes past the answer's end are ignored.
    State read(QByteArrayView bytes, QByteArray& body);
    // The connection has ended: an answer framed by its end is then whole.
    State endOfStream();

    State state() const { return m_state; }
    bool headersRead() const { return m_state == State::Body || m_state == State::Done; }
    int status() const { return m_status; }
    const QByteArray& reason() const { return m_reason; }
    // In the order sent; a header sent twice is here twice.
    const Headers& headers() const { return m_headers; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class ChunkPart { Size, Data, DataEnd, Trailer };

    bool takeLine(QByteArrayView& bytes, QByteArray& line);
    State statusLine(const QByteArray& line);
    State headerLine(const QByteArray& line);
    State headersEnd();
    State chunked(QByteArrayView& bytes, QByteArray& body);
    State damaged() { return m_state = State::Damaged; }

    HeaderLimits m_limits;
    State m_state = State::StatusLine;
    int m_status = 0;
    QByteArray m_reason;
    Headers m_headers;
    QByteArray m_line; // the part of a line that has arrived
    qsizetype m_headerBytes = 0;
    int m_headerLines = 0;
    Framing m_framing = Framing::UntilClose;
    ChunkPart m_chunkPart = ChunkPart::Size;
    qint64 m_left = 0; // of the body or of the current chunk
};

} // namespace parlowen
