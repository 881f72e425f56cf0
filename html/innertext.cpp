#include "html/innertext.h"

#include "common/asciitext.h"
#include "html/cssbox.h"
#include "html/tagtraits.h"

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

bool isHtmlElementWith(const GumboNode* node, uint32_t traits)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
           hasTrait(node->v.element.tag, traits);
}

// The last rendered child element with any of the traits.
const GumboNode* lastRenderedChild(const GumboNode* parent, uint32_t traits, const Cascade& cascade)
{
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (isHtmlElementWith(child, traits) && isRendered(child, cascade.styleOf(child)))
            return child;
    }
    return nullptr;
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

// The last row a table renders, looking into its row groups.
const GumboNode* lastRowOfTable(const GumboNode* table, const Cascade& cascade)
{
    const GumboVector& children = childrenOf(table);
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (!isHtmlElementWith(child, kRow | kRowGroup) || !isRendered(child, cascade.styleOf(child)))
            continue;
        if (hasTrait(child->v.element.tag, kRow))
            return child;
        if (const GumboNode* row = lastRenderedChild(child, kRow, cascade))
            return row;
    }
    return nullptr;
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
    const GumboNode* rowLastCell = nullptr;
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
    if (frame.box.breaks > 0)
        out.requireBreaks(frame.box.breaks);
    if (frame.box.endsLine)
        out.startLine();
    if (frame.box.kind == Box::Kind::InlineBlock) {
        out.atomicInline();
        out.startLine();
    }
    if (child->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return frame;
    switch (child->v.element.tag) {
    case GUMBO_TAG_TABLE:
        frame.tableLastRow = lastRowOfTable(child, cascade);
        break;
    case GUMBO_TAG_TR:
        frame.rowLastCell = lastRenderedChild(child, kCell, cascade);
        frame.lineBreakAfter = child != parent.tableLastRow && box.visible;
        break;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        // Each cell is a block of its own on the row's line.
        out.startLine();
        frame.tabAfter = child != parent.rowLastCell && box.visible && !box.contentSkipped;
        break;
    case GUMBO_TAG_DETAILS:
        if (gumbo_get_attribute(&child->v.element.attributes, "open") == nullptr) {
            frame.onlyOneChild = true;
            frame.onlyChild = firstRenderedChild(child, GUMBO_TAG_SUMMARY, cascade);
        }
        break;
    default:
        break;
    }
    return frame;
}

void textNode(const GumboNode* node, const Box& box, TextCollector& out)
{
    if (box.textShown && box.visible)
        out.textNode(node->v.text.text, box.whiteSpace, box.transform);
    else if (box.textShown && hasVisibleCharacter(node->v.text.text))
        // Hidden text still takes its place on the line, so the spaces on
        // both sides of it are not collapsed away.
        out.atomicInline();
}

// A box with nothing shown inside it: a line break or an atomic inline.
void leafBox(const GumboNode* element, const Box& box, TextCollector& out)
{
    if (!isHtmlElement(element, GUMBO_TAG_BR))
        out.atomicInline();
    else if (box.textShown && box.visible)
        out.lineBreak();
}

// Walks with an explicit stack: a page may nest elements very deeply.
Utf8Chunks renderBody(const GumboNode* body, const Cascade& cascade, TextCollector out,
                      const std::atomic<bool>* cancelled)
{
    std::vector<Frame> stack(1);
    const DeclaredStyle bodyStyle = cascade.styleOf(body);
    stack.back().node = body;
    stack.back().box = boxOf(body, bodyStyle, Box{});
    stack.back().doubtful = bodyStyle.doubtful;
    if (bodyStyle.doubtful)
        out.enterDoubtful();
    if (stack.back().box.contentSkipped)
        stack.back().next = childrenOf(body).length;
    while (!stack.empty()) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
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
        if (isHtmlElement(child, GUMBO_TAG_BR) || box.kind == Box::Kind::Atomic) {
            leafBox(child, box, out);
            if (style.doubtful)
                out.leaveDoubtful();
            continue;
        }
        stack.push_back(enter(child, box, top, cascade, out));
        stack.back().doubtful = style.doubtful;
        if (box.contentSkipped)
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
                           const std::vector<TextRun>* runs, const std::atomic<bool>* cancelled)
{
    const GumboNode* body = findBody(tree);
    return body ? renderBody(body, cascade, TextCollector(source, runs), cancelled) : Utf8Chunks();
}

} // namespace parlowen
