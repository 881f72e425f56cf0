#include "html/innertext.h"

#include "common/asciitext.h"
#include "html/cssbox.h"

namespace parlowen {

namespace {

const GumboVector& childrenOf(const GumboNode* node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

bool isHtmlElement(const GumboNode* node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const GumboNode* firstRenderedChild(const GumboNode* parent, GumboTag tag, const Cascade& cascade)
{
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (isHtmlElement(child, tag) && isRendered(child, cascade.styleOf(child)))
            return child;
    }
    return nullptr;
}

bool hasVisibleCharacter(const char* text);

// Whether the node makes a box of its own: a rendered element, or text
// that is not only white space.
bool makesBox(const GumboNode* node, const Cascade& cascade)
{
    switch (node->type) {
    case GUMBO_NODE_ELEMENT:
        return isRendered(node, cascade.styleOf(node));
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_CDATA:
        return hasVisibleCharacter(node->v.text.text);
    default:
        return false;
    }
}

TablePart partOf(const GumboNode* node, const Cascade& cascade)
{
    return node->type == GUMBO_NODE_ELEMENT ? tablePartOf(node, cascade.styleOf(node)) : TablePart::None;
}

// The last child that makes a box: a row's last cell, unless something
// else, wrapped in a cell of its own, comes after it.
const GumboNode* lastBoxChild(const GumboNode* parent, const Cascade& cascade)
{
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (makesBox(child, cascade))
            return child;
    }
    return nullptr;
}

// Captions and columns stand beside a table's rows.
bool besideRows(const GumboNode* node, const Cascade& cascade)
{
    return isHtmlElement(node, GUMBO_TAG_COL) || isHtmlElement(node, GUMBO_TAG_COLGROUP) ||
           partOf(node, cascade) == TablePart::Caption;
}

// The last row of a table or a row group, looking into the table's row
// groups. Anything else that makes a box there is a row the browser makes
// for it, which no element is: then every row has a line break after it.
const GumboNode* lastRowOf(const GumboNode* parent, bool intoGroups, const Cascade& cascade)
{
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (besideRows(child, cascade) || !makesBox(child, cascade))
            continue;
        if (!intoGroups || partOf(child, cascade) != TablePart::RowGroup)
            return child;
        if (const GumboNode* row = lastRowOf(child, false, cascade))
            return row;
    }
    return nullptr;
}

// Whether the next sibling that makes a box, from index next of the
// parent's children, is of this part: outside a row (or a table), cells
// (rows) side by side share a row (a table) the browser makes for them.
bool nextBoxIs(const GumboNode* parent, unsigned next, TablePart part, const Cascade& cascade)
{
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = next; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (makesBox(child, cascade))
            return partOf(child, cascade) == part;
    }
    return false;
}

bool hasVisibleCharacter(const char* text)
{
    for (; *text; ++text) {
        if (!isAsciiWhitespace(*text))
            return true;
    }
    return false;
}

struct Frame {
    const GumboNode* node = nullptr;
    unsigned next = 0;
    Box box;
    bool tabAfter = false;
    bool lineBreakAfter = false;
    const GumboNode* tableLastRow = nullptr;
    const GumboNode* rowLastChild = nullptr;
    // A closed details element shows its first summary only.
    const GumboNode* onlyChild = nullptr;
    bool onlyOneChild = false;
    // A rule the cascade could not read applies to the element.
    bool doubtful = false;
};

void leave(const Frame& done, TextCollector& out)
{
    if (done.box.kind == Box::Kind::InlineBlock)
        out.endInlineBlock();
    if (done.box.endsLine)
        out.startLine();
    if (done.tabAfter)
        out.cellSeparator();
    if (done.lineBreakAfter)
        out.lineBreak();
    if (done.box.breaks > 0)
        out.requireBreaks(done.box.breaks);
    if (done.box.outOfFlow)
        out.endOutOfFlow();
}

// A table's rows and a row's cells, by their display: the last of them
// has no line break or tab after it.
void enterTablePart(const GumboNode* child, const Frame& parent, const Cascade& cascade, Frame& frame,
                    TextCollector& out)
{
    const TablePart around = parent.box.tablePart;
    switch (frame.box.tablePart) {
    case TablePart::Table:
        frame.tableLastRow = lastRowOf(child, true, cascade);
        break;
    case TablePart::RowGroup:
        if (around != TablePart::Table)
            frame.tableLastRow = lastRowOf(child, false, cascade);
        break;
    case TablePart::Row: {
        frame.rowLastChild = lastBoxChild(child, cascade);
        const bool last = around == TablePart::Table || around == TablePart::RowGroup
                              ? child == parent.tableLastRow
                              : !nextBoxIs(parent.node, parent.next, TablePart::Row, cascade);
        frame.lineBreakAfter = !last && frame.box.visible;
        break;
    }
    case TablePart::Cell: {
        // Each cell is a block of its own on the row's line.
        out.startLine();
        const bool last = around == TablePart::Row
                              ? child == parent.rowLastChild
                              : !nextBoxIs(parent.node, parent.next, TablePart::Cell, cascade);
        frame.tabAfter = !last && frame.box.visible && !frame.box.contentSkipped;
        break;
    }
    case TablePart::Caption:
    case TablePart::None:
        break;
    }
}

