#include "css/declaration.h"

#include "common/asciitext.h"

#include <span>
#include <utility>

namespace parlowen {

namespace {

using Type = CssToken::Type;
using namespace css;

struct Keyword {
    const char* word;
    uint8_t value;
};

template <typename V> constexpr Keyword word(const char* name, V value)
{
    return {name, uint8_t(value)};
}

// A name a property is declared under, with the words it takes there.
struct PropertyName {
    const char* name;
    std::span<const Keyword> words;
};

struct PropertyRow {
    CssProperty property;
    bool inherited;
    uint8_t initial;
    std::span<const PropertyName> names;
    // Values of more than one word, for a property that takes them: the
    // value, or 0.
    uint8_t (*severalWords)(const std::vector<QByteArray>& words) = nullptr;
};

constexpr Keyword kDisplayWords[] = {
    word("none", Display::None),
    word("block", Display::Block),
    word("list-item", Display::Block),
    word("flow-root", Display::Block),
    word("flex", Display::Flex),
    word("grid", Display::Flex),
    word("table", Display::Table),
    word("table-caption", Display::TableCaption),
    word("inline-block", Display::InlineBlock),
    word("inline-flex", Display::InlineFlex),
    word("inline-grid", Display::InlineFlex),
    word("inline-table", Display::InlineTable),
    word("inline", Display::Inline),
    word("ruby", Display::Inline),
    word("contents", Display::Contents),
    word("table-row-group", Display::TableRowGroup),
    word("table-header-group", Display::TableRowGroup),
    word("table-footer-group", Display::TableRowGroup),
    word("table-row", Display::TableRow),
    word("table-cell", Display::TableCell),
    word("table-column-group", Display::OwnBox),
    word("table-column", Display::OwnBox),
    word("ruby-text", Display::OwnBox),
    word("ruby-base", Display::OwnBox),
};
constexpr Keyword kVisibilityWords[] = {word("visible", Visibility::Visible),
                                        word("hidden", Visibility::Hidden),
                                        word("collapse", Visibility::Hidden)};
constexpr Keyword kContentVisibilityWords[] = {word("visible", ContentVisibility::Visible),
                                               word("auto", ContentVisibility::Visible),
                                               word("hidden", ContentVisibility::Hidden)};
constexpr Keyword kWhiteSpaceWords[] = {
    word("normal", WhiteSpace::Collapse),       word("nowrap", WhiteSpace::Collapse),
    word("pre", WhiteSpace::Preserve),          word("pre-wrap", WhiteSpace::Preserve),
    word("break-spaces", WhiteSpace::Preserve), word("pre-line", WhiteSpace::PreserveBreaks)};
constexpr Keyword kWhiteSpaceCollapseWords[] = {
    word("collapse", WhiteSpace::Collapse), word("preserve", WhiteSpace::Preserve),
    word("break-spaces", WhiteSpace::Preserve), word("preserve-breaks", WhiteSpace::PreserveBreaks)};
constexpr Keyword kTextTransformWords[] = {
    word("none", TextTransform::None), word("uppercase", TextTransform::Uppercase),
    word("lowercase", TextTransform::Lowercase), word("capitalize", TextTransform::Capitalize)};
constexpr Keyword kFloatWords[] = {word("none", Float::None), word("left", Float::Floated),
                                   word("right", Float::Floated), word("inline-start", Float::Floated),
                                   word("inline-end", Float::Floated)};
constexpr Keyword kPositionWords[] = {
    word("static", Position::InFlow), word("relative", Position::InFlow), word("sticky", Position::InFlow),
    word("absolute", Position::OutOfFlow), word("fixed", Position::OutOfFlow)};

constexpr PropertyName kDisplayNames[] = {{"display", kDisplayWords}};
constexpr PropertyName kVisibilityNames[] = {{"visibility", kVisibilityWords}};
constexpr PropertyName kContentVisibilityNames[] = {{"content-visibility", kContentVisibilityWords}};
constexpr PropertyName kWhiteSpaceNames[] = {{"white-space", kWhiteSpaceWords},
                                             {"white-space-collapse", kWhiteSpaceCollapseWords}};
constexpr PropertyName kTextTransformNames[] = {{"text-transform", kTextTransformWords}};
constexpr PropertyName kFloatNames[] = {{"float", kFloatWords}};
constexpr PropertyName kPositionNames[] = {{"position", kPositionWords}};

// "block flow", "inline flex" and the like: the outer display and the inner.
uint8_t twoWordDisplay(const std::vector<QByteArray>& words)
{
    if (words.size() != 2)
        return 0;
    const bool outerFirst = words[0] == "block" || words[0] == "inline";
    const QByteArray& outer = outerFirst ? words[0] : words[1];
    const QByteArray& inner = outerFirst ? words[1] : words[0];
    if ((outer != "block" && outer != "inline") ||
        (inner != "flow" && inner != "flow-root" && inner != "flex" && inner != "grid" && inner != "table"))
        return 0;
    const bool block = outer == "block";
    if (inner == "flex" || inner == "grid")
        return uint8_t(block ? Display::Flex : Display::InlineFlex);
    if (inner == "table")
        return uint8_t(block ? Display::Table : Display::InlineTable);
    if (block)
        return uint8_t(Display::Block);
    return uint8_t(inner == "flow" ? Display::Inline : Display::InlineBlock);
}

// One row per property, in CssProperty's order.
const PropertyRow kProperties[] = {
    {CssProperty::Display, false, uint8_t(Display::Inline), kDisplayNames, twoWordDisplay},
    {CssProperty::Visibility, true, uint8_t(Visibility::Visible), kVisibilityNames},
    {CssProperty::ContentVisibility, false, uint8_t(ContentVisibility::Visible), kContentVisibilityNames},
    {CssProperty::WhiteSpace, true, uint8_t(WhiteSpace::Collapse), kWhiteSpaceNames},
    {CssProperty::TextTransform, true, uint8_t(TextTransform::None), kTextTransformNames},
    {CssProperty::Float, false, uint8_t(Float::None), kFloatNames},
    {CssProperty::Position, false, uint8_t(Position::InFlow), kPositionNames},
};
static_assert(std::size(kProperties) == size_t(CssProperty::Count));

// The row of a property name in any case, and the words it takes under it.
std::pair<const PropertyRow*, const PropertyName*> rowNamed(QByteArrayView name)
{
    for (const PropertyRow& row : kProperties) {
        for (const PropertyName& named : row.names) {
            if (equalsIgnoringCase(name, named.name))
                return {&row, &named};
        }
    }
    return {nullptr, nullptr};
}

// initial, inherit, unset, revert and revert-layer, for any property; 0
// for any other word.
uint8_t wideKeyword(const QByteArray& word, const PropertyRow& row)
{
    if (word == "initial")
        return row.initial;
    if (word == "inherit")
        return uint8_t(Wide::Inherit);
    if (word == "unset")
        return unsetValue(row.property);
    if (word == "revert" || word == "revert-layer")
        return uint8_t(Wide::Revert);
    return 0;
}

uint8_t ownValue(const PropertyRow& row, const PropertyName& named, const std::vector<QByteArray>& words)
{
    if (words.size() != 1)
        return row.severalWords ? row.severalWords(words) : 0;
    for (const Keyword& keyword : named.words) {
        if (words[0] == keyword.word)
            return keyword.value;
    }
    return 0;
}

// Whether the value holds var(); nullopt when one of them is not of the
// form var(--name) or var(--name, fallback), which drops the declaration.
// One left open where the value ends is closed there.
std::optional<bool> holdsReferences(const std::vector<CssToken>& value, size_t end)
{
    bool any = false;
    for (size_t i = 0; i < end; ++i) {
        if (!value[i].is(Type::Function) || value[i].text.compare("var", Qt::CaseInsensitive) != 0)
            continue;
        any = true;
        size_t at = i + 1;
        while (at < end && value[at].is(Type::Whitespace))
            ++at;
        if (at >= end || !value[at].is(Type::Ident) || !value[at].text.startsWith("--"))
            return std::nullopt;
        ++at;
        while (at < end && value[at].is(Type::Whitespace))
            ++at;
        if (at < end && !value[at].is(Type::RightParen) && !value[at].is(Type::Comma))
            return std::nullopt;
    }
    return any;
}

} // namespace

uint8_t unsetValue(CssProperty property)
{
    const PropertyRow& row = kProperties[size_t(property)];
    return row.inherited ? uint8_t(Wide::Inherit) : row.initial;
}

void interpret(const QByteArray& name, const std::vector<CssToken>& value, const QByteArray& sheet,
               std::vector<Declaration>& out)
{
    size_t end = value.size();
    bool important = false;
    if (end >= 2 && value[end - 1].isIdent("important") && value[end - 2].isDelim('!')) {
        important = true;
        end -= 2;
    }
    const auto written = [&] {
        return end == 0 ? QByteArray() : sheet.mid(value[0].begin, value[end - 1].end - value[0].begin);
    };
    if (name.startsWith("--")) {
        const QByteArray keyword = end == 1 && value[0].is(Type::Ident) ? value[0].text.toLower() : QByteArray();
        const uint8_t wide = keyword == "initial" ? kCustomInitial
                             : keyword == "inherit" || keyword == "unset" || keyword == "revert" ||
                                     keyword == "revert-layer"
                                 ? kCustomInherits
                                 : 0;
        if (holdsReferences(value, end))
            out.push_back({CssProperty::Custom, wide, important, name, wide ? QByteArray() : written()});
        return;
    }
    // Most declarations are of other properties: they are told apart
    // without a lower-case copy of their names.
    const bool all = equalsIgnoringCase(name, "all");
    const auto [row, named] = rowNamed(name);
    if ((!all && !row) || end == 0)
        return;
    const std::span<const PropertyRow> targets =
        all ? std::span<const PropertyRow>(kProperties) : std::span<const PropertyRow>(row, 1);
    const std::optional<bool> references = holdsReferences(value, end);
    if (!references)
        return;
    if (*references) {
        const QByteArray property = name.toLower();
        for (const PropertyRow& target : targets)
            out.push_back({target.property, uint8_t(Wide::Pending), important, property, written()});
        return;
    }
    std::vector<QByteArray> words;
    for (size_t i = 0; i < end; ++i) {
        if (!value[i].is(Type::Ident))
            return;
        words.push_back(value[i].text.toLower());
    }
    if (words.size() == 1 && wideKeyword(words[0], targets[0])) {
        for (const PropertyRow& target : targets)
            out.push_back({target.property, wideKeyword(words[0], target), important, {}, {}});
        return;
    }
    if (const uint8_t own = all ? 0 : ownValue(*row, *named, words))
        out.push_back({row->property, own, important, {}, {}});
}

} // namespace parlowen
