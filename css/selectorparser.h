#pragma once
// The selector reader, in two files: the structure of selectors
// (selectorparser.cpp) and the pseudo-classes and pseudo-elements
// (selectorpseudo.cpp).

#include "css/selector.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace parlowen {

// :is(:not(:is(...))) this deep is no real sheet's. Reading and matching
// take one to two kilobytes of stack a level: the deepest fits in half a
// megabyte, a sixteenth of a worker thread's stack.
inline constexpr int kMaxSelectorNesting = 256;
// Nor a selector of more compounds than this: matching one goes a call
// deeper for each, and 30,000 of them overflowed a thread's stack.
inline constexpr size_t kMaxSelectorCompounds = 1024;

struct Specificity {
    uint32_t ids = 0;
    uint32_t classes = 0;
    uint32_t types = 0;

    Specificity& operator+=(const Specificity& o)
    {
        ids += o.ids;
        classes += o.classes;
        types += o.types;
        return *this;
    }
    bool operator<(const Specificity& o) const
    {
        return ids != o.ids ? ids < o.ids : classes != o.classes ? classes < o.classes : types < o.types;
    }
    uint32_t packed() const
    {
        return std::min(ids, 1023u) << 20 | std::min(classes, 1023u) << 10 | std::min(types, 1023u);
    }
};

// Where a selector stands, which decides what it may hold.
struct SelectorPlace {
    // Functional pseudo-classes around it.
    int depth = 0;
    // An argument of :has(): it starts with a combinator, or a descendant one.
    bool relative = false;
    // Anywhere inside :has(), where neither :has() nor a pseudo-element may stand.
    bool insideHas = false;

    SelectorPlace inside(bool isRelative, bool isHas) const
    {
        return {depth + 1, isRelative, insideHas || isHas};
    }
};

class SelectorParser {
public:
    SelectorParser(const std::vector<CssToken>& tokens, const QByteArray& text)
        : m_tokens(tokens), m_text(text)
    {}

    SelectorList list();

private:
    const CssToken& at(size_t i) const
    {
        static const CssToken end;
        return i < m_end ? m_tokens[i] : end;
    }
    std::vector<std::pair<size_t, size_t>> splitAtCommas(size_t begin, size_t end) const;
    void skipSpace();
    // The index of the parenthesis that closes the function opened before from.
    size_t closingParen(size_t from) const;

    std::optional<Selector> complex(size_t begin, size_t end, SelectorPlace place, Specificity& total);
    // The selectors between the parentheses of a functional pseudo-class.
    // A forgiving list drops the ones it cannot read, not itself.
    std::optional<std::vector<Selector>> argumentList(size_t begin, size_t end, SelectorPlace place,
                                                      bool forgiving, Specificity& most);
    std::optional<CompoundSelector> compound(SelectorPlace place, Specificity& specificity);
    bool attribute(SimpleSelector& simple);

    // selectorpseudo.cpp
    bool pseudo(SimpleSelector& simple, SelectorPlace place, Specificity& specificity);
    bool pseudoElement(SimpleSelector& simple, const QByteArray& name, bool function, SelectorPlace place,
                       Specificity& specificity);
    bool pseudoFunction(SimpleSelector& simple, const QByteArray& name, size_t open, size_t close,
                        SelectorPlace place, Specificity& specificity);
    bool nth(SimpleSelector& simple, const QByteArray& name, size_t open, size_t close, SelectorPlace place,
             Specificity& specificity);

    const std::vector<CssToken>& m_tokens;
    const QByteArray& m_text;
    size_t m_pos = 0;
    size_t m_end = 0;
    // Set when a limit, not the sheet, made a selector unreadable.
    bool m_pastLimit = false;
};

} // namespace parlowen
