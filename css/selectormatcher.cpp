#include "css/selectormatcher.h"

#include "common/asciitext.h"
#include "css/elementtree.h"

#include <QByteArrayView>
#include <QHash>

#include <unordered_map>
#include <utility>
#include <vector>

namespace parlowen {

namespace {

bool equalBytes(QByteArrayView a, QByteArrayView b, bool ignoreCase)
{
    return ignoreCase ? a.compare(b, Qt::CaseInsensitive) == 0 : a == b;
}

} // namespace

QByteArray tagNameOf(const GumboNode* element)
{
    if (element->v.element.tag != GUMBO_TAG_UNKNOWN)
        return QByteArray(gumbo_normalized_tagname(element->v.element.tag));
    const GumboStringPiece& tag = element->v.element.original_tag;
    if (tag.length < 2 || tag.data[0] != '<')
        return {};
    size_t end = 1;
    while (end < tag.length && !isAsciiWhitespace(tag.data[end]) && tag.data[end] != '/' &&
           tag.data[end] != '>')
        ++end;
    return QByteArray(tag.data + 1, qsizetype(end - 1)).toLower();
}

// Positions among the siblings, counted once for all children of a parent,
// so that a long list costs its length, not its square.
std::pair<uint32_t, uint32_t> SelectorMatcher::positionOf(const GumboNode* element)
{
    auto found = m_positions.find(element);
    if (found != m_positions.end())
        return found->second;
    const GumboVector& siblings = siblingsOf(element);
    uint32_t count = 0;
    for (unsigned i = 0; i < siblings.length; ++i)
        count += static_cast<const GumboNode*>(siblings.data[i])->type == GUMBO_NODE_ELEMENT ? 1 : 0;
    uint32_t index = 0;
    for (unsigned i = 0; i < siblings.length; ++i) {
        const auto* node = static_cast<const GumboNode*>(siblings.data[i]);
        if (node->type == GUMBO_NODE_ELEMENT)
            m_positions.emplace(node, std::pair(index++, count));
    }
    m_work.count(siblings.length);
    return m_positions.at(element);
}

// Among the siblings of the element's own type, counted as positionOf().
std::pair<uint32_t, uint32_t> SelectorMatcher::typePositionOf(const GumboNode* element)
{
    auto found = m_typePositions.find(element);
    if (found != m_typePositions.end())
        return found->second;
    const GumboVector& siblings = siblingsOf(element);
    const auto typeOf = [](const GumboNode* node) {
        return char('0' + node->v.element.tag_namespace) + tagNameOf(node);
    };
    QHash<QByteArray, uint32_t> counts;
    std::vector<std::pair<const GumboNode*, QByteArray>> elements;
    for (unsigned i = 0; i < siblings.length; ++i) {
        const auto* node = static_cast<const GumboNode*>(siblings.data[i]);
        if (node->type != GUMBO_NODE_ELEMENT)
            continue;
        elements.emplace_back(node, typeOf(node));
        ++counts[elements.back().second];
    }
    QHash<QByteArray, uint32_t> indexes;
    for (const auto& [node, type] : elements)
        m_typePositions.emplace(node, std::pair(indexes[type]++, counts[type]));
    m_work.count(2 * siblings.length);
    return m_typePositions.at(element);
}

bool SelectorMatcher::matchesAny(const std::vector<Selector>& selectors, const GumboNode* element)
{
    const GumboNode* anchor = std::exchange(m_anchor, nullptr);
    const GumboNode* scopeTop = std::exchange(m_scopeTop, nullptr);
    bool found = false;
    for (auto it = selectors.begin(); it != selectors.end() && !found; ++it)
        found = matchFrom(*it, uint32_t(it->compounds.size() - 1), element) == Result::Matches;
    m_anchor = anchor;
    m_scopeTop = scopeTop;
    return found;
}

bool SelectorMatcher::matches(const Selector& selector, const GumboNode* element)
{
    return matchFrom(selector, uint32_t(selector.compounds.size() - 1), element) == Result::Matches;
}

SelectorMatcher::Result SelectorMatcher::relationToAnchor(CompoundSelector::Combinator relation,
                                                          const GumboNode* element) const
{
    bool related = true; // a descendant: only those are tried
    if (relation == CompoundSelector::Combinator::Child)
        related = element->parent == m_anchor;
    else if (relation == CompoundSelector::Combinator::NextSibling)
        related = elementSibling(element, -1) == m_anchor;
    else if (relation == CompoundSelector::Combinator::LaterSibling)
        related = element->parent == m_anchor->parent &&
                  element->index_within_parent > m_anchor->index_within_parent;
    return related ? Result::Matches : Result::FailsHere;
}

// Right to left, giving up on whole branches as browsers do, so that a
// chain of descendant selectors costs the depth of the tree, not a power
// of it. Inside :has(), nothing above m_scopeTop is looked at.
SelectorMatcher::Result SelectorMatcher::matchFrom(const Selector& selector, uint32_t index,
                                                   const GumboNode* element)
{
    const CompoundSelector& compound = selector.compounds[index];
    if (!compoundMatches(compound, element))
        return stopped() ? Result::FailsCompletely : Result::FailsHere;
    if (index == 0)
        return compound.combinator == CompoundSelector::Combinator::None
                   ? Result::Matches
                   : relationToAnchor(compound.combinator, element);
    switch (compound.combinator) {
    case CompoundSelector::Combinator::Descendant:
        for (const GumboNode* up = parentElement(element); up && up != m_scopeTop; up = parentElement(up)) {
            const Result r = matchFrom(selector, index - 1, up);
            if (r == Result::Matches || r == Result::FailsCompletely)
                return r;
        }
        return Result::FailsCompletely;
    case CompoundSelector::Combinator::Child: {
        const GumboNode* up = parentElement(element);
        if (!up || up == m_scopeTop)
            return Result::FailsCompletely;
        const Result r = matchFrom(selector, index - 1, up);
        return r == Result::Matches || r == Result::FailsCompletely ? r : Result::FailsAllSiblings;
    }
    case CompoundSelector::Combinator::NextSibling: {
        const GumboNode* before = elementSibling(element, -1);
        return before ? matchFrom(selector, index - 1, before) : Result::FailsAllSiblings;
    }
    case CompoundSelector::Combinator::LaterSibling:
        for (const GumboNode* before = elementSibling(element, -1); before;
             before = elementSibling(before, -1)) {
            const Result r = matchFrom(selector, index - 1, before);
            if (r != Result::FailsHere)
                return r;
        }
        return Result::FailsAllSiblings;
    case CompoundSelector::Combinator::None:
        break;
    }
    return Result::Matches;
}

bool SelectorMatcher::countStep()
{
    return m_work.spend();
}

bool SelectorMatcher::compoundMatches(const CompoundSelector& compound, const GumboNode* element)
{
    if (!countStep())
        return false;
    if (compound.tag != GUMBO_TAG_UNKNOWN ? element->v.element.tag != compound.tag
                                          : !compound.type.isEmpty() && tagNameOf(element) != compound.type)
        return false;
    for (const SimpleSelector& simple : compound.simple) {
        if (!simpleMatches(simple, element))
            return false;
    }
    return true;
}

// position = a*n + b for some n >= 0, the position counted among the
// siblings, those of the element's type, or those that match S.
bool SelectorMatcher::positionMatches(const SimpleSelector& simple, const GumboNode* element)
{
    using Kind = SimpleSelector::Kind;
    if (!element->parent)
        return false;
    long position = 0;
    const bool fromEnd = simple.kind == Kind::NthLastChild || simple.kind == Kind::NthLastOfType;
    if (simple.kind == Kind::NthOfType || simple.kind == Kind::NthLastOfType) {
        const auto [index, count] = typePositionOf(element);
        position = fromEnd ? long(count - index) : long(index) + 1;
    } else if (simple.arguments.empty()) {
        const auto [index, count] = positionOf(element);
        position = fromEnd ? long(count - index) : long(index) + 1;
    } else {
        if (!matchesAny(simple.arguments, element))
            return false;
        position = 1;
        for (const GumboNode* other = elementSibling(element, fromEnd ? 1 : -1); other && !stopped();
             other = elementSibling(other, fromEnd ? 1 : -1))
            position += matchesAny(simple.arguments, other) ? 1 : 0;
    }
    const long a = simple.a;
    const long diff = position - simple.b;
    if (a == 0)
        return diff == 0;
    return diff % a == 0 && diff / a >= 0;
}

bool SelectorMatcher::simpleMatches(const SimpleSelector& simple, const GumboNode* element)
{
    m_work.count();
    using Kind = SimpleSelector::Kind;
    switch (simple.kind) {
    case Kind::Id:
        return equalBytes(attributeValue(element, "id"), simple.name, m_quirks) &&
               gumbo_get_attribute(&element->v.element.attributes, "id");
    case Kind::Class: {
        const QByteArrayView classes = attributeValue(element, "class");
        for (qsizetype i = 0; i < classes.size();) {
            while (i < classes.size() && isAsciiWhitespace(classes[i]))
                ++i;
            qsizetype end = i;
            while (end < classes.size() && !isAsciiWhitespace(classes[end]))
                ++end;
            m_work.count(1);
            if (end > i && equalBytes(classes.sliced(i, end - i), simple.name, m_quirks))
                return true;
            i = end;
        }
        return false;
    }
    case Kind::Attribute: {
        const GumboAttribute* attribute =
            gumbo_get_attribute(&element->v.element.attributes, simple.name.constData());
        if (!attribute)
            return false;
        const QByteArrayView value(attribute->value);
        const QByteArrayView wanted(simple.value);
        const bool ic = simple.ignoreCase;
        m_work.count(std::uint64_t(value.size() / 64));
        switch (simple.match) {
        case SimpleSelector::Match::Exists:
            return true;
        case SimpleSelector::Match::Equals:
            return equalBytes(value, wanted, ic);
        case SimpleSelector::Match::Includes:
            for (qsizetype i = 0; i < value.size();) {
                while (i < value.size() && isAsciiWhitespace(value[i]))
                    ++i;
                qsizetype end = i;
                while (end < value.size() && !isAsciiWhitespace(value[end]))
                    ++end;
                if (end > i && equalBytes(value.sliced(i, end - i), wanted, ic))
                    return true;
                i = end;
            }
            return false;
        case SimpleSelector::Match::DashMatch:
            return equalBytes(value, wanted, ic) ||
                   (value.size() > wanted.size() && value[wanted.size()] == '-' &&
                    equalBytes(value.first(wanted.size()), wanted, ic));
        case SimpleSelector::Match::Prefix:
            return !wanted.isEmpty() && value.size() >= wanted.size() &&
                   equalBytes(value.first(wanted.size()), wanted, ic);
        case SimpleSelector::Match::Suffix:
            return !wanted.isEmpty() && value.size() >= wanted.size() &&
                   equalBytes(value.last(wanted.size()), wanted, ic);
        case SimpleSelector::Match::Substring:
            m_work.count(std::uint64_t(value.size()));
            return !wanted.isEmpty() && (ic ? QByteArray(value.toByteArray())
                                                  .toLower()
                                                  .contains(QByteArray(wanted.toByteArray()).toLower())
                                            : value.indexOf(wanted) >= 0);
        }
        return false;
    }
    // The root element counts too, as the only element child of its
    // document: browsers match ":first-child body" through it.
    case Kind::FirstChild:
        return element->parent && !elementSibling(element, -1) &&
               (simple.b == 0 || !elementSibling(element, 1));
    case Kind::LastChild:
        return element->parent && !elementSibling(element, 1);
    case Kind::NthChild:
    case Kind::NthLastChild:
    case Kind::NthOfType:
    case Kind::NthLastOfType:
        return positionMatches(simple, element);
    case Kind::OnlyOfType:
        return element->parent && typePositionOf(element).second == 1;
    case Kind::Root:
        return element->parent && element->parent->type == GUMBO_NODE_DOCUMENT;
    case Kind::Empty: {
        const GumboVector& children = element->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const GumboNodeType t = static_cast<const GumboNode*>(children.data[i])->type;
            if (t != GUMBO_NODE_COMMENT)
                return false;
        }
        return true;
    }
    case Kind::Link:
        return (element->v.element.tag == GUMBO_TAG_A || element->v.element.tag == GUMBO_TAG_AREA) &&
               gumbo_get_attribute(&element->v.element.attributes, "href");
    case Kind::Defined:
        return ElementStates::defined(element);
    case Kind::Disabled:
        return m_states.disabled(element).value_or(false);
    case Kind::Enabled:
        return !m_states.disabled(element).value_or(true);
    case Kind::Checked:
        return m_states.checked(element);
    case Kind::PlaceholderShown:
        return ElementStates::placeholderShown(element);
    case Kind::Lang:
        return m_states.langMatches(element, simple.value);
    case Kind::Never:
        return false;
    case Kind::Not:
        return !matchesAny(simple.arguments, element);
    case Kind::Is:
        return matchesAny(simple.arguments, element);
    case Kind::Has:
        return hasMatches(simple, element);
    case Kind::Nest:
        return matchesAny(*simple.nest, element);
    }
    return false;
}

} // namespace parlowen
