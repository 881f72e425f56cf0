#include "html/cssbox.h"

#include "html/asciitext.h"
#include "html/tagtraits.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <string_view>

namespace parlowen {

namespace {

bool hasAttribute(const GumboNode* node, const char* name)
{
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

// For elements gumbo does not know (dialog, and those inside an svg
// drawing): whether the start tag in the page had this lower-case name.
bool hasName(const GumboNode* node, std::string_view name)
{
    const GumboStringPiece& tag = node->v.element.original_tag;
    if (tag.length < name.size() + 1 || tag.data[0] != '<')
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = tag.data[1 + i];
        if (((c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c) != name[i])
            return false;
    }
    if (tag.length == name.size() + 1)
        return true;
    const char after = tag.data[1 + name.size()];
    return isAsciiWhitespace(after) || after == '/' || after == '>';
}

bool isUnknownNamed(const GumboNode* node, std::string_view name)
{
    return node->v.element.tag == GUMBO_TAG_UNKNOWN && hasName(node, name);
}

// What an inline style attribute says about display and white-space; the
// last declaration of each wins, as in CSS.
struct InlineStyle {
    std::optional<QByteArray> display;
    std::optional<WhiteSpace> whiteSpace;
};

InlineStyle parseInlineStyle(const GumboNode* node)
{
    InlineStyle style;
    const GumboAttribute* attr = gumbo_get_attribute(&node->v.element.attributes, "style");
    if (!attr)
        return style;
    const QByteArrayView text(attr->value);
    for (QByteArrayView rest = text; !rest.isEmpty();) {
        const qsizetype semi = rest.indexOf(';');
        const QByteArrayView declaration = semi < 0 ? rest : rest.first(semi);
        rest = semi < 0 ? QByteArrayView() : rest.sliced(semi + 1);
        const qsizetype colon = declaration.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray property = trimmedAscii(declaration.first(colon)).toByteArray().toLower();
        QByteArray value = trimmedAscii(declaration.sliced(colon + 1)).toByteArray().toLower();
        const qsizetype bang = value.indexOf('!');
        if (bang >= 0 && trimmedAscii(QByteArrayView(value).sliced(bang + 1)) == "important")
            value = trimmedAscii(QByteArrayView(value).first(bang)).toByteArray();
        if (property == "display") {
            style.display = value;
        } else if (property == "white-space") {
            if (value == "pre" || value == "pre-wrap" || value == "break-spaces")
                style.whiteSpace = WhiteSpace::Preserve;
            else if (value == "pre-line")
                style.whiteSpace = WhiteSpace::PreserveBreaks;
            else if (value == "normal" || value == "nowrap")
                style.whiteSpace = WhiteSpace::Collapse;
        }
    }
    return style;
}

// Line breaks the default style sheet implies around an element: 1 for a
// block-level box, 2 for a paragraph, 0 for inline content.
int requiredBreaks(GumboTag tag)
{
    return hasTrait(tag, kParagraph) ? 2 : hasTrait(tag, kBlock) ? 1 : 0;
}

// Inside an svg drawing only text elements show text, each as a block;
// descriptions are never shown. A foreign object holds HTML again.
Box svgChildBox(const GumboNode* node, Box box)
{
    const GumboTag tag = node->v.element.tag;
    if (tag == GUMBO_TAG_DESC || tag == GUMBO_TAG_TITLE)
        box.textShown = false;
    else if (hasName(node, "text"))
        box = {Box::Kind::Inline, 1, WhiteSpace::Collapse, true, true};
    else if (tag == GUMBO_TAG_FOREIGNOBJECT)
        box = {Box::Kind::Inline, 0, WhiteSpace::Collapse, true, false};
    return box;
}

void applyStyle(const InlineStyle& style, Box& box)
{
    if (style.whiteSpace)
        box.whiteSpace = *style.whiteSpace;
    if (!style.display)
        return;
    const QByteArray& d = *style.display;
    if (d == "block" || d == "list-item" || d == "flex" || d == "grid" || d == "table" || d == "flow-root") {
        box.breaks = std::max(box.breaks, 1);
        if (box.kind == Box::Kind::InlineBlock)
            box.kind = Box::Kind::Inline;
    } else if (d == "inline-block" || d == "inline-flex" || d == "inline-grid" || d == "inline-table") {
        box.breaks = 0;
        if (box.kind == Box::Kind::Inline)
            box.kind = Box::Kind::InlineBlock;
    } else if (d == "inline") {
        box.breaks = 0;
    }
}

} // namespace

bool isRendered(const GumboNode* node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return node->type != GUMBO_NODE_TEMPLATE && node->type != GUMBO_NODE_COMMENT;
    const GumboElement& element = node->v.element;
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML && hasTrait(element.tag, kNeverRendered))
        return false;
    if (hasAttribute(node, "hidden"))
        return false;
    // Closed dialogs, audio without controls and hidden inputs are display: none.
    if (isUnknownNamed(node, "dialog") && !hasAttribute(node, "open"))
        return false;
    if (element.tag == GUMBO_TAG_AUDIO && !hasAttribute(node, "controls"))
        return false;
    if (element.tag == GUMBO_TAG_INPUT) {
        const GumboAttribute* type = gumbo_get_attribute(&element.attributes, "type");
        if (type && QByteArrayView(type->value).compare("hidden", Qt::CaseInsensitive) == 0)
            return false;
    }
    const InlineStyle style = parseInlineStyle(node);
    return !(style.display && *style.display == "none");
}

Box boxOf(const GumboNode* node, const Box& parent)
{
    Box box;
    box.whiteSpace = parent.whiteSpace;
    box.textShown = parent.textShown;
    box.inSvg = parent.inSvg;
    const GumboTag tag = node->v.element.tag;
    if (parent.inSvg)
        return svgChildBox(node, box);
    if ((node->v.element.tag_namespace == GUMBO_NAMESPACE_SVG && tag == GUMBO_TAG_SVG) ||
        isUnknownNamed(node, "x-svg")) {
        box.kind = Box::Kind::InlineBlock;
        box.inSvg = true;
        box.textShown = false;
        return box;
    }
    if (node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML) {
        if (hasTrait(tag, kAtomic))
            box.kind = Box::Kind::Atomic;
        else if (hasTrait(tag, kInlineBlock))
            box.kind = Box::Kind::InlineBlock;
        box.breaks = isUnknownNamed(node, "dialog") ? 1 : requiredBreaks(tag);
        if (hasTrait(tag, kPreformatted))
            box.whiteSpace = WhiteSpace::Preserve;
    }
    applyStyle(parseInlineStyle(node), box);
    return box;
}

} // namespace parlowen
