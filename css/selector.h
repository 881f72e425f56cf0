#pragma once
// Selectors: what a rule's prelude says, and how specific it is.

#include "css/tokenizer.h"

#include <gumbo.h>

#include <QByteArray>

#include <cstdint>
#include <optional>
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

} // namespace parlowen
