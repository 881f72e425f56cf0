#include "html/textcollector.h"

#include "common/asciitext.h"
#include "html/textplaceholders.h"

#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace parlowen {

void Utf8Chunks::append(const char* data, qsizetype size)
{
    if (size == 0)
        return;
    // A table log is hundreds of thousands of small pieces: each is copied
    // into room already there, which QByteArray::append checks and grows
    // piece by piece. Room not written to is never faulted in.
    if (size > m_room) {
        endChunk();
        m_chunks.emplace_back(std::max(ChunkBytes, size), Qt::Uninitialized);
        m_write = m_chunks.back().data();
        m_room = m_chunks.back().size();
    }
    std::memcpy(m_write, data, std::size_t(size));
    m_write += size;
    m_room -= size;
    m_size += size;
}

void Utf8Chunks::append(QByteArray&& piece)
{
    if (piece.size() < ChunkBytes) {
        append(piece.constData(), piece.size());
        return;
    }
    endChunk();
    m_size += piece.size();
    m_chunks.push_back(std::move(piece));
}

void Utf8Chunks::endChunk()
{
    if (!m_chunks.empty())
        m_chunks.back().truncate(m_chunks.back().size() - m_room);
    m_write = nullptr;
    m_room = 0;
}

QString Utf8Chunks::toString(Ranges* marked) &&
{
    endChunk();
    qsizetype bytes = 0;
    for (const QByteArray& chunk : m_chunks)
        bytes += chunk.size();
    // Never fewer bytes than characters. Decoded in place: a piece decoded
    // to a string of its own would be one more buffer to fault in and copy.
    QString text(bytes, Qt::Uninitialized);
    QChar* out = text.data();
    // One decoder for all pieces carries a character split between two.
    QStringDecoder decoder(QStringConverter::Utf8);
    // The ends of the marked ranges, in order: each piece up to one is
    // decoded on its own, to see where it ends in the text.
    std::vector<qsizetype*> ends;
    if (marked) {
        *marked = std::move(m_marked);
        for (auto& [from, to] : *marked)
            ends.insert(ends.end(), {&from, &to});
    }
    auto end = ends.begin();
    qsizetype chunkStart = 0;
    for (QByteArray& chunk : m_chunks) {
        const QByteArray piece = std::exchange(chunk, {});
        qsizetype decoded = 0;
        for (; end != ends.end() && **end - chunkStart <= piece.size(); ++end) {
            out = decoder.appendToBuffer(out,
                                         QByteArrayView(piece).sliced(decoded, **end - chunkStart - decoded));
            decoded = **end - chunkStart;
            **end = out - text.constData();
        }
        out = decoder.appendToBuffer(out, QByteArrayView(piece).sliced(decoded));
        chunkStart += piece.size();
    }
    m_chunks.clear();
    text.truncate(out - text.constData());
    return text;
}

void TextCollector::requireBreaks(int count)
{
    m_requiredBreaks = std::max(m_requiredBreaks, count);
    startLine();
}

void TextCollector::lineBreak()
{
    // The line ends here, with no space at its end.
    startLine();
    beginContent();
    write("\r\n", 2);
    startLine();
}

void TextCollector::cellSeparator()
{
    startLine();
    beginContent();
    write("\t", 1);
    startLine();
}

void TextCollector::startLine()
{
    if (awaitingDiversion())
        settleDiversion(false);
    m_pendingSpace = false;
    m_atLineStart = true;
    m_inWord = false;
}

void TextCollector::atomicInline()
{
    // The box itself adds no text, so it does not count as content for the
    // breaks around blocks: only the space before it does.
    if (m_pendingSpace) {
        beginContent();
        if (m_pendingSpace)
            write(" ", 1);
    }
    m_pendingSpace = false;
    m_atLineStart = false;
}

void TextCollector::beginOutOfFlow()
{
    InterruptedLine line{m_pendingSpace, m_atLineStart, m_inWord, false};
    if (m_pendingSpace) {
        // A second box on the same line, after spaces only, waits with the first.
        if (awaitingDiversion()) {
            m_diversions.back().awaiting = false;
            line.diverted = true;
        } else if (m_diversions.size() < kMaxDiversions) {
            m_diversions.emplace_back();
            line.diverted = true;
        } else {
            // As if the box ended the line.
            line.pendingSpace = false;
            line.atLineStart = true;
        }
    }
    m_interrupted.push_back(line);
    m_pendingSpace = false;
    m_atLineStart = true;
    m_inWord = false;
}

void TextCollector::endOutOfFlow()
{
    // A box inside this one whose line ended with it.
    if (awaitingDiversion())
        settleDiversion(false);
    const InterruptedLine line = m_interrupted.back();
    m_interrupted.pop_back();
    m_pendingSpace = line.pendingSpace;
    m_atLineStart = line.atLineStart;
    m_inWord = line.inWord;
    if (line.diverted)
        m_diversions.back().awaiting = true;
}

