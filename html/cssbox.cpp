#include "html/cssbox.h"

#include "common/asciitext.h"
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
// Only those keep their start tag once the page is parsed; a tag gumbo
// knows has the name it knows it by.
bool hasName(const GumboNode* node, std::string_view name)
{
    if (node->v.element.tag != GUMBO_TAG_UNKNOWN)
        return name == gumbo_normalized_tagname(node->v.element.tag);
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

// Line breaks the default style sheet implies around an element: 1 for a
// block-level box, 2 for a paragraph, 0 for inline content.
int requiredBreaks(GumboTag tag)
{
    return hasTrait(tag, kParagraph) ? 2 : hasTrait(tag, kBlock) ? 1 : 0;
}

TablePart defaultTablePart(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_TABLE:
        return TablePart::Table;
    case GUMBO_TAG_CAPTION:
        return TablePart::Caption;
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TFOOT:
        return TablePart::RowGroup;
    case GUMBO_TAG_TR:
        return TablePart::Row;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return TablePart::Cell;
    default:
        return TablePart::None;
    }
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

// The display keyword that gives a box of this kind, for "inherit".
css::Display displayOf(const Box& box)
{
    using css::Display;
    switch (box.tablePart) {
    case TablePart::Table:
        return box.breaks > 0 ? Display::Table : Display::InlineTable;
    case TablePart::Caption:
        return Display::TableCaption;
    case TablePart::RowGroup:
        return Display::TableRowGroup;
    case TablePart::Row:
        return Display::TableRow;
    case TablePart::Cell:
        return Display::TableCell;
    case TablePart::None:
        break;
    }
    if (box.blockifiesChildren)
        return box.breaks > 0 ? Display::Flex : Display::InlineFlex;
    return box.breaks > 0                       ? Display::Block
           : box.kind == Box::Kind::InlineBlock ? Display::InlineBlock
                                                : Display::Inline;
}

TablePart tablePartOf(css::Display display)
{
    using css::Display;
    switch (display) {
    case Display::Table:
    case Display::InlineTable:
        return TablePart::Table;
    case Display::TableCaption:
        return TablePart::Caption;
    case Display::TableRowGroup:
        return TablePart::RowGroup;
    case Display::TableRow:
        return TablePart::Row;
    case Display::TableCell:
        return TablePart::Cell;
    default:
        return TablePart::None;
    }
}

// The cascade's display on the default box. A p element keeps its two
// breaks whatever its display, as innerText asks for them by its name.
void applyDisplay(css::Declared<css::Display> declared, const Box& parent, Box& box)
{
    using css::Display;
    const std::optional<Display> declaredDisplay =
        declared.is(css::Wide::Inherit) ? std::optional(displayOf(parent)) : declared.own();
    if (!declaredDisplay || declaredDisplay == Display::OwnBox || declaredDisplay == Display::None)
        return;
    const Display display = *declaredDisplay;
    box.tablePart = tablePartOf(display);
    // The children of contents are their parent's children.
    box.blockifiesChildren = display == Display::Flex || display == Display::InlineFlex ||
                             (display == Display::Contents && parent.blockifiesChildren);
    switch (display) {
    case Display::Block:
    case Display::Flex:
    case Display::Table:
    case Display::TableCaption:
        box.breaks = std::max(box.breaks, 1);
        if (box.kind == Box::Kind::InlineBlock)
            box.kind = Box::Kind::Inline;
        break;
    case Display::InlineBlock:
    case Display::InlineFlex:
    case Display::InlineTable:
        box.breaks = box.breaks == 2 ? 2 : 0;
        if (box.kind == Box::Kind::Inline)
            box.kind = Box::Kind::InlineBlock;
        break;
    default:
        // Inline, contents and the parts inside a table: no box of their own
        // on a line. A row or a cell is read as a table's part, not by its
        // name, and contents leave no box to read.
        box.breaks = box.breaks == 2 && display != Display::Contents && display != Display::TableRow &&
                             display != Display::TableCell
                         ? 2
                         : 0;
        if (box.kind == Box::Kind::InlineBlock && display != Display::Inline)
            box.kind = Box::Kind::Inline;
        break;
    }
}

// The declared value's, the parent's when inherited, or the default box's
// when the page declares none or reverts to the default style sheet.
template <typename V, typename T>
void applyInherited(css::Declared<V> declared, T parentValue, T (*own)(V), T& value)
{
    if (declared.is(css::Wide::Inherit))
        value = parentValue;
    else if (const std::optional<V> ownValue = declared.own())
        value = own(*ownValue);
}

WhiteSpace whiteSpaceOf(css::WhiteSpace value)
{
    return value == css::WhiteSpace::Preserve         ? WhiteSpace::Preserve
           : value == css::WhiteSpace::PreserveBreaks ? WhiteSpace::PreserveBreaks
                                                      : WhiteSpace::Collapse;
}

TextTransform transformOf(css::TextTransform value)
{
    return value == css::TextTransform::Uppercase    ? TextTransform::Uppercase
           : value == css::TextTransform::Lowercase  ? TextTransform::Lowercase
           : value == css::TextTransform::Capitalize ? TextTransform::Capitalize
                                                     : TextTransform::None;
}

bool isVisible(css::Visibility value)
{
    return value == css::Visibility::Visible;
}

// A float, an absolutely positioned box and a flex or grid item are blocks
// whatever their display, the inline kinds becoming their block kin.
void blockify(Box& box)
{
    if (box.tablePart != TablePart::Table)
        box.tablePart = TablePart::None;
    if (box.breaks == 0)
        box.breaks = 1;
    if (box.kind == Box::Kind::InlineBlock)
        box.kind = Box::Kind::Inline;
}

// Out of the flow, or inside a flex or grid container, a box is a block;
// with display: contents there is no box to be one.
void applyPlacement(const DeclaredStyle& style, const Box& parent, Box& box)
{
    if (style.get<CssProperty::Display>() == css::Display::Contents)
        return;
    const bool positioned = style.get<CssProperty::Position>() == css::Position::OutOfFlow;
    // A flex item does not float, and one positioned out of the flow
    // still ends the run of text before it.
    box.outOfFlow =
        !parent.blockifiesChildren && (positioned || style.get<CssProperty::Float>() == css::Float::Floated);
    if (box.outOfFlow || parent.blockifiesChildren)
        blockify(box);
}

void applyStyle(const DeclaredStyle& style, const Box& parent, Box& box)
{
    applyDisplay(style.get<CssProperty::Display>(), parent, box);
    applyPlacement(style, parent, box);
    applyInherited(style.get<CssProperty::WhiteSpace>(), parent.whiteSpace, whiteSpaceOf, box.whiteSpace);
    applyInherited(style.get<CssProperty::TextTransform>(), parent.transform, transformOf, box.transform);
    applyInherited(style.get<CssProperty::Visibility>(), parent.visible, isVisible, box.visible);
    // A table cell is no inline box either, so its content is skipped too
    // (with the tab after it); a row's is not, as it cannot be contained,
    // and browsers skip neither a table's nor its caption's.
    const auto contentVisibility = style.get<CssProperty::ContentVisibility>();
    box.contentHidden = contentVisibility == css::ContentVisibility::Hidden ||
                        (contentVisibility.is(css::Wide::Inherit) && parent.contentHidden);
    if (box.contentHidden)
        box.contentSkipped =
            box.tablePart != TablePart::Caption && box.tablePart != TablePart::Table &&
            (box.breaks > 0 || box.kind == Box::Kind::InlineBlock || box.tablePart == TablePart::Cell);
    // Neither a hidden box nor one whose content is skipped asks for breaks.
    if (!box.visible || box.contentSkipped) {
        // Out of the flow, the box never was on the line.
        box.endsLine = box.breaks > 0 && !box.outOfFlow;
        box.breaks = 0;
    }
}

} // namespace

