#include "css/selectorparser.h"

#include <QByteArrayView>

#include <array>
#include <string_view>

namespace parlowen {

namespace {

using Type = CssToken::Type;

// HTML attributes whose values a selector compares without case, as
// browsers do for compatibility.
bool valueIgnoresCase(const QByteArray& name)
{
    static constexpr std::array<std::string_view, 46> names = {
        "accept",     "accept-charset", "align",     "alink",    "axis",     "bgcolor", "charset",
        "checked",    "clear",          "codetype",  "color",    "compact",  "declare", "defer",
        "dir",        "direction",      "disabled",  "enctype",  "face",     "frame",   "hreflang",
        "http-equiv", "lang",           "language",  "link",     "media",    "method",  "multiple",
        "nohref",     "noresize",       "noshade",   "nowrap",   "readonly", "rel",     "rev",
        "rules",      "scope",          "scrolling", "selected", "shape",    "target",  "text",
        "type",       "valign",         "valuetype", "vlink"};
    return std::find(names.begin(), names.end(), std::string_view(name.constData(), size_t(name.size()))) !=
           names.end();
}

} // namespace

namespace {

// Browsers file a rule's selectors by where each starts among the simple
// selectors of the whole list, and pass over those that start past this.
constexpr size_t kMaxListPosition = size_t(1) << 13;

size_t simpleSelectorCount(const Selector& selector)
{
    size_t count = 0;
    for (const CompoundSelector& compound : selector.compounds)
        count += compound.simple.size() + (compound.type.isEmpty() && !compound.simple.empty() ? 0 : 1);
    return count;
}

} // namespace

SelectorList SelectorParser::list()
{
    SelectorList list;
    m_end = m_tokens.size();
    size_t position = 0;
    for (const auto& [begin, end] : splitAtCommas(0, m_tokens.size())) {
        Specificity specificity;
        std::optional<Selector> selector = complex(begin, end, {}, specificity);
        if (!selector)
            return {{}, m_pastLimit};
        const size_t start = position;
        position += simpleSelectorCount(*selector);
        if (start < kMaxListPosition)
            list.selectors.push_back(std::move(*selector));
    }
    return list;
}

std::vector<std::pair<size_t, size_t>> SelectorParser::splitAtCommas(size_t begin, size_t end) const
{
    std::vector<std::pair<size_t, size_t>> parts;
    int nesting = 0;
    size_t from = begin;
    for (size_t i = begin; i < end; ++i) {
        const Type t = m_tokens[i].type;
        if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare)
            ++nesting;
        else if ((t == Type::RightParen || t == Type::RightSquare) && nesting > 0)
            --nesting;
        else if (t == Type::Comma && nesting == 0) {
            parts.emplace_back(from, i);
            from = i + 1;
        }
    }
    parts.emplace_back(from, end);
    return parts;
}

void SelectorParser::skipSpace()
{
    while (m_pos < m_end && m_tokens[m_pos].is(Type::Whitespace))
        ++m_pos;
}

size_t SelectorParser::closingParen(size_t from) const
{
    int nesting = 0;
    for (size_t i = from; i < m_end; ++i) {
        const Type t = m_tokens[i].type;
        if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare)
            ++nesting;
        else if (t == Type::RightParen || t == Type::RightSquare) {
            if (nesting == 0)
                return i;
            --nesting;
        }
    }
    return m_end;
}

namespace {

std::optional<CompoundSelector::Combinator> combinatorAt(const CssToken& t)
{
    if (t.isDelim('>'))
        return CompoundSelector::Combinator::Child;
    if (t.isDelim('+'))
        return CompoundSelector::Combinator::NextSibling;
    if (t.isDelim('~'))
        return CompoundSelector::Combinator::LaterSibling;
    return std::nullopt;
}

} // namespace

// One complex selector, the tokens [begin, end) and nothing else.
std::optional<Selector> SelectorParser::complex(size_t begin, size_t end, SelectorPlace place,
                                                Specificity& total)
{
    const size_t savedPos = m_pos;
    const size_t savedEnd = m_end;
    m_pos = begin;
    m_end = end;
    Selector selector;
    skipSpace();
    using Combinator = CompoundSelector::Combinator;
    Combinator combinator = place.relative ? Combinator::Descendant : Combinator::None;
    if (const std::optional<Combinator> leading = combinatorAt(at(m_pos)); leading && place.relative) {
        combinator = *leading;
        ++m_pos;
        skipSpace();
    }
    bool valid = true;
    for (;;) {
        std::optional<CompoundSelector> compound = this->compound(place, total);
        if (!compound || selector.compounds.size() == kMaxSelectorCompounds) {
            // A compound read well but one too many is the limit's doing.
            m_pastLimit = m_pastLimit || compound.has_value();
            valid = false;
            break;
        }
        compound->combinator = combinator;
        selector.compounds.push_back(std::move(*compound));
        const bool spaced = at(m_pos).is(Type::Whitespace);
        skipSpace();
        if (m_pos >= m_end)
            break;
        if (const std::optional<Combinator> next = combinatorAt(at(m_pos))) {
            combinator = *next;
            ++m_pos;
            skipSpace();
        } else if (spaced) {
            combinator = Combinator::Descendant;
        } else {
            valid = false;
            break;
        }
    }
    m_pos = savedPos;
    m_end = savedEnd;
    if (!valid)
        return std::nullopt;
    selector.specificity = total.packed();
    return selector;
}