void TextCollector::settleDiversion(bool spaceKept)
{
    QByteArray text = std::move(m_diversions.back().text);
    m_diversions.pop_back();
    if (spaceKept) {
        write(" ", 1);
        m_pendingSpace = false;
    }
    if (!m_diversions.empty()) {
        m_diversions.back().text.append(text);
        return;
    }
    m_out.append(std::move(text));
    if (m_doubtfulEndWaits)
        endDoubtful();
}

void TextCollector::write(const char* data, qsizetype size)
{
    if (m_diversions.empty())
        m_out.append(data, size);
    else
        m_diversions.back().text.append(data, size);
}

Utf8Chunks TextCollector::finish()
{
    while (!m_diversions.empty())
        settleDiversion(false);
    return std::move(m_out);
}

void TextCollector::endInlineBlock()
{
    m_pendingSpace = false;
    m_atLineStart = false;
}

void TextCollector::enterDoubtful()
{
    // A part that begins before the last one's end is in the text goes on
    // from where that one began.
    if (m_doubtfulDepth++ == 0 && !std::exchange(m_doubtfulEndWaits, false))
        m_doubtfulStart = m_out.size();
}

void TextCollector::leaveDoubtful()
{
    if (--m_doubtfulDepth > 0)
        return;
    if (m_diversions.empty())
        endDoubtful();
    else
        m_doubtfulEndWaits = true;
}

void TextCollector::endDoubtful()
{
    m_doubtfulEndWaits = false;
    if (m_out.size() > m_doubtfulStart)
        m_out.mark(m_doubtfulStart, m_out.size());
}

namespace {

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || c == U'\'' || c == U'\u2019' || QChar::isMark(c);
}

// Whether UTF-8 text ends in a word character; once a text node, so
// without a decoder.
bool endsInWord(const char* text, const char* end)
{
    if (text == end)
        return false;
    if (uchar(end[-1]) < 0x80)
        return std::isalnum(uchar(end[-1])) || end[-1] == '\'';
    const char* lead = end - 1;
    while (lead > text && (uchar(*lead) & 0xC0) == 0x80)
        --lead;
    const uchar first = uchar(*lead);
    char32_t c = first & (first >= 0xF0 ? 0x07 : first >= 0xE0 ? 0x0F : 0x1F);
    for (const char* p = lead + 1; p < end; ++p)
        c = (c << 6) | (uchar(*p) & 0x3F);
    return isWordCharacter(c);
}

// The locale whose case rules a language has, as browsers map case: by the
// rules of Turkish and Azeri (dotted and dotless i), Lithuanian (the dot
// over i kept under accents) and Greek (no accents in capitals); for any
// other language by the full mappings (ß to SS, a final sigma).
const QLocale& caseLocale(CaseLanguage language)
{
    static const QLocale turkish(QLocale::Turkish);
    static const QLocale lithuanian(QLocale::Lithuanian);
    static const QLocale greek(QLocale::Greek);
    static const QLocale other(QLocale::English);
    switch (language) {
    case CaseLanguage::Turkic:
        return turkish;
    case CaseLanguage::Lithuanian:
        return lithuanian;
    case CaseLanguage::Greek:
        return greek;
    case CaseLanguage::Other:
        break;
    }
    return other;
}

QString transformed(const QByteArray& utf8, TextTransform transform, CaseLanguage language, bool& inWord)
{
    QString text = QString::fromUtf8(utf8);
    switch (transform) {
    case TextTransform::Uppercase:
        text = caseLocale(language).toUpper(text);
        break;
    case TextTransform::Lowercase:
        text = caseLocale(language).toLower(text);
        break;
    case TextTransform::Capitalize: {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (!inWord && c.isLetter() && !c.isSurrogate())
                out += QChar(QChar::toTitleCase(c.unicode()));
            else
                out += c;
            inWord = isWordCharacter(c.unicode());
        }
        return out;
    }
    case TextTransform::None:
        break;
    }
    if (!text.isEmpty())
        inWord = isWordCharacter(text.back().unicode());
    return text;
}

} // namespace

void TextCollector::textNode(const char* text, WhiteSpace mode, TextTransform transform,
                             CaseLanguage language)
{
    const char* end = text + std::strlen(text);
    if (transform == TextTransform::None) {
        pieces(text, end, mode);
        // What the node ends in is what its last placeholder stands for.
        const qsizetype last =
            m_runs && end - text >= kPlaceholderBytes ? decodePlaceholder(end - kPlaceholderBytes, end) : -1;
        if (last >= 0) {
            const TextRun& run = (*m_runs)[size_t(last)];
            m_inWord = endsInWord(m_source + run.offset, m_source + run.offset + run.length);
        } else {
            m_inWord = endsInWord(text, end);
        }
        return;
    }
    // The whole node at once: a case mapping may change a character's
    // length, and capitalize reads across the pieces.
    QByteArray gathered;
    m_gathered = &gathered;
    pieces(text, end, mode);
    m_gathered = nullptr;
    const QByteArray utf8 = transformed(gathered, transform, language, m_inWord).toUtf8();
    append(utf8.constData(), utf8.constData() + utf8.size(), mode);
}

