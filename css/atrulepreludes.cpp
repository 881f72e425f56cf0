#include "css/atrulepreludes.h"

#include "css/supports.h"
#include "css/tokenspans.h"

#include <memory>

namespace parlowen {

namespace {

using Type = CssToken::Type;

// The selectors in the parentheses opened at open; i moves past them.
std::optional<std::vector<Selector>> selectorsInParens(const std::vector<CssToken>& prelude, size_t& i,
                                                       const QByteArray& text, const SelectorNesting* nesting)
{
    if (i >= prelude.size() || !prelude[i].is(Type::LeftParen))
        return std::nullopt;
    const size_t close = closing(prelude, i, prelude.size());
    if (close >= prelude.size())
        return std::nullopt;
    const std::vector<CssToken> inner(prelude.begin() + qsizetype(i + 1), prelude.begin() + qsizetype(close));
    i = close + 1;
    SelectorList list = parseSelectorList(inner, text, nesting);
    if (list.selectors.empty())
        return std::nullopt;
    return std::move(list.selectors);
}

} // namespace

std::optional<std::vector<QByteArray>> layerNames(const std::vector<CssToken>& prelude, size_t begin,
                                                  size_t end)
{
    std::vector<QByteArray> names;
    size_t i = skipSpace(prelude, begin, end);
    while (i < end) {
        if (!prelude[i].is(Type::Ident))
            return std::nullopt;
        QByteArray name = prelude[i++].text;
        while (i + 1 < end && prelude[i].isDelim('.') && prelude[i + 1].is(Type::Ident)) {
            name += '.' + prelude[i + 1].text;
            i += 2;
        }
        names.push_back(std::move(name));
        i = skipSpace(prelude, i, end);
        if (i < end && !prelude[i].is(Type::Comma))
            return std::nullopt;
        if (i < end && (i = skipSpace(prelude, i + 1, end)) == end)
            return std::nullopt;
    }
    return names;
}

std::optional<ScopeRange> scopeRange(const std::vector<CssToken>& prelude, const QByteArray& text)
{
    ScopeRange range;
    size_t i = skipSpace(prelude, 0, prelude.size());
    std::optional<std::vector<Selector>> start = selectorsInParens(prelude, i, text, nullptr);
    if (!start)
        return std::nullopt;
    range.start = std::move(*start);
    i = skipSpace(prelude, i, prelude.size());
    if (i < prelude.size()) {
        if (!prelude[i].isIdent("to"))
            return std::nullopt;
        i = skipSpace(prelude, i + 1, prelude.size());
        SelectorNesting nesting;
        nesting.scope = std::make_shared<const std::vector<Selector>>(range.start);
        std::optional<std::vector<Selector>> limit = selectorsInParens(prelude, i, text, &nesting);
        if (!limit || skipSpace(prelude, i, prelude.size()) != prelude.size())
            return std::nullopt;
        range.limit = std::move(*limit);
    }
    return range;
}

std::optional<ImportConditions> importConditions(const std::vector<CssToken>& prelude, size_t i,
                                                 const QByteArray& text)
{
    ImportConditions conditions;
    i = skipSpace(prelude, i, prelude.size());
    if (i < prelude.size() &&
        (prelude[i].isIdent("layer") ||
         (prelude[i].is(Type::Function) && prelude[i].text.compare("layer", Qt::CaseInsensitive) == 0))) {
        conditions.layered = true;
        if (prelude[i].is(Type::Function)) {
            const size_t close = closing(prelude, i, prelude.size());
            const std::optional<std::vector<QByteArray>> names = layerNames(prelude, i + 1, close);
            if (close >= prelude.size() || !names || names->size() != 1)
                return std::nullopt;
            conditions.layerName = names->front();
            i = close;
        }
        i = skipSpace(prelude, i + 1, prelude.size());
    }
    if (i < prelude.size() && prelude[i].is(Type::Function) &&
        prelude[i].text.compare("supports", Qt::CaseInsensitive) == 0) {
        const size_t close = closing(prelude, i, prelude.size());
        if (close >= prelude.size())
            return std::nullopt;
        // supports() takes a bare declaration as well as a condition.
        const size_t first = skipSpace(prelude, i + 1, close);
        const size_t colon = first < close ? skipSpace(prelude, first + 1, close) : close;
        const bool bare = first < close && prelude[first].is(Type::Ident) && colon < close &&
                          prelude[colon].is(Type::Colon);
        std::vector<CssToken> condition(prelude.begin() + qsizetype(i + 1),
                                        prelude.begin() + qsizetype(close));
        if (bare) {
            CssToken open;
            open.type = Type::LeftParen;
            CssToken shut;
            shut.type = Type::RightParen;
            condition.insert(condition.begin(), open);
            condition.push_back(shut);
        }
        conditions.supported = supportsCondition(condition, 0, condition.size(), text);
        i = skipSpace(prelude, close + 1, prelude.size());
    }
    conditions.media.assign(prelude.begin() + qsizetype(i), prelude.end());
    return conditions;
}

} // namespace parlowen
