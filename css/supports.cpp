#include "css/supports.h"

#include "css/declaration.h"
#include "css/selector.h"
#include "css/tokenspans.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace parlowen {

namespace {

using Type = CssToken::Type;

// Properties router sheets ask about that innerText does not depend on,
// with the keywords Chromium takes; an empty list takes any value.
struct KnownProperty {
    std::string_view name;
    std::array<std::string_view, 6> keywords;
};

constexpr std::array<KnownProperty, 22> kKnownProperties = {{
    {"position", {"static", "relative", "absolute", "fixed", "sticky", "-webkit-sticky"}},
    {"float", {"left", "right", "none", "inline-start", "inline-end"}},
    {"box-sizing", {"content-box", "border-box"}},
    {"flex-wrap", {"nowrap", "wrap", "wrap-reverse"}},
    {"flex-direction", {"row", "row-reverse", "column", "column-reverse"}},
    {"overflow", {"visible", "hidden", "clip", "scroll", "auto", "overlay"}},
    {"appearance", {"none", "auto", "button", "textfield", "menulist-button"}},
    {"-webkit-appearance", {"none", "auto", "button", "textfield", "menulist-button"}},
    {"user-select", {"none", "auto", "text", "all", "contain"}},
    {"pointer-events", {"none", "auto", "all", "visiblepainted", "fill", "stroke"}},
    {"object-fit", {"fill", "contain", "cover", "none", "scale-down"}},
    {"text-overflow", {"clip", "ellipsis"}},
    {"gap", {}},
    {"grid-template-columns", {}},
    {"aspect-ratio", {}},
    {"backdrop-filter", {}},
    {"-webkit-backdrop-filter", {}},
    {"inset", {}},
    {"transform", {}},
    {"filter", {}},
    {"color", {}},
    {"background-color", {}},
}};

bool declarationHolds(const std::vector<CssToken>& tokens, size_t begin, size_t end)
{
    const QByteArray name = tokens[begin].text.toLower();
    std::vector<CssToken> value;
    for (size_t i = skipSpace(tokens, begin + 1, end) + 1; i < end; ++i) {
        if (!tokens[i].is(Type::Whitespace))
            value.push_back(tokens[i]);
    }
    if (name.startsWith("--"))
        return true;
    if (value.empty())
        return false;
    // Only whether it is read matters here, not what it says.
    std::vector<Declaration> read;
    interpret(name, value, QByteArray(), read);
    if (!read.empty())
        return true;
    const std::string_view n(name.constData(), size_t(name.size()));
    const auto known = std::find_if(kKnownProperties.begin(), kKnownProperties.end(),
                                    [n](const KnownProperty& p) { return p.name == n; });
    if (known == kKnownProperties.end())
        return false;
    if (known->keywords.front().empty())
        return true;
    const QByteArray word = value.front().text.toLower();
    return value.size() == 1 && value.front().is(Type::Ident) &&
           std::find(known->keywords.begin(), known->keywords.end(),
                     std::string_view(word.constData(), size_t(word.size()))) != known->keywords.end();
}

class ConditionReader {
public:
    ConditionReader(const std::vector<CssToken>& tokens, const QByteArray& text)
        : m_tokens(tokens), m_text(text)
    {}

    // nullopt: no condition at all.
    std::optional<bool> condition(size_t begin, size_t end, int depth) const
    {
        size_t i = skipSpace(m_tokens, begin, end);
        if (i < end && m_tokens[i].isIdent("not")) {
            size_t after = 0;
            const std::optional<bool> operand = inParens(skipSpace(m_tokens, i + 1, end), end, after, depth);
            if (!operand || skipSpace(m_tokens, after, end) != end)
                return std::nullopt;
            return !*operand;
        }
        size_t after = 0;
        std::optional<bool> result = inParens(i, end, after, depth);
        QByteArray joiner;
        for (i = skipSpace(m_tokens, after, end); result && i < end; i = skipSpace(m_tokens, after, end)) {
            const CssToken& word = m_tokens[i];
            if (!word.is(Type::Ident) || (!word.isIdent("and") && !word.isIdent("or")) ||
                (!joiner.isEmpty() && !word.isIdent(joiner)))
                return std::nullopt;
            joiner = word.text.toLower();
            const std::optional<bool> operand = inParens(skipSpace(m_tokens, i + 1, end), end, after, depth);
            if (!operand)
                return std::nullopt;
            result = joiner == "and" ? *result && *operand : *result || *operand;
        }
        return result;
    }

private:
    std::optional<bool> inParens(size_t i, size_t end, size_t& after, int depth) const
    {
        if (i >= end || depth > 32)
            return std::nullopt;
        const CssToken& t = m_tokens[i];
        const size_t close = closing(m_tokens, i, end);
        if (close >= end || (!t.is(Type::LeftParen) && !t.is(Type::Function)))
            return std::nullopt;
        after = close + 1;
        if (t.is(Type::Function)) {
            if (t.text.compare("selector", Qt::CaseInsensitive) != 0)
                return false;
            const std::vector<CssToken> inner(m_tokens.begin() + qsizetype(i + 1),
                                              m_tokens.begin() + qsizetype(close));
            return parseSelectorList(inner, m_text).selectors.size() == 1;
        }
        const size_t first = skipSpace(m_tokens, i + 1, close);
        if (first < close && m_tokens[first].is(Type::Ident) && !m_tokens[first].isIdent("not")) {
            const size_t colon = skipSpace(m_tokens, first + 1, close);
            if (colon < close && m_tokens[colon].is(Type::Colon))
                return declarationHolds(m_tokens, first, close);
        }
        // A condition in parentheses, or anything else, which is false.
        return condition(i + 1, close, depth + 1).value_or(false);
    }

    const std::vector<CssToken>& m_tokens;
    const QByteArray& m_text;
};

} // namespace

bool supportsCondition(const std::vector<CssToken>& tokens, size_t begin, size_t end, const QByteArray& text)
{
    return ConditionReader(tokens, text).condition(begin, end, 0).value_or(false);
}

} // namespace parlowen
