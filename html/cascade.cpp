#include "html/cascade.h"

#include "html/asciitext.h"
#include "html/cssselector.h"
#include "html/csssyntax.h"
#include "html/quirksmode.h"

#include <QByteArrayView>
#include <QHash>

#include <algorithm>
#include <utility>

namespace parlowen {

namespace {

using Type = CssToken::Type;

// A rule's prelude, or a declaration's value, this long is no real page's:
// the rest is read past, not kept, and the rule or declaration dropped.
constexpr size_t kMaxPreludeTokens = size_t(1) << 16;
constexpr size_t kMaxValueTokens = 64;
// @media inside @media this deep is read past.
constexpr int kMaxRuleNesting = 16;
// Work between two looks at the cancel flag and the budget.
constexpr std::uint64_t kCheckEvery = 4096;

struct Declaration {
    CssProperty property;
    uint8_t value;
    bool important;
};

uint8_t globalKeyword(const QByteArray& word, bool inherited)
{
    if (word == "inherit")
        return css::kInherit;
    if (word == "unset")
        return inherited ? css::kInherit : 0;
    if (word == "revert" || word == "revert-layer")
        return css::kDefault;
    return 0;
}

uint8_t displayValue(const std::vector<QByteArray>& words)
{
    if (words.size() == 1) {
        const QByteArray& w = words[0];
        if (w == "none")
            return css::kNone;
        if (w == "block" || w == "list-item" || w == "flex" || w == "grid" || w == "table" ||
            w == "flow-root" || w == "table-caption")
            return css::kBlock;
        if (w == "inline-block" || w == "inline-flex" || w == "inline-grid" || w == "inline-table")
            return css::kInlineBlock;
        if (w == "inline" || w == "initial" || w == "unset" || w == "ruby")
            return css::kInline;
        if (w == "contents")
            return css::kContents;
        if (w == "inherit")
            return css::kInherit;
        // Parts of a table keep the element's own box.
        if (w.startsWith("table-") || w == "ruby-text" || w == "ruby-base" || w == "revert" ||
            w == "revert-layer")
            return css::kDefault;
        return 0;
    }
    if (words.size() != 2)
        return 0;
    const QByteArray& outer = words[0] == "block" || words[0] == "inline" ? words[0] : words[1];
    const QByteArray& inner = &outer == &words[0] ? words[1] : words[0];
    if ((outer != "block" && outer != "inline") ||
        (inner != "flow" && inner != "flow-root" && inner != "flex" && inner != "grid" && inner != "table"))
        return 0;
    if (outer == "block")
        return css::kBlock;
    return inner == "flow" ? css::kInline : css::kInlineBlock;
}

// The property and value a declaration gives, if it is one of ours and
// valid; anything else is dropped, as a browser drops it.
std::optional<Declaration> interpret(const QByteArray& name, const std::vector<CssToken>& value)
{
    std::vector<QByteArray> words;
    bool important = false;
    size_t end = value.size();
    if (end >= 2 && value[end - 1].isIdent("important") && value[end - 2].isDelim('!')) {
        important = true;
        end -= 2;
    }
    for (size_t i = 0; i < end; ++i) {
        if (!value[i].is(Type::Ident))
            return std::nullopt;
        words.push_back(value[i].text.toLower());
    }
    if (words.empty())
        return std::nullopt;
    const QByteArray property = name.toLower();
    if (property == "display") {
        const uint8_t v = displayValue(words);
        return v ? std::optional(Declaration{CssProperty::Display, v, important}) : std::nullopt;
    }
    if (words.size() != 1)
        return std::nullopt;
    const QByteArray& w = words[0];
    uint8_t v = 0;
    CssProperty p = CssProperty::Count;
    if (property == "visibility") {
        p = CssProperty::Visibility;
        v = w == "visible" || w == "initial"   ? css::kVisible
            : w == "hidden" || w == "collapse" ? css::kHidden
                                               : globalKeyword(w, true);
    } else if (property == "content-visibility") {
        p = CssProperty::ContentVisibility;
        v = w == "visible" || w == "auto" || w == "initial" || w == "unset" || w == "inherit" ? css::kVisible
            : w == "hidden"                                                                   ? css::kHidden
                            : globalKeyword(w, false);
    } else if (property == "white-space" || property == "white-space-collapse") {
        p = CssProperty::WhiteSpace;
        if (property == "white-space")
            v = w == "normal" || w == "nowrap" || w == "initial"       ? css::kCollapse
                : w == "pre" || w == "pre-wrap" || w == "break-spaces" ? css::kPreserve
                : w == "pre-line"                                      ? css::kPreserveBreaks
                                                                       : globalKeyword(w, true);
        else
            v = w == "collapse" || w == "initial"        ? css::kCollapse
                : w == "preserve" || w == "break-spaces" ? css::kPreserve
                : w == "preserve-breaks"                 ? css::kPreserveBreaks
                                                         : globalKeyword(w, true);
    } else if (property == "text-transform") {
        p = CssProperty::TextTransform;
        v = w == "none" || w == "initial" ? css::kNoTransform
            : w == "uppercase"            ? css::kUppercase
            : w == "lowercase"            ? css::kLowercase
            : w == "capitalize"           ? css::kCapitalize
                                          : globalKeyword(w, true);
    }
    if (!v)
        return std::nullopt;
    return Declaration{p, v, important};
}

bool isOpener(Type t)
{
    return t == Type::LeftCurly || t == Type::LeftParen || t == Type::LeftSquare || t == Type::Function;
}

Type closerOf(Type t)
{
    return t == Type::LeftCurly    ? Type::RightCurly
           : t == Type::LeftSquare ? Type::RightSquare
                                   : Type::RightParen;
}

// Reads a sheet, or a style attribute, token by token.
class SheetReader {
public:
    SheetReader(QByteArrayView text, std::uint64_t* work, std::uint64_t budget = UINT64_MAX,
                const std::atomic<bool>* cancelled = nullptr)
        : m_tokenizer(text, work, budget, cancelled)
    {
        advance();
    }

