#pragma once
// The rules of a page's sheets as the cascade keeps them: filed by what
// their subject needs most surely, with the names their ancestors need.

#include "css/declaration.h"
#include "css/selector.h"

#include <gumbo.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <array>
#include <cstddef>
#include <cstdint>
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

struct Rule {
    Selector selector;
    uint32_t firstDeclaration = 0;
    uint32_t declarationCount = 0;
    uint32_t order = 0;
    // Names some ancestor of a matching element must have.
    std::array<uint32_t, 4> ancestorKeys{};
    uint8_t ancestorKeyCount = 0;
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
            ++m_counts[key & (kSize - 1)];
    }
    template <typename It> void remove(It begin, It end)
    {
        for (; begin != end; ++begin)
            --m_counts[*begin & (kSize - 1)];
    }
    bool mayMatch(const Rule& rule) const
    {
        for (uint8_t i = 0; i < rule.ancestorKeyCount; ++i) {
            if (m_counts[rule.ancestorKeys[i] & (kSize - 1)] == 0)
                return false;
        }
        return true;
    }

private:
    static constexpr size_t kSize = size_t(1) << 13;
    std::vector<uint32_t> m_counts;
};


struct CascadeRules {
    std::vector<Rule> rules;
    std::vector<Declaration> declarations;
    QHash<QByteArray, std::vector<uint32_t>> byId;
    QHash<QByteArray, std::vector<uint32_t>> byClass;
    QHash<QByteArray, std::vector<uint32_t>> byType;
    std::array<std::vector<uint32_t>, GUMBO_TAG_LAST + 1> byKnownType;
    std::vector<uint32_t> universal;
    bool quirks = false;
    // What the rules take, counted as they are kept, and what they may.
    std::size_t bytes = 0;
    std::size_t byteBudget = 0;
    // Rules a limit of the reader dropped where a browser keeps them.
    std::size_t rulesPastLimits = 0;

    // Ancestors the rule needs: every compound left of a descendant or a
    // child combinator is an ancestor of the subject, even across siblings.
    void noteAncestors(Rule& rule) const
    {
        const Selector& selector = rule.selector;
        for (auto i = uint32_t(selector.compounds.size() - 1); i-- > 0;) {
            const CompoundSelector::Combinator combinator = selector.compounds[i + 1].combinator;
            if (combinator != CompoundSelector::Combinator::Descendant &&
                combinator != CompoundSelector::Combinator::Child)
                continue;
            const CompoundSelector& compound = selector.compounds[i];
            const auto note = [&rule](uint32_t key) {
                if (rule.ancestorKeyCount < rule.ancestorKeys.size())
                    rule.ancestorKeys[rule.ancestorKeyCount++] = key;
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
    }

    // The key a rule is filed under: what its subject needs most surely.
    void file(uint32_t index)
    {
        noteAncestors(rules[index]);
        const CompoundSelector& subject = rules[index].selector.compounds.back();
        for (const SimpleSelector& simple : subject.simple) {
            if (simple.kind == SimpleSelector::Kind::Id) {
                byId[quirks ? simple.name.toLower() : simple.name].push_back(index);
                return;
            }
        }
        for (const SimpleSelector& simple : subject.simple) {
            if (simple.kind == SimpleSelector::Kind::Class) {
                byClass[quirks ? simple.name.toLower() : simple.name].push_back(index);
                return;
            }
        }
        if (subject.tag != GUMBO_TAG_UNKNOWN)
            byKnownType[subject.tag].push_back(index);
        else if (!subject.type.isEmpty())
            byType[subject.type].push_back(index);
        else
            universal.push_back(index);
    }
};

} // namespace parlowen