CaseLanguage caseLanguageOf(QByteArrayView languageTag)
{
    const QByteArrayView tag = languageTag.trimmed();
    const qsizetype dash = tag.indexOf('-');
    const QByteArrayView primary = dash < 0 ? tag : tag.first(dash);
    const auto is = [&](const char* name) {
        return primary.compare(name, Qt::CaseInsensitive) == 0;
    };
    if (is("tr") || is("az"))
        return CaseLanguage::Turkic;
    if (is("lt"))
        return CaseLanguage::Lithuanian;
    if (is("el"))
        return CaseLanguage::Greek;
    return CaseLanguage::Other;
}

CaseLanguage documentLanguage(const GumboNode* root)
{
    if (const GumboAttribute* lang = gumbo_get_attribute(&root->v.element.attributes, "lang"))
        return caseLanguageOf(QByteArrayView(lang->value));
    const GumboVector& children = root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* head = static_cast<const GumboNode*>(children.data[i]);
        if (head->type != GUMBO_NODE_ELEMENT || head->v.element.tag != GUMBO_TAG_HEAD)
            continue;
        for (unsigned j = 0; j < head->v.element.children.length; ++j) {
            const auto* meta = static_cast<const GumboNode*>(head->v.element.children.data[j]);
            if (meta->type != GUMBO_NODE_ELEMENT || meta->v.element.tag != GUMBO_TAG_META)
                continue;
            const GumboAttribute* pragma = gumbo_get_attribute(&meta->v.element.attributes, "http-equiv");
            const GumboAttribute* content = gumbo_get_attribute(&meta->v.element.attributes, "content");
            // A list of languages names none.
            if (pragma && content &&
                QByteArrayView(pragma->value).compare("content-language", Qt::CaseInsensitive) == 0 &&
                !QByteArrayView(content->value).contains(','))
                return caseLanguageOf(QByteArrayView(content->value));
        }
    }
    return CaseLanguage::Other;
}