// The frame for a rendered child element, after the breaks and spaces its
// box puts in front of it.
Frame enter(const GumboNode* child, const Box& box, const Frame& parent, const Cascade& cascade,
            TextCollector& out)
{
    Frame frame;
    frame.node = child;
    frame.box = box;
    frame.tableLastRow = parent.tableLastRow;
    if (box.outOfFlow)
        out.beginOutOfFlow();
    if (box.breaks > 0)
        out.requireBreaks(box.breaks);
    if (box.endsLine)
        out.startLine();
    if (box.kind == Box::Kind::InlineBlock) {
        out.atomicInline();
        out.startLine();
    } else if (box.kind == Box::Kind::Atomic && box.breaks == 0) {
        out.atomicInline();
    }
    enterTablePart(child, parent, cascade, frame, out);
    if (isHtmlElement(child, GUMBO_TAG_DETAILS) &&
        gumbo_get_attribute(&child->v.element.attributes, "open") == nullptr) {
        frame.onlyOneChild = true;
        frame.onlyChild = firstRenderedChild(child, GUMBO_TAG_SUMMARY, cascade);
    }
    return frame;
}

void textNode(const GumboNode* node, const Box& box, TextCollector& out)
{
    if (box.textShown && box.visible)
        out.textNode(node->v.text.text, box.whiteSpace, box.transform, box.language);
    else if (box.textShown && hasVisibleCharacter(node->v.text.text))
        // Hidden text still takes its place on the line, so the spaces on
        // both sides of it are not collapsed away.
        out.atomicInline();
}

// The body's box sits in the document's, which has the page's language.
Frame bodyFrame(const GumboNode* body, const Cascade& cascade, TextCollector& out)
{
    const DeclaredStyle style = cascade.styleOf(body);
    Box document;
    document.language = documentLanguage(body->parent);
    Frame frame;
    frame.node = body;
    frame.box = boxOf(body, style, document);
    frame.doubtful = style.doubtful;
    if (style.doubtful)
        out.enterDoubtful();
    if (frame.box.contentSkipped)
        frame.next = childrenOf(body).length;
    return frame;
}

// Walks with an explicit stack: a page may nest elements very deeply.
Utf8Chunks renderBody(const GumboNode* body, const Cascade& cascade, TextCollector out,
                      const WorkBudget& reading)
{
    std::vector<Frame> stack{bodyFrame(body, cascade, out)};
    while (!stack.empty()) {
        if (reading.cancelled())
            break;
        Frame& top = stack.back();
        const GumboVector& children = childrenOf(top.node);
        if (top.next >= children.length) {
            const Frame done = top;
            stack.pop_back();
            leave(done, out);
            if (done.doubtful)
                out.leaveDoubtful();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
        if (top.onlyOneChild && child != top.onlyChild)
            continue;
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            textNode(child, top.box, out);
            continue;
        case GUMBO_NODE_ELEMENT:
            break;
        default:
            continue;
        }
        const DeclaredStyle style = cascade.styleOf(child);
        if (!isRendered(child, style))
            continue;
        const Box box = boxOf(child, style, top.box);
        if (style.doubtful)
            out.enterDoubtful();
        if (isHtmlElement(child, GUMBO_TAG_BR)) {
            if (box.textShown && box.visible)
                out.lineBreak();
            if (style.doubtful)
                out.leaveDoubtful();
            continue;
        }
        stack.push_back(enter(child, box, top, cascade, out));
        stack.back().doubtful = style.doubtful;
        // Replaced content shows none of its children.
        if (box.contentSkipped || box.kind == Box::Kind::Atomic)
            stack.back().next = childrenOf(child).length;
    }
    return out.finish();
}

const GumboNode* findBody(const GumboOutput& output)
{
    if (!output.root)
        return nullptr;
    const GumboVector& children = output.root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (isHtmlElement(child, GUMBO_TAG_BODY))
            return child;
    }
    return nullptr;
}

} // namespace

Utf8Chunks renderInnerText(const GumboOutput& tree, const Cascade& cascade, const char* source,
                           const std::vector<TextRun>* runs, const WorkBudget& reading)
{
    const GumboNode* body = findBody(tree);
    return body ? renderBody(body, cascade, TextCollector(source, runs), reading) : Utf8Chunks();
}

} // namespace parlowen
