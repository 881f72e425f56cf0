#include "css/selectormatcher.h"

#include "common/asciitext.h"

#include <QByteArrayView>

namespace parlowen {

namespace {

bool equalBytes(QByteArrayView a, QByteArrayView b, bool ignoreCase)
{
    return ignoreCase ? a.compare(b, Qt::CaseInsensitive) == 0 : a == b;
}

const GumboVector& siblingsOf(const GumboNode* element)
{
    const GumboNode* parent = element->parent;
    return parent->type == GUMBO_NODE_DOCUMENT ? parent->v.document.children : parent->v.element.children;
}

const GumboNode* elementSibling(const GumboNode* element, int step)
{
    if (!element->parent)
        return nullptr;
    const GumboVector& siblings = siblingsOf(element);
    for (long i = long(element->index_within_parent) + step; i >= 0 && i < long(siblings.length); i += step) {
        const auto* node = static_cast<const GumboNode*>(siblings.data[i]);
        if (node->type == GUMBO_NODE_ELEMENT)
            return node;
    }
    return nullptr;
}

const GumboNode* parentElement(const GumboNode* element)
{
    const GumboNode* parent = element->parent;
    return parent && parent->type == GUMBO_NODE_ELEMENT ? parent : nullptr;
}

QByteArrayView attributeValue(const GumboNode* element, const char* name)
{
    const GumboAttribute* attribute = gumbo_get_attribute(&element->v.element.attributes, name);
    return attribute ? QByteArrayView(attribute->value) : QByteArrayView();
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
    *m_work += siblings.length;
    return m_positions.at(element);
}

bool SelectorMatcher::matchesAny(const Selector& selector, const std::vector<uint32_t>& alternatives,
                                 const GumboNode* element)
{
    for (const uint32_t alternative : alternatives) {
        if (compoundMatches(selector, selector.compounds[selector.subjectCount + alternative], element))
            return true;
    }
    return false;
}

bool SelectorMatcher::matches(const Selector& selector, const GumboNode* element)
{
    return matchFrom(selector, selector.subjectCount - 1, element) == Result::Matches;
}

// Right to left, giving up on whole branches as browsers do, so that a
// chain of descendant selectors costs the depth of the tree, not a power
// of it.
SelectorMatcher::Result SelectorMatcher::matchFrom(const Selector& selector, uint32_t index,
                                                   const GumboNode* element)
{
    const CompoundSelector& compound = selector.compounds[index];
    if (!compoundMatches(selector, compound, element))
        return m_stopped ? Result::FailsCompletely : Result::FailsHere;
    if (index == 0)
        return Result::Matches;
    switch (compound.combinator) {
    case CompoundSelector::Combinator::Descendant:
        for (const GumboNode* up = parentElement(element); up; up = parentElement(up)) {
            const Result r = matchFrom(selector, index - 1, up);
            if (r == Result::Matches || r == Result::FailsCompletely)
                return r;
        }
        return Result::FailsCompletely;
    case CompoundSelector::Combinator::Child: {
        const GumboNode* up = parentElement(element);
        if (!up)
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

bool SelectorMatcher::compoundMatches(const Selector& selector, const CompoundSelector& compound,
                                      const GumboNode* element)
{
    if (++*m_work >= m_nextCheck) {
        m_nextCheck = *m_work + 4096;
        m_stopped =
            m_stopped || *m_work > m_budget || (m_cancelled && m_cancelled->load(std::memory_order_relaxed));
    }
    if (m_stopped)
        return false;
    if (compound.tag != GUMBO_TAG_UNKNOWN ? element->v.element.tag != compound.tag
                                          : !compound.type.isEmpty() && tagNameOf(element) != compound.type)
        return false;
    for (const SimpleSelector& simple : compound.simple) {
        if (!simpleMatches(selector, simple, element))
            return false;
    }
    return true;
}

bool SelectorMatcher::simpleMatches(const Selector& selector, const SimpleSelector& simple,
                                    const GumboNode* element)
{
    ++*m_work;
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
            *m_work += 1;
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
        *m_work += std::uint64_t(value.size() / 64);
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
            *m_work += std::uint64_t(value.size());
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
    case Kind::NthLastChild: {
        if (!element->parent)
            return false;
        long position = 0;
        if (simple.alternatives.empty()) {
            const auto [index, count] = positionOf(element);
            position = simple.kind == Kind::NthChild ? long(index) + 1 : long(count - index);
        } else {
            if (!matchesAny(selector, simple.alternatives, element))
                return false;
            const int step = simple.kind == Kind::NthChild ? -1 : 1;
            position = 1;
            for (const GumboNode* other = elementSibling(element, step); other && !m_stopped;
                 other = elementSibling(other, step))
                position += matchesAny(selector, simple.alternatives, other) ? 1 : 0;
        }
        // position = a*n + b for some n >= 0
        const long a = simple.a;
        const long diff = position - simple.b;
        if (a == 0)
            return diff == 0;
        return diff % a == 0 && diff / a >= 0;
    }
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
    case Kind::Never:
        return false;
    case Kind::Not:
        return !matchesAny(selector, simple.alternatives, element);
    case Kind::Is:
        return matchesAny(selector, simple.alternatives, element);
    case Kind::Nest:
        for (const Selector& outer : *simple.nest) {
            if (matches(outer, element))
                return true;
        }
        return false;
    }
    return false;
}

} // namespace parlowen
