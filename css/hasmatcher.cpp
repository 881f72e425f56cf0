// :has(): whether some element around the one tried matches a relative
// selector. Its answers are kept by element, and what one element's search
// found spares its descendants' and later siblings' theirs, so that a page
// costs about its size per :has(), not its square.

#include "css/elementtree.h"
#include "css/selectormatcher.h"

#include <utility>
#include <vector>

namespace parlowen {

namespace {

using Combinator = CompoundSelector::Combinator;

// Whether some combinator after the first goes down the tree.
bool goesDown(const Selector& relative)
{
    for (size_t i = 1; i < relative.compounds.size(); ++i) {
        const Combinator c = relative.compounds[i].combinator;
        if (c == Combinator::Descendant || c == Combinator::Child)
            return true;
    }
    return false;
}

} // namespace

bool SelectorMatcher::hasMatches(const SimpleSelector& has, const GumboNode* anchor)
{
    const GumboNode* savedAnchor = m_anchor;
    const GumboNode* savedScopeTop = m_scopeTop;
    bool found = false;
    for (auto it = has.arguments.begin(); it != has.arguments.end() && !found && !stopped(); ++it)
        found = relativeMatches(*it, anchor);
    m_anchor = savedAnchor;
    m_scopeTop = savedScopeTop;
    return found && !stopped();
}

bool SelectorMatcher::relativeMatches(const Selector& relative, const GumboNode* anchor)
{
    m_anchor = anchor;
    const auto last = uint32_t(relative.compounds.size() - 1);
    switch (relative.compounds.front().combinator) {
    case Combinator::Child:
        m_scopeTop = anchor;
        if (goesDown(relative))
            return anyDescendantMatches(relative, anchor, false);
        for (unsigned i = 0; i < anchor->v.element.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(anchor->v.element.children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT && matchFrom(relative, last, child) == Result::Matches)
                return true;
        }
        return false;
    case Combinator::NextSibling:
    case Combinator::LaterSibling:
        m_scopeTop = anchor->parent;
        return anyLaterSiblingMatches(relative, anchor, goesDown(relative));
    case Combinator::Descendant:
    case Combinator::None:
        break;
    }
    m_scopeTop = anchor;
    return anyDescendantMatches(relative, anchor, true);
}

// Depth first through the anchor's subtree. A subtree searched in vain
// holds no match for any element in it either; and where the selector is
// one compound, every element above the match has one.
bool SelectorMatcher::anyDescendantMatches(const Selector& relative, const GumboNode* anchor, bool remember)
{
    if (remember) {
        const auto known = m_hasResults.find({&relative, anchor});
        if (known != m_hasResults.end())
            return known->second;
    }
    const auto last = uint32_t(relative.compounds.size() - 1);
    std::vector<std::pair<const GumboNode*, unsigned>> path = {{anchor, 0u}};
    bool found = false;
    while (!path.empty() && !found && !stopped()) {
        const GumboNode* node = path.back().first;
        const unsigned next = path.back().second++;
        const GumboVector& children = node->v.element.children;
        if (next == children.length) {
            if (remember)
                m_hasResults[{&relative, node}] = false;
            path.pop_back();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[next]);
        if (child->type != GUMBO_NODE_ELEMENT)
            continue;
        const auto known = remember ? m_hasResults.find({&relative, child}) : m_hasResults.end();
        found = matchFrom(relative, last, child) == Result::Matches ||
                (known != m_hasResults.end() && known->second);
        if (!found && known == m_hasResults.end())
            path.emplace_back(child, 0u);
    }
    if (remember && found && relative.compounds.size() == 1) {
        for (const auto& [above, next] : path)
            m_hasResults[{&relative, above}] = true;
    }
    if (remember && !stopped())
        m_hasResults[{&relative, anchor}] = found;
    return found;
}

// The later siblings, and their subtrees where the selector goes down. One
// compound after "~": a sibling before the match has it too, and one after
// a vain search has none.
bool SelectorMatcher::anyLaterSiblingMatches(const Selector& relative, const GumboNode* anchor,
                                             bool withSubtrees)
{
    const bool remember = relative.compounds.front().combinator == Combinator::LaterSibling && !withSubtrees;
    if (remember) {
        const auto known = m_hasResults.find({&relative, anchor});
        if (known != m_hasResults.end())
            return known->second;
    }
    const auto last = uint32_t(relative.compounds.size() - 1);
    std::vector<const GumboNode*> passed = {anchor};
    bool found = false;
    for (const GumboNode* sibling = elementSibling(anchor, 1); sibling && !found && !stopped();
         sibling = elementSibling(sibling, 1)) {
        found = matchFrom(relative, last, sibling) == Result::Matches ||
                (withSubtrees && anyDescendantMatches(relative, sibling, false));
        const auto known = remember && !found ? m_hasResults.find({&relative, sibling}) : m_hasResults.end();
        if (known != m_hasResults.end())
            found = known->second;
        if (!found && known == m_hasResults.end())
            passed.push_back(sibling);
        if (known != m_hasResults.end())
            break;
    }
    if (remember && !stopped() && (!found || relative.compounds.size() == 1)) {
        for (const GumboNode* element : passed)
            m_hasResults[{&relative, element}] = found;
    }
    return found;
}

} // namespace parlowen