    const CssToken& current() const { return m_current; }
    void advance() { m_current = m_tokenizer.next(); }
    const QByteArray& text() const { return m_tokenizer.text(); }

    // Consumes one component value (a block or function with all of its
    // content), keeping at most limit tokens of it in out.
    void component(std::vector<CssToken>* out, size_t limit)
    {
        std::vector<Type> closers;
        do {
            const Type t = m_current.type;
            if (t == Type::End)
                return;
            if (isOpener(t))
                closers.push_back(closerOf(t));
            else if (!closers.empty() && t == closers.back())
                closers.pop_back();
            if (out && out->size() < limit)
                out->push_back(m_current);
            advance();
        } while (!closers.empty());
    }

    // The declarations of a block, up to its closing brace (consumed), or
    // of a whole style attribute.
    void declarations(std::vector<Declaration>& out)
    {
        for (;;) {
            const CssToken& t = m_current;
            if (t.is(Type::End))
                return;
            if (t.is(Type::RightCurly)) {
                advance();
                return;
            }
            if (t.is(Type::Whitespace) || t.is(Type::Semicolon)) {
                advance();
                continue;
            }
            if (!t.is(Type::Ident)) {
                // A nested rule or junk: read past it, to a semicolon or
                // through the block it ends with.
                while (!m_current.is(Type::End) && !m_current.is(Type::Semicolon) &&
                       !m_current.is(Type::RightCurly)) {
                    const bool block = m_current.is(Type::LeftCurly);
                    component(nullptr, 0);
                    if (block)
                        break;
                }
                continue;
            }
            const QByteArray name = t.text;
            advance();
            while (m_current.is(Type::Whitespace))
                advance();
            const bool colon = m_current.is(Type::Colon);
            if (colon)
                advance();
            std::vector<CssToken> value;
            while (!m_current.is(Type::End) && !m_current.is(Type::Semicolon) &&
                   !m_current.is(Type::RightCurly)) {
                if (m_current.is(Type::Whitespace))
                    advance();
                else
                    component(&value, kMaxValueTokens + 1);
            }
            if (colon && value.size() <= kMaxValueTokens) {
                if (std::optional<Declaration> declaration = interpret(name, value))
                    out.push_back(*declaration);
            }
        }
    }

private:
    CssTokenizer m_tokenizer;
    CssToken m_current;
};

// A fetched sheet is read as UTF-8; its byte order mark is no character.
QByteArrayView withoutByteOrderMark(QByteArrayView sheet)
{
    return sheet.startsWith("\xEF\xBB\xBF") ? sheet.sliced(3) : sheet;
}

// The port a URL reaches, written or not: the router page's address
// spells out :80, a sheet's link seldom does.
int effectivePort(const QUrl& url)
{
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const bool plain = url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
    return url.port(secure ? 443 : plain ? 80 : -1);
}

// Scheme, host and port: the page's own server.
bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && effectivePort(a) == effectivePort(b);
}

// The address an @import names, resolved against its sheet's; i moves
// past it.
std::optional<QUrl> importUrl(const std::vector<CssToken>& prelude, size_t& i, const QUrl& base)
{
    if (i >= prelude.size())
        return std::nullopt;
    const CssToken& t = prelude[i];
    QByteArray address;
    if (t.is(Type::String) || t.is(Type::Url)) {
        address = t.text;
        ++i;
    } else if (t.is(Type::Function) && t.text.compare("url", Qt::CaseInsensitive) == 0) {
        size_t j = i + 1;
        while (j < prelude.size() && prelude[j].is(Type::Whitespace))
            ++j;
        if (j >= prelude.size() || !prelude[j].is(Type::String))
            return std::nullopt;
        address = prelude[j].text;
        ++j;
        while (j < prelude.size() && prelude[j].is(Type::Whitespace))
            ++j;
        if (j >= prelude.size() || !prelude[j].is(Type::RightParen))
            return std::nullopt;
        i = j + 1;
    } else {
        return std::nullopt;
    }
    const QUrl url = base.resolved(QUrl(QString::fromUtf8(address)));
    return url.isValid() ? std::optional(url.adjusted(QUrl::RemoveFragment)) : std::nullopt;
}

// What the names in selectors and in elements are compared by in the
// filter of ancestors: a tag, an id and a class never share one by design,
// rarely by chance, which only costs a full match.
uint32_t tagKey(GumboTag tag, QByteArrayView name)
{
    return tag != GUMBO_TAG_UNKNOWN ? uint32_t(tag) * 2654435761u : uint32_t(qHash(name, 1));
}

uint32_t idKey(QByteArrayView id)
{
    return uint32_t(qHash(id, 2));
}

uint32_t classKey(QByteArrayView name)
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

} // namespace

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

    // Ancestors the rule needs: every compound left of a descendant or a
    // child combinator is an ancestor of the subject, even across siblings.
    void noteAncestors(Rule& rule) const
    {
        const Selector& selector = rule.selector;
        for (uint32_t i = selector.subjectCount - 1; i-- > 0;) {
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
        const CompoundSelector& subject =
            rules[index].selector.compounds[rules[index].selector.subjectCount - 1];
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

namespace {

class SheetParser {
public:
    SheetParser(CascadeRules& rules, std::uint64_t* work, std::uint64_t budget,
                const std::atomic<bool>* cancelled)
        : m_rules(rules), m_work(work), m_budget(budget), m_cancelled(cancelled)
    {}

    bool stopped() const { return m_stopped; }

    // A sheet at url (the document's base for a <style>), the sheets it
    // imports first.
    void sheet(QByteArrayView text, const QUrl& url)
    {
        SheetReader reader(text, m_work, m_budget, m_cancelled);
        m_importing.push_back(url);
        m_importsAllowed.push_back(true);
        ruleList(reader, 0, true);
        m_importsAllowed.pop_back();
        m_importing.pop_back();
    }

    void setSheets(const PageStyleSheets* sheets) { m_sheets = sheets; }

private:
    bool shouldStop()
    {
        if (*m_work < m_nextCheck)
            return m_stopped;
        m_nextCheck = *m_work + kCheckEvery;
        m_stopped =
            m_stopped || *m_work > m_budget || (m_cancelled && m_cancelled->load(std::memory_order_relaxed));
        return m_stopped;
    }

    // Rules up to the end of the sheet, or of the block (its brace consumed).
    void ruleList(SheetReader& reader, int depth, bool topLevel)
    {
        while (!shouldStop()) {
            const CssToken& t = reader.current();
            if (t.is(Type::End))
                return;
            if (t.is(Type::RightCurly) && !topLevel) {
                reader.advance();
                return;
            }
            if (t.is(Type::Whitespace) || (topLevel && (t.is(Type::Cdo) || t.is(Type::Cdc)))) {
                reader.advance();
                continue;
            }
            const bool import = t.is(Type::AtKeyword) && t.text.compare("import", Qt::CaseInsensitive) == 0;
            const bool statement =
                t.is(Type::AtKeyword) && (t.text.compare("charset", Qt::CaseInsensitive) == 0 ||
                                          t.text.compare("layer", Qt::CaseInsensitive) == 0);
            if (!import && !statement && topLevel)
                m_importsAllowed.back() = false;
            if (t.is(Type::AtKeyword))
                atRule(reader, depth, import && topLevel && m_importsAllowed.back());
            else
                qualifiedRule(reader);
        }
    }

    void atRule(SheetReader& reader, int depth, bool importAllowed)
    {
        const QByteArray name = reader.current().text.toLower();
        reader.advance();
        std::vector<CssToken> prelude;
        while (!reader.current().is(Type::End) && !reader.current().is(Type::Semicolon) &&
               !reader.current().is(Type::LeftCurly) && !reader.current().is(Type::RightCurly) &&
               !shouldStop())
            reader.component(&prelude, kMaxPreludeTokens);
        if (!reader.current().is(Type::LeftCurly)) {
            if (reader.current().is(Type::Semicolon))
                reader.advance();
            if (importAllowed)
                import(prelude);
            return;
        }
        if (name == "media" && depth < kMaxRuleNesting && prelude.size() < kMaxPreludeTokens &&
            screenMatchesMedia(prelude)) {
            reader.advance();
            ruleList(reader, depth + 1, false);
            return;
        }
        // Rules of other at-rules, and of media we are not, never apply.
        skipBlock(reader);
    }

    // An imported sheet we were given, from the page's origin, not already
    // being read (a loop), for media we are.
    void import(const std::vector<CssToken>& prelude)
    {
        size_t i = 0;
        while (i < prelude.size() && prelude[i].is(Type::Whitespace))
            ++i;
        const std::optional<QUrl> url = importUrl(prelude, i, m_importing.back());
        if (!url || !m_sheets || m_importing.size() > size_t(kMaxRuleNesting) ||
            std::find(m_importing.begin(), m_importing.end(), *url) != m_importing.end() ||
            !sameOrigin(*url, m_sheets->pageUrl))
            return;
        const QByteArray* found = m_sheets->sheetFor(*url, m_rules.quirks);
        if (!found ||
            !screenMatchesMedia(std::vector<CssToken>(prelude.begin() + qsizetype(i), prelude.end())))
            return;
        sheet(withoutByteOrderMark(*found), *url);
    }

    void skipBlock(SheetReader& reader)
    {
        while (reader.current().is(Type::LeftCurly) && !shouldStop())
            reader.component(nullptr, 0);
    }

    void qualifiedRule(SheetReader& reader)
    {
        std::vector<CssToken> prelude;
        while (!reader.current().is(Type::End) && !reader.current().is(Type::LeftCurly) && !shouldStop())
            reader.component(&prelude, kMaxPreludeTokens + 1);
        if (!reader.current().is(Type::LeftCurly))
            return;
        reader.advance();
        std::vector<Declaration> declarations;
        reader.declarations(declarations);
        // Rules that say nothing innerText reads are not kept at all.
        if (declarations.empty() || prelude.size() > kMaxPreludeTokens)
            return;
        *m_work += prelude.size();
        std::optional<std::vector<Selector>> selectors = parseSelectorList(prelude, reader.text());
        if (!selectors)
            return;
        const auto first = uint32_t(m_rules.declarations.size());
        m_rules.declarations.insert(m_rules.declarations.end(), declarations.begin(), declarations.end());
        for (Selector& selector : *selectors) {
            Rule rule;
            rule.selector = std::move(selector);
            rule.firstDeclaration = first;
            rule.declarationCount = uint32_t(declarations.size());
            rule.order = uint32_t(m_rules.rules.size());
            m_rules.bytes += footprint(rule.selector);
            m_rules.rules.push_back(std::move(rule));
            m_rules.file(uint32_t(m_rules.rules.size() - 1));
        }
        m_rules.bytes += declarations.size() * sizeof(Declaration);
        m_stopped = m_stopped || m_rules.bytes > m_rules.byteBudget;
    }

    // About what a kept selector takes, its rule and its place in an index
    // included: enough to keep a sheet of a million tiny rules from taking
    // gigabytes.
    static std::size_t footprint(const Selector& selector)
    {
        std::size_t bytes = sizeof(Rule) + 96;
        for (const CompoundSelector& compound : selector.compounds) {
            bytes += sizeof(CompoundSelector) + std::size_t(compound.type.capacity()) + 32;
            for (const SimpleSelector& simple : compound.simple)
                bytes += sizeof(SimpleSelector) +
                         std::size_t(simple.name.capacity() + simple.value.capacity()) +
                         simple.alternatives.capacity() * sizeof(uint32_t) + 64;
        }
        return bytes;
    }

    CascadeRules& m_rules;
    std::uint64_t* m_work;
    std::uint64_t m_budget;
    const std::atomic<bool>* m_cancelled;
    std::uint64_t m_nextCheck = 0;
    bool m_stopped = false;
    const PageStyleSheets* m_sheets = nullptr;
    // The sheets being read, each importing the next.
    std::vector<QUrl> m_importing;
    std::vector<bool> m_importsAllowed;
};

const GumboVector& childrenOf(const GumboNode* node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

QByteArrayView attributeValue(const GumboNode* element, const char* name)
{
    const GumboAttribute* attribute = gumbo_get_attribute(&element->v.element.attributes, name);
    return attribute ? QByteArrayView(attribute->value) : QByteArrayView();
}

bool mediaAttributeMatches(const GumboNode* element)
{
    const GumboAttribute* media = gumbo_get_attribute(&element->v.element.attributes, "media");
    if (!media)
        return true;
    std::uint64_t work = 0;
    CssTokenizer tokenizer(QByteArrayView(media->value), &work);
    std::vector<CssToken> tokens;
    for (CssToken t = tokenizer.next(); !t.is(Type::End) && tokens.size() < kMaxPreludeTokens;
         t = tokenizer.next())
        tokens.push_back(std::move(t));
    return screenMatchesMedia(tokens);
}

// Calls visit with every <style> and <link> of the document, in document
// order, wherever it is; none inside a template, whose content is not part
// of the page, nor in noscript, which a browser that runs scripts reads as
// text. False when cancelled first.
template <typename Visit>
bool visitSheetElements(const GumboOutput& tree, std::uint64_t* work, const std::atomic<bool>* cancelled,
                        Visit visit)
{
    std::vector<const GumboNode*> pending{tree.document};
    while (!pending.empty()) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return false;
        const GumboNode* node = pending.back();
        pending.pop_back();
        ++*work;
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboTag tag = node->v.element.tag;
            if (tag == GUMBO_TAG_NOSCRIPT)
                continue;
            if (tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_LINK) {
                if (!visit(node))
                    return true;
                continue;
            }
        }
        // Only elements hold sheets: text, the most of a log's nodes, is never looked at.
        const GumboVector& children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT)
                pending.push_back(child);
        }
    }
    return true;
}

