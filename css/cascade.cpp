#include "css/cascade.h"

#include "common/asciitext.h"
#include "css/cascaderules.h"
#include "css/customproperties.h"
#include "css/elementtree.h"
#include "css/selectormatcher.h"
#include "css/sheetdiscovery.h"
#include "css/sheetparser.h"
#include "css/sheetreader.h"
#include "css/sheeturls.h"
#include "css/stylesets.h"

#include <QByteArrayView>
#include <QHash>

#include <algorithm>
#include <utility>
#include <vector>

namespace parlowen {

namespace {

// The element's names for the filter of ancestors; its classes, each once,
// into classes when asked.
std::vector<uint32_t> elementKeys(const GumboNode* element, bool quirks, std::vector<QByteArray>* classes)
{
    std::vector<QByteArray> seen;
    if (!classes)
        classes = &seen;
    const GumboTag tag = element->v.element.tag;
    std::vector<uint32_t> keys{tagKey(tag, tag == GUMBO_TAG_UNKNOWN ? tagNameOf(element) : QByteArray())};
    const QByteArrayView id = attributeValue(element, "id");
    if (!id.isEmpty())
        keys.push_back(idKey(quirks ? id.toByteArray().toLower() : id.toByteArray()));
    const QByteArrayView classAttribute = attributeValue(element, "class");
    for (qsizetype i = 0; i < classAttribute.size();) {
        while (i < classAttribute.size() && isAsciiWhitespace(classAttribute[i]))
            ++i;
        qsizetype end = i;
        while (end < classAttribute.size() && !isAsciiWhitespace(classAttribute[end]))
            ++end;
        if (end > i) {
            QByteArray name = classAttribute.sliced(i, end - i).toByteArray();
            if (quirks)
                name = name.toLower();
            if (std::find(classes->begin(), classes->end(), name) == classes->end()) {
                keys.push_back(classKey(name));
                classes->push_back(std::move(name));
            }
        }
        i = end;
    }
    return keys;
}

// Inline style wins over the sheets unless a sheet's declaration is
// important and its own is not.
void putOnTop(DeclaredStyle& style, const DeclaredStyle& inlineStyle)
{
    for (size_t p = 0; p < size_t(CssProperty::Count); ++p) {
        if (!inlineStyle.values[p] || (style.important[p] && !inlineStyle.important[p]))
            continue;
        style.values[p] = inlineStyle.values[p];
        style.important[p] = inlineStyle.important[p];
    }
    style.doubtful = style.doubtful || inlineStyle.doubtful;
}

DeclaredStyle inlineStyleOf(const GumboNode* element)
{
    DeclaredStyle style;
    const GumboAttribute* attribute = gumbo_get_attribute(&element->v.element.attributes, "style");
    if (!attribute || !*attribute->value)
        return style;
    // Read as the text is walked, long after the cascade's budget: an
    // attribute is bounded by the page's size.
    WorkBudget unbounded;
    UnreadDeclarations unread;
    const std::vector<Declaration> declarations =
        styleAttributeDeclarations(QByteArrayView(attribute->value), unbounded, &unread);
    style.doubtful = unread.textValue || unread.nestedRule;
    for (const Declaration& d : declarations) {
        const size_t p = size_t(d.property);
        if (p >= size_t(CssProperty::Count) || (style.important[p] && !d.important))
            continue;
        style.values[p] = d.value;
        style.important[p] = d.important;
    }
    return style;
}


// Every sheet of the page read into the parser's rules, in document order;
// false when the parser stopped.
bool readSheets(const GumboOutput& tree, const PageStyleSheets* sheets, bool quirks, SheetParser& parser,
                WorkBudget& work)
{
    parser.setSheets(sheets);
    const QUrl base = sheets ? documentBase(tree, sheets->pageUrl) : QUrl();
    const QByteArray preferredSet = preferredStyleSet(tree, work);
    const bool complete = visitSheetElements(tree, work, [&](const GumboNode* node) {
        if (!inPreferredStyleSet(node, preferredSet))
            return true;
        if (node->v.element.tag == GUMBO_TAG_STYLE) {
            if (const std::optional<QByteArray> text = styleElementText(node))
                parser.sheet(*text, base);
        } else if (sheets) {
            const std::optional<QUrl> url = linkedSheetUrl(node, base, sheets->pageUrl);
            if (const QByteArray* found = url ? sheets->sheetFor(*url, quirks) : nullptr)
                parser.fetchedSheet(*found, *url);
        }
        return !parser.stopped();
    });
    return complete && !parser.stopped();
}

// Each element of the body against the rules filed under its id, its
// classes, its type and none, depth first, with its ancestors' names in a
// filter that rejects most rules whose ancestors are not there.
class RuleMatching {
public:
    RuleMatching(const CascadeRules& rules, std::unordered_map<const GumboNode*, DeclaredStyle>& styles,
                 SheetVariables& variables, WorkBudget& work)
        : m_rules(rules), m_styles(styles), m_variables(variables), m_matcher(rules.quirks, work), m_work(work)
    {}

