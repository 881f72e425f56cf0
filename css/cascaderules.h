#pragma once
// The rules of a page's sheets as the cascade keeps them: filed by what
// their subject needs most surely, with the names their ancestors need.

#include "css/cascadelayers.h"
#include "css/declaration.h"
#include "css/selector.h"

#include <gumbo.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace parlowen {

// What the names in selectors and in elements are compared by in the
// filter of ancestors: a tag, an id and a class never share one by design,
// rarely by chance, which only costs a full match.
inline uint32_t tagKey(GumboTag tag, QByteArrayView name)
{
    return tag != GUMBO_TAG_UNKNOWN ? uint32_t(tag) * 2654435761u : uint32_t(qHash(name, 1));
}

inline uint32_t idKey(QByteArrayView id)
{
    return uint32_t(qHash(id, 2));
}

inline uint32_t classKey(QByteArrayView name)
{
    return uint32_t(qHash(name, 3));
}

// Where the rules of an @scope apply: at and below an element start
// matches, down to, not into, an element below it that limit matches.
struct ScopeRange {
    std::vector<Selector> start;
    std::vector<Selector> limit;
};

struct Rule {
    Selector selector;
    std::shared_ptr<const ScopeRange> scope;
    uint32_t layer = CascadeLayers::kUnlayered;
    uint32_t firstDeclaration = 0;
    uint32_t declarationCount = 0;
    uint32_t order = 0;
    // A declaration of it could not be read: its elements are doubtful.
    bool doubtful = false;
};

// A rule as an index files it, with the slots of the filter of ancestors
// (below) that some ancestor of a matching element must fill. A cell is
// tried against every rule filed under td, and most are passed over by the
// filter: kept in the index, the slots are read one after another, without
// a look at the rule itself.
struct FiledRule {
    uint32_t rule = 0;
    std::array<uint16_t, 4> ancestorSlots{};
    uint8_t ancestorSlotCount = 0;
};

// The names of the elements above the one being matched, counted, so that
// a rule such as "table.log tr.stale td" is passed over at once for a cell
// with no such row above it.
class AncestorFilter {
public:
    AncestorFilter() : m_counts(kSize, 0) {}

    void add(const std::vector<uint32_t>& keys)
    {
        for (const uint32_t key : keys)
            ++m_counts[slotOf(key)];
    }
    template <typename It> void remove(It begin, It end)
    {
        for (; begin != end; ++begin)
            --m_counts[slotOf(*begin)];
    }
    bool mayMatch(const FiledRule& filed) const
    {
        for (uint8_t i = 0; i < filed.ancestorSlotCount; ++i) {
            if (m_counts[filed.ancestorSlots[i]] == 0)
                return false;
        }
        return true;
    }
    static uint16_t slotOf(uint32_t key) { return uint16_t(key & (kSize - 1)); }

private:
    static constexpr size_t kSize = size_t(1) << 13;
    static_assert(kSize <= size_t(1) << 16, "a slot is kept in 16 bits");
    std::vector<uint32_t> m_counts;
};


struct CascadeRules {
    std::vector<Rule> rules;
    std::vector<Declaration> declarations;
    QHash<QByteArray, std::vector<FiledRule>> byId;
    QHash<QByteArray, std::vector<FiledRule>> byClass;
    QHash<QByteArray, std::vector<FiledRule>> byType;
    std::array<std::vector<FiledRule>, GUMBO_TAG_LAST + 1> byKnownType;
    std::vector<FiledRule> universal;
    bool quirks = false;
    // A rule that could change the text was dropped whole, its selector
    // unread or inside an at-rule not read: any element may be hidden.
    bool pageDoubtful = false;
    // What the rules take, counted as they are kept, and what they may.
    std::size_t bytes = 0;
    std::size_t byteBudget = 0;
    CascadeLayers layers;
    // Rules a limit of the reader dropped where a browser keeps them: past
    // a limit of nesting, of imports or of a selector list's length.
    std::size_t rulesPastLimits = 0;

    // The rule at index as an index files it, with the ancestors it needs: every compound left
    // of a descendant or a child combinator is an ancestor of the subject,
    // even across siblings.
    FiledRule filed(uint32_t index) const
    {
        FiledRule entry{index};
        const Selector& selector = rules[index].selector;
        for (auto i = uint32_t(selector.compounds.size() - 1); i-- > 0;) {
            const CompoundSelector::Combinator combinator = selector.compounds[i + 1].combinator;
            if (combinator != CompoundSelector::Combinator::Descendant &&
                combinator != CompoundSelector::Combinator::Child)
                continue;
            const CompoundSelector& compound = selector.compounds[i];
            const auto note = [&entry](uint32_t key) {
                if (entry.ancestorSlotCount < entry.ancestorSlots.size())
                    entry.ancestorSlots[entry.ancestorSlotCount++] = AncestorFilter::slotOf(key);
            };
            for (const SimpleSelector& simple : compound.simple) {
                if (simple.kind == SimpleSelector::Kind::Id)
                    note(idKey(quirks ? simple.name.toLower() : simple.name));
                else if (simple.kind == SimpleSelector::Kind::Class)
                    note(classKey(quirks ? simple.name.toLower() : simple.name));
            }
            if (!compound.type.isEmpty())
                note(tagKey(compound.tag, compound.type));
        }
        return entry;
    }

    // The key a rule is filed under: what its subject needs most surely.
    void file(uint32_t index)
    {
        const FiledRule entry = filed(index);
        const CompoundSelector& subject = rules[index].selector.compounds.back();
        for (const SimpleSelector& simple : subject.simple) {
            if (simple.kind == SimpleSelector::Kind::Id) {
                byId[quirks ? simple.name.toLower() : simple.name].push_back(entry);
                return;
            }
        }
        for (const SimpleSelector& simple : subject.simple) {
            if (simple.kind == SimpleSelector::Kind::Class) {
                byClass[quirks ? simple.name.toLower() : simple.name].push_back(entry);
                return;
            }
        }
        if (subject.tag != GUMBO_TAG_UNKNOWN)
            byKnownType[subject.tag].push_back(entry);
        else if (!subject.type.isEmpty())
            byType[subject.type].push_back(entry);
        else
            universal.push_back(entry);
    }
};

} // namespace parlowen