TablePart tablePartOf(const GumboNode* node, const DeclaredStyle& style)
{
    const std::optional<css::Display> display = style.get<CssProperty::Display>().own();
    if (display && display != css::Display::OwnBox)
        return tablePartOf(*display);
    return node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML ? defaultTablePart(node->v.element.tag)
                                                                 : TablePart::None;
}

bool isRendered(const GumboNode* node, const DeclaredStyle& style)
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
    const auto display = style.get<CssProperty::Display>();
    // Replaced content without a box of its own has nothing to show.
    return !(display == css::Display::None) &&
           !(display == css::Display::Contents && element.tag_namespace == GUMBO_NAMESPACE_HTML &&
             hasTrait(element.tag, kAtomic));
}

Box boxOf(const GumboNode* node, const DeclaredStyle& style, const Box& parent)
{
    Box box;
    box.whiteSpace = parent.whiteSpace;
    box.textShown = parent.textShown;
    box.inSvg = parent.inSvg;
    box.visible = parent.visible;
    box.transform = parent.transform;
    box.language = parent.language;
    if (const GumboAttribute* lang = gumbo_get_attribute(&node->v.element.attributes, "lang"))
        box.language = caseLanguageOf(QByteArrayView(lang->value));
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
        // Browsers' own sheet gives controls "text-transform: none", so the
        // page's transform does not reach their labels and options.
        if (tag == GUMBO_TAG_BUTTON || tag == GUMBO_TAG_SELECT || tag == GUMBO_TAG_TEXTAREA ||
            tag == GUMBO_TAG_INPUT)
            box.transform = TextTransform::None;
    }
    const bool html = node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
    if (html)
        box.tablePart = defaultTablePart(tag);
    applyStyle(style, parent, box);
    // A select's options are shown as written, whatever transform the page
    // gives them or lets them inherit.
    if (html && (tag == GUMBO_TAG_SELECT || tag == GUMBO_TAG_OPTION || tag == GUMBO_TAG_OPTGROUP))
        box.transform = TextTransform::None;
    return box;
}

} // namespace parlowen
