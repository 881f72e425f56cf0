// Style rules and what is nested in them: declarations, style rules
// relative to their parent, and group rules whose declarations are the
// parent's.

#include "css/droppedrules.h"
#include "css/limits.h"
#include "css/sheetparser.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace parlowen {

using Type = CssToken::Type;

void SheetParser::qualifiedRule(SheetReader& reader, const RuleContext& context)
{
    const bool nested = bool(context.parent);
    std::vector<CssToken> prelude;
    prelude.reserve(kTypicalSelectorTokens);
    while (!reader.current().is(Type::End) && !reader.current().is(Type::LeftCurly) &&
           !(nested && (reader.current().is(Type::Semicolon) || reader.current().is(Type::RightCurly))) &&
           !stopped())
        reader.component(&prelude, kMaxSelectorListTokens + 1);
    if (nested && reader.current().is(Type::Semicolon)) {
        // Nested, a rule without a block ends at a semicolon, not at the
        // next block.
        reader.advance();
        return;
    }
    if (!reader.current().is(Type::LeftCurly))
        return;
    m_work.count(prelude.size());
    SelectorNesting nesting;
    nesting.ampersand = context.parent;
    nesting.ampersandSpecificity = context.parentSpecificity;
    if (context.scope)
        nesting.scope = std::shared_ptr<const std::vector<Selector>>(context.scope, &context.scope->start);
    if (context.scope && !context.parent) {
        nesting.directlyInScope = true;
        nesting.ampersand = nesting.scope;
        for (const Selector& start : context.scope->start)
            nesting.ampersandSpecificity = std::max(nesting.ampersandSpecificity, start.specificity);
    }
    SelectorList list;
    if (prelude.size() <= kMaxSelectorListTokens)
        list = parseSelectorList(prelude, reader.text(), &nesting);
    if (list.selectors.empty()) {
        m_rules.rulesPastLimits += prelude.size() > kMaxSelectorListTokens || list.pastLimit ? 1 : 0;
        // What it would do to the text is unknown, but for a rule that
        // styles pseudo-elements alone.
        if (skipBlockNotingText(reader) && !stylesPseudoElementsOnly(prelude))
            m_rules.pageDoubtful = true;
        return;
    }
    std::vector<Selector>* selectors = &list.selectors;
    RuleContext inner = context;
    ++inner.depth;
    if (inner.depth > kMaxRuleNesting) {
        drop(reader);
        return;
    }
    inner.parentSpecificity = 0;
    for (const Selector& selector : *selectors)
        inner.parentSpecificity = std::max(inner.parentSpecificity, selector.specificity);
    inner.parent = std::make_shared<const std::vector<Selector>>(std::move(*selectors));
    reader.advance();
    styleBlock(reader, inner);
}

void SheetParser::styleBlock(SheetReader& reader, const RuleContext& context)
{
    std::vector<Declaration> declarations;
    // Declarations after a nested rule are a rule of their own, after it,
    // with the same selectors.
    // Unread, a declaration leaves its rule's elements in doubt.
    UnreadDeclarations unread;
    const auto flush = [&] {
        if (!declarations.empty() || unread.textValue)
            addRules(*context.parent, declarations, unread.textValue, context);
        declarations.clear();
        unread = {};
    };
    while (!stopped()) {
        const CssToken& t = reader.current();
        if (t.is(Type::End))
            break;
        if (t.is(Type::RightCurly)) {
            reader.advance();
            break;
        }
        if (t.is(Type::Whitespace) || t.is(Type::Semicolon)) {
            reader.advance();
            continue;
        }
        if (t.is(Type::Ident) && declaration(reader, declarations, &unread))
            continue;
        flush();
        if (reader.current().is(Type::AtKeyword))
            atRule(reader, context, false);
        else
            qualifiedRule(reader, context);
    }
    flush();
}

bool SheetParser::declaration(SheetReader& reader, std::vector<Declaration>& out, UnreadDeclarations* unread)
{
    const SheetReader::Mark start = reader.mark();
    const QByteArray name = reader.current().text;
    reader.advance();
    while (reader.current().is(Type::Whitespace))
        reader.advance();
    const bool colon = reader.current().is(Type::Colon);
    if (colon)
        reader.advance();
    // A custom property may hold any value, for var() to fill in.
    const size_t limit = name.startsWith("--") ? kMaxCustomValueTokens : kMaxValueTokens;
    std::vector<CssToken>& value = reader.valueTokens();
    bool block = false;
    while (!reader.current().is(Type::End) && !reader.current().is(Type::Semicolon) &&
           !reader.current().is(Type::RightCurly) && !stopped()) {
        if (reader.current().is(Type::Whitespace)) {
            reader.advance();
            continue;
        }
        block = block || reader.current().is(Type::LeftCurly);
        reader.component(&value, limit + 1);
    }
    // What is no declaration, a {} block in a value among them, is read
    // again as a nested rule; a custom property may hold a block.
    if (!colon || (block && !name.startsWith("--"))) {
        reader.rewind(start);
        return false;
    }
    readDeclaration(name, value, limit, reader.text(), out, unread);
    return true;
}

void SheetParser::addRules(const std::vector<Selector>& selectors,
                           const std::vector<Declaration>& declarations, bool doubtful,
                           const RuleContext& context)
{
    const auto first = uint32_t(m_rules.declarations.size());
    m_rules.declarations.insert(m_rules.declarations.end(), declarations.begin(), declarations.end());
    for (const Selector& selector : selectors) {
        Rule rule;
        rule.selector = selector;
        rule.scope = context.scope;
        rule.layer = context.layer;
        rule.doubtful = doubtful;
        rule.firstDeclaration = first;
        rule.declarationCount = uint32_t(declarations.size());
        rule.order = uint32_t(m_rules.rules.size());
        m_rules.bytes += footprint(rule.selector);
        m_rules.rules.push_back(std::move(rule));
        m_rules.file(uint32_t(m_rules.rules.size() - 1));
    }
    m_rules.bytes += declarations.size() * sizeof(Declaration);
    for (const Declaration& declaration : declarations)
        m_rules.bytes += std::size_t(declaration.name.size() + declaration.text.size());
    m_stopped = m_stopped || m_rules.bytes > m_rules.byteBudget;
}

std::size_t SheetParser::footprint(const Selector& selector)
{
    std::size_t bytes = sizeof(Rule) + 96;
    for (const CompoundSelector& compound : selector.compounds) {
        bytes += sizeof(CompoundSelector) + std::size_t(compound.type.capacity()) + 32;
        for (const SimpleSelector& simple : compound.simple) {
            bytes +=
                sizeof(SimpleSelector) + std::size_t(simple.name.capacity() + simple.value.capacity()) + 64;
            for (const Selector& argument : simple.arguments)
                bytes += footprint(argument);
        }
    }
    return bytes;
}

} // namespace parlowen
