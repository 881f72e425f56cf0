#include "css/sheetparser.h"

#include "css/limits.h"
#include "css/mediaquery.h"
#include "css/selector.h"
#include "css/sheeturls.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace parlowen {

using Type = CssToken::Type;

void SheetParser::sheet(QByteArrayView text, const QUrl& url)
{
    SheetReader reader(text, m_work, m_budget, m_cancelled);
    m_importing.push_back(url);
    m_importsAllowed.push_back(true);
    ruleList(reader, 0, true);
    m_importsAllowed.pop_back();
    m_importing.pop_back();
}


bool SheetParser::shouldStop()
{
    if (*m_work < m_nextCheck)
        return m_stopped;
    m_nextCheck = *m_work + kCheckEvery;
    m_stopped =
        m_stopped || *m_work > m_budget || (m_cancelled && m_cancelled->load(std::memory_order_relaxed));
    return m_stopped;
}

void SheetParser::ruleList(SheetReader& reader, int depth, bool topLevel)
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

void SheetParser::atRule(SheetReader& reader, int depth, bool importAllowed)
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

void SheetParser::import(const std::vector<CssToken>& prelude)
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

void SheetParser::skipBlock(SheetReader& reader)
{
    while (reader.current().is(Type::LeftCurly) && !shouldStop())
        reader.component(nullptr, 0);
}

void SheetParser::qualifiedRule(SheetReader& reader)
{
    std::vector<CssToken> prelude;
    while (!reader.current().is(Type::End) && !reader.current().is(Type::LeftCurly) && !shouldStop())
        reader.component(&prelude, kMaxSelectorListTokens + 1);
    if (!reader.current().is(Type::LeftCurly))
        return;
    reader.advance();
    std::vector<Declaration> declarations;
    reader.declarations(declarations);
    // Rules that say nothing innerText reads are not kept at all.
    if (declarations.empty())
        return;
    SelectorList list;
    if (prelude.size() <= kMaxSelectorListTokens) {
        *m_work += prelude.size();
        list = parseSelectorList(prelude, reader.text());
    }
    m_rules.rulesPastLimits += prelude.size() > kMaxSelectorListTokens || list.pastLimit ? 1 : 0;
    if (list.selectors.empty())
        return;
    const auto first = uint32_t(m_rules.declarations.size());
    m_rules.declarations.insert(m_rules.declarations.end(), declarations.begin(), declarations.end());
    for (Selector& selector : list.selectors) {
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