    // False when stopped before the end.
    bool run(const GumboNode* body)
    {
        // The root's custom properties are the ones pages declare most,
        // for the body and all in it to inherit.
        const GumboNode* root = body->parent;
        if (root && root->type == GUMBO_NODE_ELEMENT) {
            Winners winners;
            matchFiled(root, winners);
            noteVariables(root, winners);
        }
        for (const GumboNode* up = body->parent; up && up->type == GUMBO_NODE_ELEMENT; up = up->parent)
            m_ancestors.add(elementKeys(up, m_rules.quirks, nullptr));
        enter(body);
        while (!m_stack.empty()) {
            if (m_work.exhausted() || m_matcher.stopped() ||
                m_rules.bytes + m_variables.bytes > m_rules.byteBudget)
                return false;
            Visit& top = m_stack.back();
            const GumboVector& children = top.element->v.element.children;
            if (top.next < children.length) {
                const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
                if (child->type == GUMBO_NODE_ELEMENT)
                    enter(child);
                continue;
            }
            m_ancestors.remove(m_keys.begin() + qsizetype(top.keys), m_keys.end());
            m_keys.resize(top.keys);
            m_stack.pop_back();
        }
        return !m_matcher.stopped();
    }

private:
    struct Visit {
        const GumboNode* element;
        unsigned next;
        size_t keys;
    };
    // How a declaration weighs: importance, then its layer, then the rule's
    // specificity and place.
    struct Rank {
        std::uint32_t importanceAndLayer = 0;
        std::uint64_t specificityAndOrder = 0;
        bool operator>=(const Rank& o) const
        {
            return importanceAndLayer != o.importanceAndLayer ? importanceAndLayer > o.importanceAndLayer
                                                              : specificityAndOrder >= o.specificityAndOrder;
        }
    };
    // The winner of each property so far: important first, then the
    // layer, then the most specific, then the last, within a rule too.
    struct Winners {
        std::array<Rank, size_t(CssProperty::Count)> rank{};
        DeclaredStyle style;
        bool any = false;
        // Those of values that hold var(), and the custom properties.
        ElementVariables variables;
        std::vector<Rank> customRank;
    };

    // A custom property's declaration against the winner of its name.
    void considerCustom(const Declaration& declaration, const Rank& rank, Winners& winners)
    {
        std::vector<const Declaration*>& custom = winners.variables.custom;
        m_work.count(custom.size());
        for (size_t i = 0; i < custom.size(); ++i) {
            if (custom[i]->name != declaration.name)
                continue;
            if (rank >= winners.customRank[i]) {
                custom[i] = &declaration;
                winners.customRank[i] = rank;
            }
            return;
        }
        custom.push_back(&declaration);
        winners.customRank.push_back(rank);
    }

    void noteVariables(const GumboNode* element, Winners& winners)
    {
        for (size_t p = 0; p < size_t(CssProperty::Count); ++p) {
            if (winners.style.values[p] != uint8_t(css::Wide::Pending))
                winners.variables.pending[p] = nullptr;
        }
        const auto& pending = winners.variables.pending;
        if (!winners.variables.custom.empty() ||
            std::any_of(pending.begin(), pending.end(), [](const Declaration* d) { return d != nullptr; }))
            m_variables.note(element, std::move(winners.variables));
    }

    void consider(const std::vector<FiledRule>& candidates, const GumboNode* element, Winners& winners)
    {
        for (const FiledRule& filed : candidates) {
            if (!m_ancestors.mayMatch(filed))
                continue;
            const Rule& rule = m_rules.rules[filed.rule];
            if (!m_matcher.matches(rule.selector, element) ||
                (rule.scope && !inScope(*rule.scope, element)))
                continue;
            m_work.count(rule.declarationCount);
            if (rule.doubtful) {
                winners.style.doubtful = true;
                winners.any = true;
            }
            for (uint32_t d = 0; d < rule.declarationCount; ++d) {
                const Declaration& declaration = m_rules.declarations[rule.firstDeclaration + d];
                const Rank rank{(std::uint32_t(declaration.important) << 31) |
                                    m_rules.layers.weight(rule.layer, declaration.important),
                                (std::uint64_t(rule.selector.specificity) << 32) | (rule.order + 1u)};
                if (declaration.property == CssProperty::Custom) {
                    considerCustom(declaration, rank, winners);
                    continue;
                }
                const size_t p = size_t(declaration.property);
                if (rank >= winners.rank[p]) {
                    winners.rank[p] = rank;
                    winners.style.values[p] = declaration.value;
                    winners.style.important[p] = declaration.important;
                    winners.variables.pending[p] = &declaration;
                    winners.any = true;
                }
            }
        }
    }

    bool matchesAny(const std::vector<Selector>& selectors, const GumboNode* element)
    {
        return std::any_of(selectors.begin(), selectors.end(),
                           [&](const Selector& selector) { return m_matcher.matches(selector, element); });
    }

