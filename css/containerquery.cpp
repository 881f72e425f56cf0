#include "css/containerquery.h"

#include <optional>

namespace parlowen {

namespace {

using Type = CssToken::Type;

class QueryReader {
public:
    explicit QueryReader(const std::vector<CssToken>& tokens) : m_tokens(tokens) {}

    // nullopt: no query at all.
    std::optional<bool> condition(size_t& i, size_t end)
    {
        skipSpace(i, end);
        if (i < end && m_tokens[i].isIdent("not")) {
            ++i;
            const std::optional<bool> operand = inParens(i, end);
            return operand ? std::optional(!*operand) : std::nullopt;
        }
        std::optional<bool> result = inParens(i, end);
        for (skipSpace(i, end);
             result && i < end && (m_tokens[i].isIdent("and") || m_tokens[i].isIdent("or"));
             skipSpace(i, end)) {
            const bool conjunction = m_tokens[i++].isIdent("and");
            const std::optional<bool> operand = inParens(i, end);
            if (!operand)
                return std::nullopt;
            result = conjunction ? *result && *operand : *result || *operand;
        }
        return result;
    }

    void skipSpace(size_t& i, size_t end) const
    {
        while (i < end && m_tokens[i].is(Type::Whitespace))
            ++i;
    }

    // A size feature, anywhere in the query, asks for a size container.
    bool asksSizeContainer() const { return m_asksSizeContainer; }

private:
    std::optional<bool> inParens(size_t& i, size_t end)
    {
        skipSpace(i, end);
        if (i >= end || (!m_tokens[i].is(Type::LeftParen) && !m_tokens[i].is(Type::Function)))
            return std::nullopt;
        const bool style =
            m_tokens[i].is(Type::Function) && m_tokens[i].text.compare("style", Qt::CaseInsensitive) == 0;
        const size_t open = i;
        int nesting = 0;
        for (; i < end; ++i) {
            const Type t = m_tokens[i].type;
            if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare)
                ++nesting;
            else if ((t == Type::RightParen || t == Type::RightSquare) && --nesting == 0)
                break;
        }
        if (i >= end)
            return std::nullopt;
        const size_t close = i++;
        size_t inner = open + 1;
        skipSpace(inner, close);
        if (m_tokens[open].is(Type::LeftParen) && inner < close &&
            (m_tokens[inner].isIdent("not") || m_tokens[inner].is(Type::LeftParen) ||
             m_tokens[inner].is(Type::Function))) {
            // A query in parentheses.
            const std::optional<bool> nested = condition(inner, close);
            skipSpace(inner, close);
            if (nested && inner == close)
                return nested;
        }
        m_asksSizeContainer = m_asksSizeContainer || !style;
        return false;
    }

    const std::vector<CssToken>& m_tokens;
    bool m_asksSizeContainer = false;
};

} // namespace

bool containerQueryMatches(const std::vector<CssToken>& prelude)
{
    QueryReader reader(prelude);
    size_t i = 0;
    reader.skipSpace(i, prelude.size());
    if (i < prelude.size() && prelude[i].is(Type::Ident) && !prelude[i].isIdent("not"))
        return false;
    const std::optional<bool> truth = reader.condition(i, prelude.size());
    reader.skipSpace(i, prelude.size());
    return truth == true && !reader.asksSizeContainer() && i == prelude.size();
}

} // namespace parlowen
