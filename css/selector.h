#pragma once
// Selectors: what a rule's prelude says, and how specific it is.

#include "css/tokenizer.h"

#include <gumbo.h>

#include <QByteArray>

#include <cstdint>
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
        NthOfType,
        NthLastOfType,
        OnlyOfType,
        Root,
        Empty,
        Link,
        // What a page's markup says of its elements and form controls,
        // with no script run and no user at it.
        Defined,
        Disabled,
        Enabled,
        Checked,
        PlaceholderShown,
        Lang,
        // A pseudo-class or pseudo-element that no element of a page that
        // nobody looks at, points at or scrolls is ever in.
        Never,
        Not,
        Is,
        Has,
    };
    enum class Match : uint8_t { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };
    Kind kind = Kind::Id;
    Match match = Match::Exists;
    bool ignoreCase = false;
    // Attribute name (lower case), id, class, attribute value, or the
    // language range of :lang().
    QByteArray name;
    QByteArray value;
    // An+B.
    int a = 0;
    int b = 0;
    // The selectors of :not(), :is(), :where() or :has(), or the S of
    // :nth-child(An+B of S). Those of :has() are relative: their first
    // compound's combinator says how it stands to the element tried.
    std::vector<Selector> arguments;
};

struct CompoundSelector {
    enum class Combinator : uint8_t { None, Descendant, Child, NextSibling, LaterSibling };
    // The combinator to the compound on its left; for the first compound of
    // a relative selector, to the element :has() is tried on.
    Combinator combinator = Combinator::None;
    // Lower case; empty for any element.
    QByteArray type;
    // The type's tag, when gumbo knows it: compared without spelling it out.
    GumboTag tag = GUMBO_TAG_UNKNOWN;
    std::vector<SimpleSelector> simple;
};

struct Selector {
    // Left to right; the last one is the subject.
    std::vector<CompoundSelector> compounds;
    uint32_t specificity = 0;
};

struct SelectorList {
    // Empty when any selector of the list is invalid, which drops the
    // whole rule.
    std::vector<Selector> selectors;
    // The list was dropped at one of the reader's limits, not for being
    // invalid: a browser would have kept it.
    bool pastLimit = false;
};

// The selectors of a rule's prelude. text is the sheet the tokens point into.
SelectorList parseSelectorList(const std::vector<CssToken>& tokens, const QByteArray& text);

} // namespace parlowen
