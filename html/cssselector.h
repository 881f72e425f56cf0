#pragma once
// Selectors over gumbo's tree: what a rule's prelude says, which elements it
// matches, and how specific it is.

#include "html/csssyntax.h"

#include <gumbo.h>

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace parlowen {

struct SimpleSelector {
    enum class Kind : uint8_t {
        Id,
        Class,
        Attribute,
        FirstChild,
        LastChild,
        NthChild,
        NthLastChild,
        Root,
        Empty,
        Link,
        // A pseudo-class or pseudo-element that no element of a page that
        // nobody looks at, points at or scrolls is ever in.
        Never,
        Not,
        Is,
    };
    enum class Match : uint8_t { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };
    Kind kind = Kind::Id;
    Match match = Match::Exists;
    bool ignoreCase = false;
    // Attribute name (lower case), id, class or attribute value.
    QByteArray name;
    QByteArray value;
    // An+B.
    int a = 0;
    int b = 0;
    // The argument of :not(), :is() or :where(), or the S of :nth-child(An+B
    // of S): indexes into the selector's compounds (each one a compound
    // selector of its own).
    std::vector<uint32_t> alternatives;
};

struct CompoundSelector {
    enum class Combinator : uint8_t { None, Descendant, Child, NextSibling, LaterSibling };
    // The combinator to the compound on its left.
    Combinator combinator = Combinator::None;
    // Lower case; empty for any element.
    QByteArray type;
    // The type's tag, when gumbo knows it: compared without spelling it out.
    GumboTag tag = GUMBO_TAG_UNKNOWN;
    std::vector<SimpleSelector> simple;
};

struct Selector {
    // Left to right; the last one is the subject. After them, the compounds
    // the :not()s refer to.
    std::vector<CompoundSelector> compounds;
    uint32_t subjectCount = 0;
    uint32_t specificity = 0;
};

// The selectors of a selector list, or nullopt when any of them is
// invalid, which drops the whole rule. text is the sheet the tokens point into.
std::optional<std::vector<Selector>> parseSelectorList(const std::vector<CssToken>& tokens,
                                                       const QByteArray& text);

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
