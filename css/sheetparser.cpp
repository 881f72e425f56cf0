#include "css/sheetparser.h"

#include "css/atrulepreludes.h"
#include "css/containerquery.h"
#include "css/droppedrules.h"
#include "css/limits.h"
#include "css/mediaquery.h"
#include "css/selector.h"
#include "css/sheeturls.h"
#include "css/supports.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace parlowen {

using Type = CssToken::Type;

void SheetParser::sheetIn(QByteArrayView text, const QUrl& url, const RuleContext& context)
{
    SheetReader reader(text, m_work);
    m_importing.push_back(url);
    m_importsAllowed.push_back(true);
    ruleList(reader, context, true);
    m_importsAllowed.pop_back();
    m_importing.pop_back();
}


void SheetParser::ruleList(SheetReader& reader, const RuleContext& context, bool topLevel)
{
    while (!stopped()) {
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
            atRule(reader, context, import && topLevel && m_importsAllowed.back());
        else
            qualifiedRule(reader, context);
    }
}

void SheetParser::atRule(SheetReader& reader, const RuleContext& context, bool importAllowed)
{
    const QByteArray name = reader.current().text.toLower();
    reader.advance();
    std::vector<CssToken> prelude;
    while (!reader.current().is(Type::End) && !reader.current().is(Type::Semicolon) &&
           !reader.current().is(Type::LeftCurly) && !reader.current().is(Type::RightCurly) &&
           !stopped())
        reader.component(&prelude, kMaxPreludeTokens);
    if (!reader.current().is(Type::LeftCurly)) {
        if (reader.current().is(Type::Semicolon))
            reader.advance();
        if (importAllowed)
            import(prelude, reader.text(), context);
        else if (name == "layer" && !context.parent)
            layerStatement(prelude, context);
        return;
    }
    if (prelude.size() >= kMaxPreludeTokens) {
        drop(reader);
        return;
    }
    const std::optional<RuleContext> inner = groupContext(name, prelude, reader, context);
    if (!inner) {
        // Rules of conditions that fail never apply; those of at-rules we
        // do not read, a browser may apply.
        // A container query answered without layout may be wrong.
        if (readsGroupRule(name, context) && name != "container")
            skipBlock(reader);
        else if (skipBlockNotingText(reader))
            m_rules.pageDoubtful = true;
        return;
    }
    if (inner->depth > kMaxRuleNesting) {
        drop(reader);
        return;
    }
    reader.advance();
    if (context.parent)
        styleBlock(reader, *inner);
    else
        ruleList(reader, *inner, false);
}

bool SheetParser::readsGroupRule(const QByteArray& name, const RuleContext& context)
{
    return name == "media" || name == "supports" || name == "layer" || name == "container" ||
           (name == "scope" && !context.parent && !context.scope);
}

std::optional<SheetParser::RuleContext> SheetParser::groupContext(const QByteArray& name,
                                                                  const std::vector<CssToken>& prelude,
                                                                  const SheetReader& reader,
                                                                  const RuleContext& context)
{
    RuleContext inner = context;
    ++inner.depth;
    if (name == "media")
        return screenMatchesMedia(prelude) ? std::optional(inner) : std::nullopt;
    if (name == "supports")
        return supportsCondition(prelude, 0, prelude.size(), reader.text()) ? std::optional(inner)
                                                                            : std::nullopt;
    if (name == "layer") {
        const std::optional<std::vector<QByteArray>> names = layerNames(prelude, 0, prelude.size());
        if (!names || names->size() > 1)
            return std::nullopt;
        inner.layer = names->empty() ? m_rules.layers.anonymous(context.layer)
                                     : m_rules.layers.named(context.layer, names->front());
        return inner;
    }
    if (name == "scope" && !context.parent && !context.scope) {
        std::optional<ScopeRange> range = scopeRange(prelude, reader.text());
        if (!range)
            return std::nullopt;
        inner.scope = std::make_shared<const ScopeRange>(std::move(*range));
        return inner;
    }
    if (name == "container")
        return containerQueryMatches(prelude) ? std::optional(inner) : std::nullopt;
    return std::nullopt;
}

void SheetParser::layerStatement(const std::vector<CssToken>& prelude, const RuleContext& context)
{
    const std::optional<std::vector<QByteArray>> names = layerNames(prelude, 0, prelude.size());
    if (!names)
        return;
    for (const QByteArray& layer : *names)
        m_rules.layers.named(context.layer, layer);
}

void SheetParser::import(const std::vector<CssToken>& prelude, const QByteArray& text,
                         const RuleContext& context)
{
    size_t i = 0;
    while (i < prelude.size() && prelude[i].is(Type::Whitespace))
        ++i;
    const std::optional<QUrl> url = importUrl(prelude, i, m_importing.back());
    const std::optional<ImportConditions> conditions =
        url ? importConditions(prelude, i, text) : std::nullopt;
    if (!conditions || !m_sheets ||
        std::find(m_importing.begin(), m_importing.end(), *url) != m_importing.end() ||
        !sameOrigin(*url, m_sheets->pageUrl))
        return;
    const QByteArray* found = m_sheets->sheetFor(*url, m_rules.quirks);
    if (!found || !conditions->supported || !screenMatchesMedia(conditions->media))
        return;
    if (m_importing.size() > size_t(kMaxRuleNesting)) {
        ++m_rules.rulesPastLimits;
        return;
    }
    RuleContext imported = context;
    if (conditions->layered)
        imported.layer = conditions->layerName.isEmpty()
                             ? m_rules.layers.anonymous(context.layer)
                             : m_rules.layers.named(context.layer, conditions->layerName);
    // Read in another encoding, its names may not be the page's.
    m_rules.pageDoubtful = m_rules.pageDoubtful || !readsAsUtf8(*found);
    sheetIn(withoutByteOrderMark(*found), *url, imported);
}

void SheetParser::skipBlock(SheetReader& reader)
{
    while (reader.current().is(Type::LeftCurly) && !stopped())
        reader.component(nullptr, 0);
}

void SheetParser::drop(SheetReader& reader)
{
    ++m_rules.rulesPastLimits;
    skipBlock(reader);
}

} // namespace parlowen
