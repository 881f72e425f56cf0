#pragma once
// Which elements of gumbo's tree a selector matches.

#include "css/selector.h"

#include <gumbo.h>

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace parlowen {

// The element's lower-case tag name.
QByteArray tagNameOf(const GumboNode* element);

class SelectorMatcher {
public:
    // Class and id selectors ignore case in a page in quirks mode. Each
    // step of matching counts into *work; past budget, or once cancelled
    // is set, nothing matches any more and stopped() is true.
    SelectorMatcher(bool quirks, std::uint64_t* work, std::uint64_t budget,
                    const std::atomic<bool>* cancelled)
        : m_quirks(quirks), m_work(work), m_budget(budget), m_cancelled(cancelled)
    {}
    bool matches(const Selector& selector, const GumboNode* element);
    bool stopped() const { return m_stopped; }

private:
    enum class Result { Matches, FailsHere, FailsAllSiblings, FailsCompletely };
    Result matchFrom(const Selector& selector, uint32_t index, const GumboNode* element);
    bool compoundMatches(const Selector& selector, const CompoundSelector& compound,
                         const GumboNode* element);
    bool simpleMatches(const Selector& selector, const SimpleSelector& simple, const GumboNode* element);
    // The element's index among its parent's element children, and their count.
    std::pair<uint32_t, uint32_t> positionOf(const GumboNode* element);
    bool matchesAny(const Selector& selector, const std::vector<uint32_t>& alternatives,
                    const GumboNode* element);

    bool m_quirks;
    std::uint64_t* m_work;
    std::uint64_t m_budget;
    const std::atomic<bool>* m_cancelled;
    std::uint64_t m_nextCheck = 0;
    bool m_stopped = false;
    std::unordered_map<const GumboNode*, std::pair<uint32_t, uint32_t>> m_positions;
};

} // namespace parlowen
