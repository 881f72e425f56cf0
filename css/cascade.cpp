#include "css/cascade.h"

#include "common/asciitext.h"
#include "css/cascaderules.h"
#include "css/elementtree.h"
#include "css/selectormatcher.h"
#include "css/sheetdiscovery.h"
#include "css/sheetparser.h"
#include "css/sheetreader.h"
#include "css/sheeturls.h"

#include <QByteArrayView>
#include <QHash>

#include <algorithm>
#include <utility>
#include <vector>

namespace parlowen {

namespace {

using Type = CssToken::Type;

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
    std::uint64_t work = 0;
    SheetReader reader(QByteArrayView(attribute->value), &work);
    std::vector<Declaration> declarations;
    UnreadDeclarations unread;
    while (!reader.current().is(Type::End))
        reader.declarations(declarations, &unread);
    style.doubtful = unread.textValue || unread.nestedRule;
    for (const Declaration& d : declarations) {
        const size_t p = size_t(d.property);
        if (style.important[p] && !d.important)
            continue;
        style.values[p] = d.value;
        style.important[p] = d.important;
    }
    return style;
}


// Every sheet of the page read into the parser's rules, in document order;
// false when the parser stopped.
bool readSheets(const GumboOutput& tree, const PageStyleSheets* sheets, bool quirks, SheetParser& parser,
                std::uint64_t* work, const std::atomic<bool>* cancelled)
{
    parser.setSheets(sheets);
    const QUrl base = sheets ? documentBase(tree, sheets->pageUrl) : QUrl();
    const bool complete = visitSheetElements(tree, work, cancelled, [&](const GumboNode* node) {
        if (node->v.element.tag == GUMBO_TAG_STYLE) {
            if (const std::optional<QByteArray> text = styleElementText(node))
                parser.sheet(*text, base);
        } else if (sheets) {
            const std::optional<QUrl> url = linkedSheetUrl(node, base, sheets->pageUrl);
            if (const QByteArray* found = url ? sheets->sheetFor(*url, quirks) : nullptr)
                parser.sheet(withoutByteOrderMark(*found), *url);
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
                 std::uint64_t* work, std::uint64_t budget, const std::atomic<bool>* cancelled)
        : m_rules(rules), m_styles(styles), m_matcher(rules.quirks, work, budget, cancelled), m_work(work),
          m_budget(budget), m_cancelled(cancelled)
    {}

    // False when stopped before the end.
    bool run(const GumboNode* body)
    {
        for (const GumboNode* up = body->parent; up && up->type == GUMBO_NODE_ELEMENT; up = up->parent)
            m_ancestors.add(elementKeys(up, m_rules.quirks, nullptr));
        enter(body);
        while (!m_stack.empty()) {
            if ((m_cancelled && m_cancelled->load(std::memory_order_relaxed)) || *m_work > m_budget ||
                m_matcher.stopped())
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
    // The winner of each property so far: important first, then the most
    // specific, then the last, within a rule too.
    struct Winners {
        std::array<std::uint64_t, size_t(CssProperty::Count)> rank{};
        DeclaredStyle style;
        bool any = false;
    };

    void consider(const std::vector<uint32_t>& candidates, const GumboNode* element, Winners& winners)
    {
        for (const uint32_t index : candidates) {
            const Rule& rule = m_rules.rules[index];
            if (!m_ancestors.mayMatch(rule) || !m_matcher.matches(rule.selector, element))
                continue;
            *m_work += rule.declarationCount;
            if (rule.doubtful) {
                winners.style.doubtful = true;
                winners.any = true;
            }
            for (uint32_t d = 0; d < rule.declarationCount; ++d) {
                const Declaration& declaration = m_rules.declarations[rule.firstDeclaration + d];
                const std::uint64_t rank = (std::uint64_t(declaration.important) << 63) |
                                           (std::uint64_t(rule.selector.specificity) << 32) | (rule.order + 1u);
                const size_t p = size_t(declaration.property);
                if (rank >= winners.rank[p]) {
                    winners.rank[p] = rank;
                    winners.style.values[p] = declaration.value;
                    winners.style.important[p] = declaration.important;
                    winners.any = true;
                }
            }
        }
    }

    void considerFiled(const QHash<QByteArray, std::vector<uint32_t>>& index, const QByteArray& key,
                       const GumboNode* element, Winners& winners)
    {
        const auto found = index.constFind(key);
        if (found != index.constEnd())
            consider(*found, element, winners);
    }

    void enter(const GumboNode* element)
    {
        Winners winners;
        m_classes.clear();
        const std::vector<uint32_t> own = elementKeys(element, m_rules.quirks, &m_classes);
        *m_work += own.size();
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
        if (winners.any)
            m_styles.emplace(element, winners.style);
        m_stack.push_back({element, 0, m_keys.size()});
        m_keys.insert(m_keys.end(), own.begin(), own.end());
        m_ancestors.add(own);
    }

    const CascadeRules& m_rules;
    std::unordered_map<const GumboNode*, DeclaredStyle>& m_styles;
    SelectorMatcher m_matcher;
    std::uint64_t* m_work;
    std::uint64_t m_budget;
    const std::atomic<bool>* m_cancelled;
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
                                      std::uint64_t* work, std::uint64_t budget, std::size_t byteBudget,
                                      const std::atomic<bool>* cancelled)
{
    Cascade cascade;
    cascade.m_rules = std::make_unique<CascadeRules>();
    CascadeRules& rules = *cascade.m_rules;
    rules.byteBudget = byteBudget;
    rules.quirks = quirks;
    SheetParser parser(rules, work, budget, cancelled);
    if (!readSheets(tree, sheets, quirks, parser, work, cancelled) || *work > budget)
        return std::nullopt;
    const GumboNode* body = childElement(tree.root, GUMBO_TAG_BODY);
    if (rules.rules.empty() || !body)
        return cascade;
    RuleMatching matching(rules, cascade.m_styles, work, budget, cancelled);
    if (!matching.run(body))
        return std::nullopt;
    return cascade;
}

bool Cascade::pageDoubtful() const
{
    return m_rules && m_rules->pageDoubtful;
}

DeclaredStyle Cascade::styleOf(const GumboNode* element) const
{
    // A page's sheets seldom style anything, and every element is asked.
    const auto found = m_styles.empty() ? m_styles.end() : m_styles.find(element);
    DeclaredStyle style = found == m_styles.end() ? DeclaredStyle() : found->second;
    putOnTop(style, inlineStyleOf(element));
    return style;
}

} // namespace parlowen