const GumboNode* childElement(const GumboNode* parent, GumboTag tag)
{
    if (!parent)
        return nullptr;
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag &&
            child->v.element.tag_namespace == GUMBO_NAMESPACE_HTML)
            return child;
    }
    return nullptr;
}

// The page's address, or where its first <base href> points.
QUrl documentBase(const GumboOutput& tree, const QUrl& pageUrl)
{
    const GumboNode* head = childElement(tree.root, GUMBO_TAG_HEAD);
    const GumboNode* base = childElement(head, GUMBO_TAG_BASE);
    const QByteArrayView href = base ? attributeValue(base, "href") : QByteArrayView();
    if (href.isEmpty())
        return pageUrl;
    const QUrl resolved = pageUrl.resolved(QUrl(QString::fromUtf8(trimmedAscii(href))));
    return resolved.isValid() ? resolved : pageUrl;
}

// Where a <link rel=stylesheet> points, when it is a sheet of the page's
// own origin for a screen.
std::optional<QUrl> linkedSheetUrl(const GumboNode* link, const QUrl& base, const QUrl& pageUrl)
{
    bool stylesheet = false;
    bool alternate = false;
    const QByteArrayView rel = attributeValue(link, "rel");
    for (qsizetype i = 0; i < rel.size();) {
        while (i < rel.size() && isAsciiWhitespace(rel[i]))
            ++i;
        qsizetype end = i;
        while (end < rel.size() && !isAsciiWhitespace(rel[end]))
            ++end;
        const QByteArrayView word = rel.sliced(i, end - i);
        stylesheet = stylesheet || word.compare("stylesheet", Qt::CaseInsensitive) == 0;
        alternate = alternate || word.compare("alternate", Qt::CaseInsensitive) == 0;
        i = end;
    }
    const QByteArrayView href = trimmedAscii(attributeValue(link, "href"));
    const GumboAttribute* type = gumbo_get_attribute(&link->v.element.attributes, "type");
    // A disabled link is a sheet the page has turned off.
    if (!stylesheet || alternate || href.isEmpty() ||
        gumbo_get_attribute(&link->v.element.attributes, "disabled") ||
        (type && *type->value && QByteArrayView(type->value).compare("text/css", Qt::CaseInsensitive) != 0) ||
        !mediaAttributeMatches(link))
        return std::nullopt;
    const QUrl url = base.resolved(QUrl(QString::fromUtf8(href))).adjusted(QUrl::RemoveFragment);
    if (!url.isValid() || !sameOrigin(url, pageUrl))
        return std::nullopt;
    return url;
}

