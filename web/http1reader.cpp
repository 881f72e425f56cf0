// Reading an HTTP/1.1 answer: the status line, the header block within its
// limits, and the body as its framing says (RFC 9112).
#include "web/http1reader.h"

#include "web/answerbody.h"

#include <algorithm>

namespace parlowen {

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The last coding of a Transfer-Encoding value, which frames the body.
QByteArray lastCoding(const QByteArray& transferEncoding)
{
    return transferEncoding.mid(transferEncoding.lastIndexOf(',') + 1).trimmed().toLower();
}

} // namespace

bool Http1Reader::takeLine(QByteArrayView& bytes, QByteArray& line)
{
    const qsizetype end = bytes.indexOf('\n');
    const qsizetype taken = end < 0 ? bytes.size() : end + 1;
    // A line in the header block shares the block's budget; a chunk's size
    // line has one of its own.
    const bool inHeaderBlock = m_state != State::Body || m_chunkPart == ChunkPart::Trailer;
    const qsizetype budget = inHeaderBlock ? m_limits.bytes - m_headerBytes : m_limits.bytes;
    if (m_line.size() + taken > budget) {
        damaged();
        return false;
    }
    m_line.append(bytes.first(taken));
    bytes = bytes.sliced(taken);
    if (end < 0)
        return false;
    if (inHeaderBlock) {
        m_headerBytes += m_line.size();
        if (++m_headerLines > m_limits.lines) {
            damaged();
            return false;
        }
    }
    m_line.chop(m_line.endsWith("\r\n") ? 2 : 1);
    line = std::exchange(m_line, {});
    return true;
}

Http1Reader::State Http1Reader::read(QByteArrayView bytes, QByteArray& body)
{
    QByteArray line;
    while (!bytes.isEmpty()) {
        switch (m_state) {
        case State::StatusLine:
            if (takeLine(bytes, line))
                statusLine(line);
            break;
        case State::Headers:
            if (takeLine(bytes, line))
                line.isEmpty() ? headersEnd() : headerLine(line);
            break;
        case State::Body:
            if (m_framing == Framing::Chunked) {
                chunked(bytes, body);
                break;
            }
            {
                const qsizetype taken = m_framing == Framing::Length
                                            ? qsizetype(std::min<qint64>(m_left, bytes.size()))
                                            : bytes.size();
                body.append(bytes.first(taken));
                bytes = bytes.sliced(taken);
                m_left -= taken;
                if (m_framing == Framing::Length && m_left == 0)
                    m_state = State::Done;
            }
            break;
        case State::Done:
        case State::Damaged:
            return m_state;
        }
    }
    return m_state;
}

Http1Reader::State Http1Reader::endOfStream()
{
    if (m_state == State::Body && m_framing == Framing::UntilClose)
        m_state = State::Done;
    return m_state;
}

Http1Reader::State Http1Reader::statusLine(const QByteArray& line)
{
    // Blank lines left over from an earlier answer come before a status line.
    if (line.isEmpty())
        return m_state;
    // "HTTP/1.1 200 OK": the version, three digits, and words that may be left out.
    const qsizetype space = line.indexOf(' ');
    const QByteArray code = line.mid(space + 1, 3);
    const bool codeEnds = line.size() == space + 4 || (line.size() > space + 4 && line.at(space + 4) == ' ');
    if (!line.startsWith("HTTP/1.") || space < 0 || code.size() != 3 || !codeEnds ||
        !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return damaged();
    m_status = code.toInt();
    m_reason = line.mid(space + 4).trimmed();
    m_headers.clear();
    return m_state = State::Headers;
}

Http1Reader::State Http1Reader::headerLine(const QByteArray& line)
{
    // A line that starts with white space continues the one before it.
    if ((line.front() == ' ' || line.front() == '\t') && !m_headers.isEmpty()) {
        m_headers.back().second += ' ' + line.trimmed();
        return m_state;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArray name = line.left(colon).trimmed();
    // Browsers pass over a line that names no header.
    if (colon > 0 && !name.isEmpty())
        m_headers.append({name, line.mid(colon + 1).trimmed()});
    return m_state;
}

Http1Reader::State Http1Reader::headersEnd()
{
    // An interim answer (100 Continue and the like) is followed by the real one.
    if (m_status < 200)
        return m_state = State::StatusLine;
    m_state = State::Body;
    if (m_status == 204 || m_status == 304)
        return m_state = State::Done;
    QByteArray transferEncoding;
    QByteArrayList lengths;
    for (const auto& [name, value] : std::as_const(m_headers)) {
        if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0)
            transferEncoding += (transferEncoding.isEmpty() ? "" : ", ") + value;
        else if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            lengths << value;
    }
    if (!transferEncoding.isEmpty()) {
        m_framing = lastCoding(transferEncoding) == "chunked" ? Framing::Chunked : Framing::UntilClose;
        return m_state;
    }
    if (lengths.isEmpty()) {
        m_framing = Framing::UntilClose;
        return m_state;
    }
    const Result<qint64, LoadError> length = announcedLength(lengths.join(", "));
    if (!length)
        return damaged();
    m_framing = Framing::Length;
    m_left = length.value();
    if (m_left == 0)
        m_state = State::Done;
    return m_state;
}

Http1Reader::State Http1Reader::chunked(QByteArrayView& bytes, QByteArray& body)
{
    QByteArray line;
    switch (m_chunkPart) {
    case ChunkPart::Size: {
        if (!takeLine(bytes, line))
            return m_state;
        const qsizetype extension = line.indexOf(';');
        const QByteArray digits = (extension < 0 ? line : line.left(extension)).trimmed();
        // Fifteen hex digits already name more than any body may hold.
        if (digits.isEmpty() || digits.size() > 15 || !std::all_of(digits.begin(), digits.end(), isHexDigit))
            return damaged();
        m_left = digits.toLongLong(nullptr, 16);
        m_chunkPart = m_left == 0 ? ChunkPart::Trailer : ChunkPart::Data;
        return m_state;
    }
    case ChunkPart::Data: {
        const qsizetype taken = qsizetype(std::min<qint64>(m_left, bytes.size()));
        body.append(bytes.first(taken));
        bytes = bytes.sliced(taken);
        if ((m_left -= taken) == 0)
            m_chunkPart = ChunkPart::DataEnd;
        return m_state;
    }
    case ChunkPart::DataEnd:
        if (!takeLine(bytes, line))
            return m_state;
        if (!line.isEmpty())
            return damaged();
        m_chunkPart = ChunkPart::Size;
        return m_state;
    case ChunkPart::Trailer:
        if (takeLine(bytes, line) && line.isEmpty())
            m_state = State::Done;
        return m_state;
    }
    return m_state;
}

} // namespace parlowen
