#pragma once
// Which elements of gumbo's tree a selector matches.

#include "css/elementstates.h"
#include "css/selector.h"

#include <gumbo.h>

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>

namespace parlowen {

// The element's lower-case tag name.
QByteArray tagNameOf(const GumboNode* element);

class SelectorMatcher {
public:
    // Class and id selectors ignore case in a page in quirks mode. Each
    // step of matching is spent from work; once it says stop, nothing
    // matches any more and stopped() is true.
    SelectorMatcher(bool quirks, WorkBudget& work) : m_quirks(quirks), m_work(work), m_states(work) {}
    bool matches(const Selector& selector, const GumboNode* element);
    bool stopped() const { return !m_work.mayGoOn(); }

private:
    enum class Result { Matches, FailsHere, FailsAllSiblings, FailsCompletely };
    Result matchFrom(const Selector& selector, uint32_t index, const GumboNode* element);
    // How the first compound of a relative selector stands to the element :has() is tried on.
    Result relationToAnchor(CompoundSelector::Combinator relation, const GumboNode* element) const;
    bool compoundMatches(const CompoundSelector& compound, const GumboNode* element);
    bool simpleMatches(const SimpleSelector& simple, const GumboNode* element);
    bool positionMatches(const SimpleSelector& simple, const GumboNode* element);
    // The element's index among its parent's element children, and their
    // count; or among those of its own type.
    std::pair<uint32_t, uint32_t> positionOf(const GumboNode* element);
    std::pair<uint32_t, uint32_t> typePositionOf(const GumboNode* element);
    // Whether any of the selectors matches the element, each on its own
    // rather than relative to a :has() being tried.
    bool matchesAny(const std::vector<Selector>& selectors, const GumboNode* element);
    bool countStep();

    // hasmatcher.cpp
    bool hasMatches(const SimpleSelector& has, const GumboNode* anchor);
    bool relativeMatches(const Selector& relative, const GumboNode* anchor);
    bool anyDescendantMatches(const Selector& relative, const GumboNode* anchor, bool remember);
    bool anyLaterSiblingMatches(const Selector& relative, const GumboNode* anchor, bool withSubtrees);

    bool m_quirks;
    WorkBudget& m_work;
    std::unordered_map<const GumboNode*, std::pair<uint32_t, uint32_t>> m_positions;
    std::unordered_map<const GumboNode*, std::pair<uint32_t, uint32_t>> m_typePositions;
    ElementStates m_states;
    // While a relative selector is tried: the element :has() is tried on,
    // and the element above which nothing it matches may lie.
    const GumboNode* m_anchor = nullptr;
    const GumboNode* m_scopeTop = nullptr;
    // What :has() found for an element, by its argument: a page's every
    // element tried against its subtree is the square of its size.
    struct HasKey {
        const Selector* relative;
        const GumboNode* element;
        bool operator==(const HasKey&) const = default;
    };
    struct HasKeyHash {
        size_t operator()(const HasKey& k) const
        {
            return std::hash<const void*>()(k.relative) * 31 + std::hash<const void*>()(k.element);
        }
    };
    std::unordered_map<HasKey, bool, HasKeyHash> m_hasResults;
};

} // namespace parlowen