// The text of a <style> element that applies, or nullopt.
std::optional<QByteArray> styleElementText(const GumboNode* element)
{
    const GumboAttribute* type = gumbo_get_attribute(&element->v.element.attributes, "type");
    if (type && *type->value && QByteArrayView(type->value).compare("text/css", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    if (!mediaAttributeMatches(element))
        return std::nullopt;
    QByteArray text;
    const GumboVector& children = element->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
            text.append(child->v.text.text);
    }
    return text;
}

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
    while (!reader.current().is(Type::End))
        reader.declarations(declarations);
    for (const Declaration& d : declarations) {
        const size_t p = size_t(d.property);
        if (style.important[p] && !d.important)
            continue;
        style.values[p] = d.value;
        style.important[p] = d.important;
    }
    return style;
}

} // namespace

Cascade::Cascade() = default;
Cascade::~Cascade() = default;
Cascade::Cascade(Cascade&&) noexcept = default;
Cascade& Cascade::operator=(Cascade&&) noexcept = default;

std::optional<Cascade> Cascade::build(const GumboOutput& tree, const PageStyleSheets* sheets,
                                      std::uint64_t* work, std::uint64_t budget, std::size_t byteBudget,
                                      const std::atomic<bool>* cancelled)
{
    Cascade cascade;
    cascade.m_rules = std::make_unique<CascadeRules>();
    CascadeRules& rules = *cascade.m_rules;
    rules.byteBudget = byteBudget;
    rules.quirks = inQuirksMode(tree.document->v.document);
    SheetParser parser(rules, work, budget, cancelled);
    parser.setSheets(sheets);
    const QUrl base = sheets ? documentBase(tree, sheets->pageUrl) : QUrl();
    const bool complete = visitSheetElements(tree, work, cancelled, [&](const GumboNode* node) {
        if (node->v.element.tag == GUMBO_TAG_STYLE) {
            if (const std::optional<QByteArray> text = styleElementText(node))
                parser.sheet(*text, base);
        } else if (sheets) {
            const std::optional<QUrl> url = linkedSheetUrl(node, base, sheets->pageUrl);
            if (const QByteArray* found = url ? sheets->sheetFor(*url, rules.quirks) : nullptr)
                parser.sheet(withoutByteOrderMark(*found), *url);
        }
        return !parser.stopped();
    });
    if (!complete || parser.stopped() || *work > budget)
        return std::nullopt;
    const GumboNode* body = childElement(tree.root, GUMBO_TAG_BODY);
    if (rules.rules.empty() || !body)
        return cascade;

    // Each element of the body against the rules filed under its id, its
    // classes, its type and none, depth first, with its ancestors' names in
    // a filter that rejects most rules whose ancestors are not there.
    SelectorMatcher matcher(rules.quirks, work, budget, cancelled);
    AncestorFilter ancestors;
    for (const GumboNode* up = body->parent; up && up->type == GUMBO_NODE_ELEMENT; up = up->parent)
        ancestors.add(elementKeys(up, rules.quirks, nullptr));
    struct Visit {
        const GumboNode* element;
        unsigned next;
        size_t keys;
    };
    std::vector<Visit> stack;
    std::vector<QByteArray> classes;
    std::vector<uint32_t> keys;
    const auto enter = [&](const GumboNode* element) {
        std::array<std::uint64_t, size_t(CssProperty::Count)> best{};
        DeclaredStyle style;
        bool any = false;
        const auto consider = [&](const std::vector<uint32_t>& candidates) {
            for (const uint32_t index : candidates) {
                const Rule& rule = rules.rules[index];
                if (!ancestors.mayMatch(rule) || !matcher.matches(rule.selector, element))
                    continue;
                *work += rule.declarationCount;
                // The winner of each property: important first, then the
                // most specific, then the last, within a rule too.
                for (uint32_t d = 0; d < rule.declarationCount; ++d) {
                    const Declaration& declaration = rules.declarations[rule.firstDeclaration + d];
                    const std::uint64_t rank = (std::uint64_t(declaration.important) << 63) |
                                               (std::uint64_t(rule.selector.specificity) << 32) |
                                               (rule.order + 1u);
                    const size_t p = size_t(declaration.property);
                    if (rank >= best[p]) {
                        best[p] = rank;
                        style.values[p] = declaration.value;
                        style.important[p] = declaration.important;
                        any = true;
                    }
                }
            }
        };
        const auto add = [&](const QHash<QByteArray, std::vector<uint32_t>>& index, const QByteArray& key) {
            const auto found = index.constFind(key);
            if (found != index.constEnd())
                consider(*found);
        };
        classes.clear();
        const std::vector<uint32_t> own = elementKeys(element, rules.quirks, &classes);
        *work += own.size();
        const QByteArrayView id = attributeValue(element, "id");
        if (!id.isEmpty())
            add(rules.byId, rules.quirks ? id.toByteArray().toLower() : id.toByteArray());
        for (const QByteArray& name : classes)
            add(rules.byClass, name);
        const GumboTag tag = element->v.element.tag;
        if (tag != GUMBO_TAG_UNKNOWN)
            consider(rules.byKnownType[tag]);
        else
            add(rules.byType, tagNameOf(element));
        consider(rules.universal);
        if (any)
            cascade.m_styles.emplace(element, style);
        stack.push_back({element, 0, keys.size()});
        keys.insert(keys.end(), own.begin(), own.end());
        ancestors.add(own);
    };
    enter(body);
    while (!stack.empty()) {
        if ((cancelled && cancelled->load(std::memory_order_relaxed)) || *work > budget || matcher.stopped())
            return std::nullopt;
        Visit& top = stack.back();
        const GumboVector& children = top.element->v.element.children;
        if (top.next < children.length) {
            const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
            if (child->type == GUMBO_NODE_ELEMENT)
                enter(child);
            continue;
        }
        ancestors.remove(keys.begin() + qsizetype(top.keys), keys.end());
        keys.resize(top.keys);
        stack.pop_back();
    }
    if (matcher.stopped())
        return std::nullopt;
    return cascade;
}

