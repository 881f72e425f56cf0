#pragma once
// The rendered text as it is collected, with white space collapsed the way
// CSS lays out "white-space: normal" text and the required line breaks of
// blocks merged: a run of them becomes as many breaks as the largest asks
// for, and runs at the very start and end are dropped.

#include "html/htmlprepass.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace parlowen {

enum class WhiteSpace { Collapse, Preserve, PreserveBreaks };
enum class TextTransform { None, Uppercase, Lowercase, Capitalize };
// Languages whose letters change case by rules of their own.
enum class CaseLanguage { Other, Turkic, Lithuanian, Greek };

// UTF-8 (half the size of UTF-16 while the page and its tree are still
// alive), in pieces of about a mebibyte, so that widening it to a QString
// frees each piece as soon as it is converted and a large page's text is
// never held twice. A character may span two pieces.
class Utf8Chunks {
public:
    using Ranges = std::vector<std::pair<qsizetype, qsizetype>>;

    // Moved only: a copy would share the chunk the original writes into.
    Utf8Chunks() = default;
    Utf8Chunks(Utf8Chunks&&) = default;
    Utf8Chunks& operator=(Utf8Chunks&&) = default;
    Utf8Chunks(const Utf8Chunks&) = delete;
    Utf8Chunks& operator=(const Utf8Chunks&) = delete;

    void append(const char* data, qsizetype size);
    void append(char c) { append(&c, 1); }
    // A large piece is kept as it is rather than copied.
    void append(QByteArray&& piece);
    qsizetype size() const { return m_size; }
    // Marks bytes [from, to), after those marked so far, each end between
    // two characters.
    void mark(qsizetype from, qsizetype to) { m_marked.emplace_back(from, to); }
    // With marked, where the marked bytes are in the text, in UTF-16 code
    // units.
    QString toString(Ranges* marked = nullptr) &&;

private:
    // The last chunk ends at its bytes written.
    void endChunk();

    static constexpr qsizetype ChunkBytes = 1 << 20;
    std::vector<QByteArray> m_chunks;
    char* m_write = nullptr; // in the last chunk
    qsizetype m_room = 0;    // left after m_write
    qsizetype m_size = 0;
    Ranges m_marked;
};

class TextCollector {
public:
    // With runs, text nodes may hold placeholders for runs of source.
    TextCollector(const char* source, const std::vector<TextRun>* runs) : m_source(source), m_runs(runs) {}

    void requireBreaks(int count);
    // A forced line break (br, or the end of a table row) is text, not a
    // required break: it is never merged or dropped.
    void lineBreak();
    void cellSeparator();
    // Starts a new line box: spaces at the end of the old line and at the
    // start of the new one are not rendered.
    void startLine();
    // An atomic inline box (an image, a control, an inline block): content
    // for white space collapsing, so the spaces on both sides of it stay.
    void atomicInline();
    // The end of an inline block's content: spaces before it are not rendered.
    void endInlineBlock();
    void textNode(const char* text, WhiteSpace mode, TextTransform transform = TextTransform::None,
                  CaseLanguage language = CaseLanguage::Other);
    // What comes between these two a rule the cascade could not read may
    // hide; inside another such part, it is part of that one.
    void enterDoubtful();
    void leaveDoubtful();
    // A float or an absolutely positioned box: its text is a block of its
    // own, while the line around it goes on as if the box were not there,
    // so a space before it stays only if the line has more content after it.
    void beginOutOfFlow();
    void endOutOfFlow();

    Utf8Chunks finish();

private:
    // The line an out-of-flow box interrupts, as it was before the box.
    struct InterruptedLine {
        bool pendingSpace;
        bool atLineStart;
        bool inWord;
        // Whether the box's text went to the last diversion.
        bool diverted;
    };
    // The text of out-of-flow boxes that came after a space of their line:
    // that space goes before it, or not at all, as the rest of the line says.
    struct Diversion {
        QByteArray text;
        // The boxes have ended: the next content of their line decides.
        bool awaiting = false;
    };
    // Diversions inside diversions past this drop the space before the box.
    static constexpr size_t kMaxDiversions = 8;

    void write(const char* data, qsizetype size);
    void endDoubtful();
    void settleDiversion(bool spaceKept);
    bool awaitingDiversion() const { return !m_diversions.empty() && m_diversions.back().awaiting; }
    void beginContent();
    void pieces(const char* text, const char* end, WhiteSpace mode);
    void appendRun(const char* p, const char* end, WhiteSpace mode);
    void append(const char* p, const char* end, WhiteSpace mode);
    void appendCollapsed(const char* p, const char* end);
    void appendPreserved(const char* p, const char* end);

    const char* m_source;
    const std::vector<TextRun>* m_runs;
    Utf8Chunks m_out;
    int m_requiredBreaks = 0;
    bool m_hasContent = false;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
    // A transformed text node is gathered here first, as a whole.
    QByteArray* m_gathered = nullptr;
    // Whether the last text ended inside a word, for capitalize.
    bool m_inWord = false;
    // Where the outermost doubtful part began in the text. Text that waits
    // in a diversion is not yet there: a part that begins while some text
    // waits begins before it, and one that ends then ends only once all of
    // it has gone to the text, so that nothing doubtful is left out.
    int m_doubtfulDepth = 0;
    qsizetype m_doubtfulStart = 0;
    bool m_doubtfulEndWaits = false;
    std::vector<InterruptedLine> m_interrupted;
    std::vector<Diversion> m_diversions;
};

} // namespace parlowen
