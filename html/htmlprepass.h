#pragma once
// A scan over an HTML page, run before gumbo parses it, that bounds what
// gumbo's tree costs without changing the page's text:
// - it follows the depth of the tree the parser builds, and where a page
//   nests deeper than a browser would, it closes the innermost element
//   first, so that the next one becomes its sibling, as a browser's DOM has
//   it. So the elements the page writes nest at most kMaxHtmlNesting deep,
//   and each of gumbo's searches of them costs at most that many steps; the
//   formatting elements gumbo reopens by itself are not followed, and what
//   they cost is counted by the arena's work budget (gumboarena.h);
// - it hides runs of plain text behind short placeholders so that gumbo's
//   per-character tokenizer does not see them (see textplaceholders.h);
// - it renames svg and math, which gumbo 0.10.1 cannot parse safely, and
//   isindex, for which it still builds a form of its own.

#include "common/workbudget.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace parlowen {

// The depth at which Chromium stops nesting (counting html and body).
inline constexpr int kMaxHtmlNesting = 512;

// Shorter runs are not worth a placeholder, unless gumbo would change them:
// a placeholder costs gumbo's tokenizer two characters, and a log's time
// stamps in a cell of their own are well over that.
inline constexpr qsizetype kMinPlaceholderRun = 4;

// Bytes [offset, offset + length) of the scanned page.
// A log page is a run every few dozen bytes, so a run is kept in 32 bits:
// no page gumbo is given comes near 4 GiB.
struct TextRun {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    // The whole text of a <style>: gumbo reads it a character at a time, and
    // the parse puts it back into the style's text node as gumbo would have
    // read it, raw, before anything reads the tree.
    bool styleSheet = false;
};

// A <style> shorter than this is read by gumbo itself.
inline constexpr qsizetype kMinStyleSheetRun = 256;

struct PreparedHtml {
    // The page as gumbo should see it, when the page needed a change.
    bool changed = false;
    QByteArray rewritten;
    // Placeholder i in rewritten stands for runs[i].
    std::vector<TextRun> runs;
    // End tags put in to keep the tree within kMaxHtmlNesting.
    qsizetype closedForDepth = 0;
    // Set when the scan stopped because work said stop: the page is too
    // complex to read, or nobody wants its result.
    bool overBudget = false;
};

enum class TextPlaceholders { Off, On };

// The steps of the scan are spent from work, and so are those of gumbo's
// tokenizer that its parse does not count (the comparisons of attribute
// names within a tag); once work is over budget or cancelled, the scan
// stops with overBudget set. The parse then goes on from what it spent.
PreparedHtml prepareHtml(QByteArrayView utf8Html, TextPlaceholders placeholders, WorkBudget& work);

} // namespace parlowen