std::vector<QUrl> linkedStyleSheets(const GumboOutput& tree, const QUrl& pageUrl, std::uint64_t* work,
                                    const std::atomic<bool>* cancelled)
{
    std::vector<QUrl> urls;
    const QUrl base = documentBase(tree, pageUrl);
    const auto add = [&urls](const QUrl& url) {
        if (std::find(urls.begin(), urls.end(), url) == urls.end())
            urls.push_back(url);
    };
    visitSheetElements(tree, work, cancelled, [&](const GumboNode* node) {
        if (node->v.element.tag == GUMBO_TAG_LINK) {
            if (const std::optional<QUrl> url = linkedSheetUrl(node, base, pageUrl))
                add(*url);
        } else if (const std::optional<QByteArray> text = styleElementText(node)) {
            // A <style> element's own @imports are the page's sheets too.
            for (const QUrl& url : importedStyleSheets(*text, base, pageUrl))
                add(url);
        }
        return true;
    });
    return urls;
}

std::vector<QUrl> importedStyleSheets(QByteArrayView sheet, const QUrl& sheetUrl, const QUrl& pageUrl)
{
    std::vector<QUrl> urls;
    std::uint64_t work = 0;
    SheetReader reader(withoutByteOrderMark(sheet), &work);
    // Imports come first, after at most a @charset and @layer statements.
    for (;;) {
        const CssToken& t = reader.current();
        if (t.is(Type::Whitespace) || t.is(Type::Cdo) || t.is(Type::Cdc)) {
            reader.advance();
            continue;
        }
        if (!t.is(Type::AtKeyword))
            break;
        const QByteArray name = t.text.toLower();
        if (name != "import" && name != "charset" && name != "layer")
            break;
        reader.advance();
        std::vector<CssToken> prelude;
        while (!reader.current().is(Type::End) && !reader.current().is(Type::Semicolon) &&
               !reader.current().is(Type::LeftCurly))
            reader.component(&prelude, kMaxPreludeTokens);
        if (!reader.current().is(Type::Semicolon))
            break;
        reader.advance();
        size_t i = 0;
        while (i < prelude.size() && prelude[i].is(Type::Whitespace))
            ++i;
        const std::optional<QUrl> url = name == "import" ? importUrl(prelude, i, sheetUrl) : std::nullopt;
        if (url && sameOrigin(*url, pageUrl) && std::find(urls.begin(), urls.end(), *url) == urls.end())
            urls.push_back(*url);
    }
    return urls;
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
