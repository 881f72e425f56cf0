#pragma once
// Selectors: what a rule's prelude says, and how specific it is.

#include "css/tokenizer.h"

#include <gumbo.h>

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace parlowen {

struct Selector;

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
        // & in a nested rule, :scope in an @scope: any of nest.
        Nest,
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
    std::shared_ptr<const std::vector<Selector>> nest;
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

// What a rule inside a style rule or an @scope is read against.
struct SelectorNesting {
    // What & stands for, the enclosing style rule's selectors, with the
    // specificity of the most specific of them, which & counts.
    std::shared_ptr<const std::vector<Selector>> ampersand;
    uint32_t ampersandSpecificity = 0;
    // What :scope stands for: the @scope's start.
    std::shared_ptr<const std::vector<Selector>> scope;
    // Directly in an @scope, where & stands for its start too, a selector
    // with neither is below the scope's root.
    bool directlyInScope = false;
};

// The selectors of a selector list, or nullopt when any of them is
// invalid, which drops the whole rule. text is the sheet the tokens point
// into. Nested, a selector without & is relative to it ("> p" is "& > p",
// "p" is "& p"), and in an @scope, one without & or :scope is below the
// scope's root.
std::optional<std::vector<Selector>> parseSelectorList(const std::vector<CssToken>& tokens,
                                                       const QByteArray& text,
                                                       const SelectorNesting* nesting = nullptr);

} // namespace parlowen