std::optional<std::vector<Selector>>
SelectorParser::argumentList(size_t begin, size_t end, SelectorPlace place, bool forgiving, Specificity& most)
{
    std::vector<Selector> selectors;
    for (const auto& [from, to] : splitAtCommas(begin, end)) {
        Specificity specificity;
        std::optional<Selector> selector = complex(from, to, place, specificity);
        // What a limit cuts off is never forgiven: the rule would not be
        // the one the sheet wrote.
        if (!selector && (!forgiving || m_pastLimit))
            return std::nullopt;
        if (!selector)
            continue;
        most = std::max(most, specificity);
        selectors.push_back(std::move(*selector));
    }
    return selectors;
}

std::optional<CompoundSelector> SelectorParser::compound(SelectorPlace place, Specificity& specificity)
{
    if (place.depth > kMaxSelectorNesting) {
        m_pastLimit = true;
        return std::nullopt;
    }
    CompoundSelector compound;
    bool any = false;
    // Any namespace: what a sheet without @namespace means anyway.
    if (at(m_pos).isDelim('*') && at(m_pos + 1).isDelim('|'))
        m_pos += 2;
    if (at(m_pos).is(Type::Ident)) {
        compound.type = at(m_pos++).text.toLower();
        compound.tag = gumbo_tag_enum(compound.type.constData());
        ++specificity.types;
        any = true;
    } else if (at(m_pos).isDelim('*')) {
        ++m_pos;
        any = true;
    }
    if (at(m_pos).isDelim('|'))
        return std::nullopt;
    for (;;) {
        const CssToken& t = at(m_pos);
        SimpleSelector simple;
        if (t.is(Type::Hash)) {
            if (!t.idHash)
                return std::nullopt;
            simple.kind = SimpleSelector::Kind::Id;
            simple.name = t.text;
            ++specificity.ids;
            ++m_pos;
        } else if (t.isDelim('.')) {
            if (!at(m_pos + 1).is(Type::Ident))
                return std::nullopt;
            simple.kind = SimpleSelector::Kind::Class;
            simple.name = at(m_pos + 1).text;
            ++specificity.classes;
            m_pos += 2;
        } else if (t.is(Type::LeftSquare)) {
            if (!attribute(simple))
                return std::nullopt;
            ++specificity.classes;
        } else if (t.is(Type::Colon)) {
            if (!pseudo(simple, place, specificity))
                return std::nullopt;
        } else {
            break;
        }
        compound.simple.push_back(std::move(simple));
        any = true;
    }
    if (!any)
        return std::nullopt;
    return compound;
}

bool SelectorParser::attribute(SimpleSelector& simple)
{
    ++m_pos;
    simple.kind = SimpleSelector::Kind::Attribute;
    skipSpace();
    // A namespace prefix, not the |= operator.
    if (!at(m_pos).is(Type::Ident) || (at(m_pos + 1).isDelim('|') && !at(m_pos + 2).isDelim('=')))
        return false;
    simple.name = at(m_pos++).text.toLower();
    skipSpace();
    if (at(m_pos).is(Type::RightSquare)) {
        ++m_pos;
        return true;
    }
    const CssToken& op = at(m_pos);
    if (op.isDelim('=')) {
        simple.match = SimpleSelector::Match::Equals;
        ++m_pos;
    } else if (op.is(Type::Delim) && at(m_pos + 1).isDelim('=')) {
        switch (op.delim) {
        case '~':
            simple.match = SimpleSelector::Match::Includes;
            break;
        case '|':
            simple.match = SimpleSelector::Match::DashMatch;
            break;
        case '^':
            simple.match = SimpleSelector::Match::Prefix;
            break;
        case '$':
            simple.match = SimpleSelector::Match::Suffix;
            break;
        case '*':
            simple.match = SimpleSelector::Match::Substring;
            break;
        default:
            return false;
        }
        m_pos += 2;
    } else {
        return false;
    }
    skipSpace();
    if (!at(m_pos).is(Type::Ident) && !at(m_pos).is(Type::String))
        return false;
    simple.value = at(m_pos++).text;
    skipSpace();
    if (at(m_pos).isIdent("i") || at(m_pos).isIdent("s")) {
        simple.ignoreCase = at(m_pos).isIdent("i");
        ++m_pos;
        skipSpace();
    } else {
        simple.ignoreCase = valueIgnoresCase(simple.name);
    }
    if (!at(m_pos).is(Type::RightSquare))
        return false;
    ++m_pos;
    return true;
}

SelectorList parseSelectorList(const std::vector<CssToken>& tokens, const QByteArray& text)
{
    return SelectorParser(tokens, text).list();
}

} // namespace parlowen