    // At or below a root the scope's start matches, with no element the
    // limit matches between them, the element itself included. Of nested
    // roots, no nearer one is preferred.
    bool inScope(const ScopeRange& scope, const GumboNode* element)
    {
        for (const GumboNode* root = element; root && root->type == GUMBO_NODE_ELEMENT; root = root->parent) {
            if (!matchesAny(scope.start, root))
                continue;
            bool limited = false;
            for (const GumboNode* below = element; below != root && !limited; below = below->parent)
                limited = matchesAny(scope.limit, below);
            if (!limited)
                return true;
        }
        return false;
    }

    void considerFiled(const QHash<QByteArray, std::vector<FiledRule>>& index, const QByteArray& key,
                       const GumboNode* element, Winners& winners)
    {
        const auto found = index.constFind(key);
        if (found != index.constEnd())
            consider(*found, element, winners);
    }

    // The rules filed under the element's id, its classes, its type and
    // none against it; its classes in m_classes. Its names for the filter
    // of ancestors.
    std::vector<uint32_t> matchFiled(const GumboNode* element, Winners& winners)
    {
        m_classes.clear();
        std::vector<uint32_t> own = elementKeys(element, m_rules.quirks, &m_classes);
        m_work.count(own.size());
        const QByteArrayView id = attributeValue(element, "id");
        if (!id.isEmpty())
            considerFiled(m_rules.byId, m_rules.quirks ? id.toByteArray().toLower() : id.toByteArray(), element,
                          winners);
        for (const QByteArray& name : m_classes)
            considerFiled(m_rules.byClass, name, element, winners);
        const GumboTag tag = element->v.element.tag;
        if (tag != GUMBO_TAG_UNKNOWN)
            consider(m_rules.byKnownType[tag], element, winners);
        else
            considerFiled(m_rules.byType, tagNameOf(element), element, winners);
        consider(m_rules.universal, element, winners);
        return own;
    }

    void enter(const GumboNode* element)
    {
        Winners winners;
        const std::vector<uint32_t> own = matchFiled(element, winners);
        if (winners.any)
            m_styles.emplace(element, winners.style);
        noteVariables(element, winners);
        m_stack.push_back({element, 0, m_keys.size()});
        m_keys.insert(m_keys.end(), own.begin(), own.end());
        m_ancestors.add(own);
    }

    const CascadeRules& m_rules;
    std::unordered_map<const GumboNode*, DeclaredStyle>& m_styles;
    SheetVariables& m_variables;
    SelectorMatcher m_matcher;
    WorkBudget& m_work;
    AncestorFilter m_ancestors;
    std::vector<Visit> m_stack;
    std::vector<QByteArray> m_classes;
    std::vector<uint32_t> m_keys;
};

} // namespace

Cascade::Cascade() = default;
Cascade::~Cascade() = default;
Cascade::Cascade(Cascade&&) noexcept = default;
Cascade& Cascade::operator=(Cascade&&) noexcept = default;

std::optional<Cascade> Cascade::build(const GumboOutput& tree, bool quirks, const PageStyleSheets* sheets,
                                      WorkBudget& work, std::size_t byteBudget)
{
    Cascade cascade;
    cascade.m_rules = std::make_unique<CascadeRules>();
    CascadeRules& rules = *cascade.m_rules;
    rules.byteBudget = byteBudget;
    rules.quirks = quirks;
    SheetParser parser(rules, work);
    if (!readSheets(tree, sheets, quirks, parser, work) || work.overBudget())
        return std::nullopt;
    rules.layers.rank();
    const GumboNode* body = childElement(tree.root, GUMBO_TAG_BODY);
    if (!body)
        return cascade;
    SheetVariables variables;
    if (!rules.rules.empty()) {
        RuleMatching matching(rules, cascade.m_styles, variables, work);
        if (!matching.run(body))
            return std::nullopt;
    }
    const std::size_t used = rules.bytes + variables.bytes;
    const std::size_t bytesLeft = byteBudget > used ? byteBudget - used : 0;
    if (!resolveVariables(body, cascade.m_styles, variables, cascade.m_resolved, work, bytesLeft))
        return std::nullopt;
    return cascade;
}

bool Cascade::pageDoubtful() const
{
    // What a limit dropped, a browser reads: where it applies is unknown.
    return m_rules && (m_rules->pageDoubtful || m_rules->rulesPastLimits > 0);
}

DeclaredStyle Cascade::styleOf(const GumboNode* element) const
{
    if (!m_resolved.empty()) {
        const auto resolved = m_resolved.find(element);
        if (resolved != m_resolved.end())
            return resolved->second;
    }
    // A page's sheets seldom style anything, and every element is asked.
    const auto found = m_styles.empty() ? m_styles.end() : m_styles.find(element);
    DeclaredStyle style = found == m_styles.end() ? DeclaredStyle() : found->second;
    putOnTop(style, inlineStyleOf(element));
    return style;
}

} // namespace parlowen