void TextCollector::pieces(const char* text, const char* end, WhiteSpace mode)
{
    if (!m_runs) {
        append(text, end, mode);
        return;
    }
    // Placeholders stand for runs of the original page: put them back
    // before white space is looked at, so the result is unchanged.
    for (const char* p = text; p < end;) {
        const void* lead = std::memchr(p, 0xF3, size_t(end - p));
        const char* at = lead ? static_cast<const char*>(lead) : end;
        const qsizetype index = at < end ? decodePlaceholder(at, end) : -1;
        if (index < 0) {
            append(p, at < end ? at + 1 : end, mode);
            p = at < end ? at + 1 : end;
            continue;
        }
        append(p, at, mode);
        const TextRun& run = (*m_runs)[size_t(index)];
        appendRun(m_source + run.offset, m_source + run.offset + run.length, mode);
        p = at + kPlaceholderBytes;
    }
}

// A run of the page as gumbo would have read it: its input stream
// preprocessor turns CR LF and a lone CR into LF, and its tokenizer reads a
// basicReference as its character.
void TextCollector::appendRun(const char* p, const char* end, WhiteSpace mode)
{
    // A run is often a log of thousands of lines: memchr finds its next CR
    // and its next & many bytes at a time, each looked for again only once
    // passed, so that a run of nothing but & costs no more than one of CRs.
    const auto next = [end](const char* from, char c) { return nextByte(from, end, c); };
    const char* cr = next(p, '\r');
    const char* amp = next(p, '&');
    const char* from = p;
    while (true) {
        if (cr < p)
            cr = next(p, '\r');
        if (amp < p)
            amp = next(p, '&');
        p = std::min(cr, amp);
        if (p == end)
            break;
        append(from, p, mode);
        if (*p == '\r') {
            static constexpr char kLineFeed = '\n';
            append(&kLineFeed, &kLineFeed + 1, mode);
            p += p + 1 < end && p[1] == '\n' ? 2 : 1;
        } else {
            const BasicReference reference = basicReference(p, end);
            append(&reference.character, &reference.character + 1, mode);
            p += reference.length;
        }
        from = p;
    }
    append(from, end, mode);
}

void TextCollector::beginContent()
{
    if (awaitingDiversion())
        settleDiversion(m_pendingSpace);
    if (m_hasContent) {
        for (int i = 0; i < m_requiredBreaks; ++i)
            write("\r\n", 2);
    }
    m_requiredBreaks = 0;
    m_hasContent = true;
}

void TextCollector::append(const char* p, const char* end, WhiteSpace mode)
{
    if (m_gathered) {
        m_gathered->append(p, end - p);
        return;
    }
    switch (mode) {
    case WhiteSpace::Collapse:
        appendCollapsed(p, end);
        break;
    case WhiteSpace::Preserve:
        appendPreserved(p, end);
        break;
    case WhiteSpace::PreserveBreaks:
        while (p < end) {
            const void* nl = std::memchr(p, '\n', size_t(end - p));
            const char* lineEnd = nl ? static_cast<const char*>(nl) : end;
            appendCollapsed(p, lineEnd);
            if (lineEnd < end)
                lineBreak();
            p = lineEnd < end ? lineEnd + 1 : end;
        }
        break;
    }
}

void TextCollector::appendCollapsed(const char* p, const char* end)
{
    while (p < end) {
        if (isAsciiWhitespace(*p)) {
            m_pendingSpace = !m_atLineStart;
            ++p;
            continue;
        }
        // Words apart by single spaces are already collapsed: one append
        // for all of them rather than one a word.
        const char* words = p;
        while (p < end && (!isAsciiWhitespace(*p) || (*p == ' ' && p + 1 < end && !isAsciiWhitespace(p[1]))))
            ++p;
        beginContent();
        if (m_pendingSpace)
            write(" ", 1);
        write(words, p - words);
        m_pendingSpace = false;
        m_atLineStart = false;
    }
}

void TextCollector::appendPreserved(const char* p, const char* end)
{
    if (p == end)
        return;
    beginContent();
    if (m_pendingSpace)
        write(" ", 1);
    m_pendingSpace = false;
    while (p < end) {
        const void* nl = std::memchr(p, '\n', size_t(end - p));
        const char* lineEnd = nl ? static_cast<const char*>(nl) : end;
        write(p, lineEnd - p);
        if (lineEnd < end)
            write("\r\n", 2);
        p = lineEnd < end ? lineEnd + 1 : end;
    }
    m_atLineStart = end[-1] == '\n';
}

} // namespace parlowen
