#include "css/declaration.h"

namespace parlowen {

namespace {

using Type = CssToken::Type;

uint8_t globalKeyword(const QByteArray& word, bool inherited)
{
    if (word == "inherit")
        return css::kInherit;
    if (word == "unset")
        return inherited ? css::kInherit : 0;
    if (word == "revert" || word == "revert-layer")
        return css::kDefault;
    return 0;
}

uint8_t displayValue(const std::vector<QByteArray>& words)
{
    if (words.size() == 1) {
        const QByteArray& w = words[0];
        if (w == "none")
            return css::kNone;
        if (w == "block" || w == "list-item" || w == "flow-root")
            return css::kBlock;
        if (w == "table-caption")
            return css::kTableCaption;
        if (w == "flex" || w == "grid")
            return css::kFlex;
        if (w == "inline-flex" || w == "inline-grid")
            return css::kInlineFlex;
        if (w == "table" || w == "inline-table")
            return w == "table" ? css::kTable : css::kInlineTable;
        if (w == "inline-block")
            return css::kInlineBlock;
        if (w == "table-row-group" || w == "table-header-group" || w == "table-footer-group")
            return css::kTableRowGroup;
        if (w == "table-row" || w == "table-cell")
            return w == "table-row" ? css::kTableRow : css::kTableCell;
        if (w == "inline" || w == "initial" || w == "unset" || w == "ruby")
            return css::kInline;
        if (w == "contents")
            return css::kContents;
        if (w == "inherit")
            return css::kInherit;
        // Columns keep the element's own box.
        if (w == "table-column" || w == "table-column-group" || w == "ruby-text" || w == "ruby-base" ||
            w == "revert" || w == "revert-layer")
            return css::kDefault;
        return 0;
    }
    if (words.size() != 2)
        return 0;
    const QByteArray& outer = words[0] == "block" || words[0] == "inline" ? words[0] : words[1];
    const QByteArray& inner = &outer == &words[0] ? words[1] : words[0];
    if ((outer != "block" && outer != "inline") ||
        (inner != "flow" && inner != "flow-root" && inner != "flex" && inner != "grid" && inner != "table"))
        return 0;
    const bool block = outer == "block";
    if (inner == "flex" || inner == "grid")
        return block ? css::kFlex : css::kInlineFlex;
    if (inner == "table")
        return block ? css::kTable : css::kInlineTable;
    if (block)
        return css::kBlock;
    return inner == "flow" ? css::kInline : css::kInlineBlock;
}

// The properties that decide what kind of box an element has.
std::optional<Declaration> layoutDeclaration(const QByteArray& property, const std::vector<QByteArray>& words,
                                             bool important)
{
    uint8_t v = 0;
    CssProperty p = CssProperty::Display;
    if (property == "display") {
        v = displayValue(words);
    } else if (words.size() == 1 && property == "float") {
        const QByteArray& w = words[0];
        p = CssProperty::Float;
        v = w == "none" || w == "initial" || w == "unset" ? css::kNotFloated
            : w == "left" || w == "right" || w == "inline-start" || w == "inline-end"
                ? css::kFloated
                : globalKeyword(w, false);
    } else if (words.size() == 1) {
        const QByteArray& w = words[0];
        p = CssProperty::Position;
        v = w == "static" || w == "relative" || w == "sticky" || w == "initial" || w == "unset" ? css::kInFlow
            : w == "absolute" || w == "fixed" ? css::kOutOfFlow
                                              : globalKeyword(w, false);
    }
    return v ? std::optional(Declaration{p, v, important}) : std::nullopt;
}

} // namespace

std::optional<Declaration> interpret(const QByteArray& name, const std::vector<CssToken>& value)
{
    std::vector<QByteArray> words;
    bool important = false;
    size_t end = value.size();
    if (end >= 2 && value[end - 1].isIdent("important") && value[end - 2].isDelim('!')) {
        important = true;
        end -= 2;
    }
    for (size_t i = 0; i < end; ++i) {
        if (!value[i].is(Type::Ident))
            return std::nullopt;
        words.push_back(value[i].text.toLower());
    }
    if (words.empty())
        return std::nullopt;
    const QByteArray property = name.toLower();
    if (property == "display" || property == "float" || property == "position")
        return layoutDeclaration(property, words, important);
    if (words.size() != 1)
        return std::nullopt;
    const QByteArray& w = words[0];
    uint8_t v = 0;
    CssProperty p = CssProperty::Count;
    if (property == "visibility") {
        p = CssProperty::Visibility;
        v = w == "visible" || w == "initial"   ? css::kVisible
            : w == "hidden" || w == "collapse" ? css::kHidden
                                               : globalKeyword(w, true);
    } else if (property == "content-visibility") {
        p = CssProperty::ContentVisibility;
        v = w == "visible" || w == "auto" || w == "initial" || w == "unset" || w == "inherit" ? css::kVisible
            : w == "hidden"                                                                   ? css::kHidden
                            : globalKeyword(w, false);
    } else if (property == "white-space" || property == "white-space-collapse") {
        p = CssProperty::WhiteSpace;
        if (property == "white-space")
            v = w == "normal" || w == "nowrap" || w == "initial"       ? css::kCollapse
                : w == "pre" || w == "pre-wrap" || w == "break-spaces" ? css::kPreserve
                : w == "pre-line"                                      ? css::kPreserveBreaks
                                                                       : globalKeyword(w, true);
        else
            v = w == "collapse" || w == "initial"        ? css::kCollapse
                : w == "preserve" || w == "break-spaces" ? css::kPreserve
                : w == "preserve-breaks"                 ? css::kPreserveBreaks
                                                         : globalKeyword(w, true);
    } else if (property == "text-transform") {
        p = CssProperty::TextTransform;
        v = w == "none" || w == "initial" ? css::kNoTransform
            : w == "uppercase"            ? css::kUppercase
            : w == "lowercase"            ? css::kLowercase
            : w == "capitalize"           ? css::kCapitalize
                                          : globalKeyword(w, true);
    }
    if (!v)
        return std::nullopt;
    return Declaration{p, v, important};
}

} // namespace parlowen
