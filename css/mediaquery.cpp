#include "css/mediaquery.h"

#include "css/mediafeatures.h"

#include <algorithm>
#include <optional>

namespace parlowen {

namespace {

using Type = CssToken::Type;


class MediaReader {
public:
    explicit MediaReader(const std::vector<CssToken>& tokens, size_t begin, size_t end)
        : m_tokens(tokens), m_pos(begin), m_end(end)
    {}

    // One query of the list: [not|only] type [and condition] | condition.
    bool query()
    {
        skipSpace();
        bool negate = false;
        if (peek().isIdent("not") || peek().isIdent("only")) {
            if (peek().isIdent("not") && !followedByParen()) {
                negate = true;
                ++m_pos;
            } else if (peek().isIdent("only")) {
                ++m_pos;
            }
            skipSpace();
        }
        bool result = true;
        if (peek().is(Type::Ident) && !peek().isIdent("not")) {
            const QByteArray type = peek().text.toLower();
            ++m_pos;
            if (type == "and" || type == "or" || type == "only")
                return false;
            result = type == "all" || type == "screen";
            skipSpace();
            if (atEnd())
                return negate != result;
            if (!peek().isIdent("and"))
                return false;
            ++m_pos;
            const std::optional<bool> rest = condition(0, false);
            if (!rest || !atEnd())
                return false;
            return negate != (result && *rest);
        }
        if (negate)
            return false;
        const std::optional<bool> all = condition(0, true);
        return all && atEnd() && *all;
    }

private:
    const CssToken& peek() const
    {
        static const CssToken end;
        return m_pos < m_end ? m_tokens[m_pos] : end;
    }
    bool atEnd()
    {
        skipSpace();
        return m_pos >= m_end;
    }
    void skipSpace()
    {
        while (m_pos < m_end && m_tokens[m_pos].is(Type::Whitespace))
            ++m_pos;
    }
    bool followedByParen() const
    {
        size_t i = m_pos + 1;
        while (i < m_end && m_tokens[i].is(Type::Whitespace))
            ++i;
        return i < m_end && m_tokens[i].is(Type::LeftParen);
    }

    // condition := term (("and" | "or") term)*, one kind of joiner only.
    std::optional<bool> condition(int depth, bool orAllowed)
    {
        std::optional<bool> value = term(depth);
        if (!value)
            return std::nullopt;
        QByteArray joiner;
        for (;;) {
            skipSpace();
            if (!(peek().isIdent("and") || (orAllowed && peek().isIdent("or"))))
                return value;
            const QByteArray word = peek().text.toLower();
            if (!joiner.isEmpty() && word != joiner)
                return std::nullopt;
            joiner = word;
            ++m_pos;
            const std::optional<bool> next = term(depth);
            if (!next)
                return std::nullopt;
            value = word == "and" ? (*value && *next) : (*value || *next);
        }
    }

    // term := "not" term | "(" condition ")" | "(" feature ")"
    std::optional<bool> term(int depth)
    {
        skipSpace();
        if (depth > 16)
            return std::nullopt;
        if (peek().isIdent("not")) {
            ++m_pos;
            const std::optional<bool> inner = term(depth + 1);
            return inner ? std::optional<bool>(!*inner) : std::nullopt;
        }
        if (!peek().is(Type::LeftParen))
            return std::nullopt;
        ++m_pos;
        skipSpace();
        std::optional<bool> value;
        if (peek().is(Type::LeftParen) || peek().isIdent("not"))
            value = condition(depth + 1, true);
        else
            value = feature();
        skipSpace();
        if (!peek().is(Type::RightParen))
            return std::nullopt;
        ++m_pos;
        return value;
    }

    static bool compare(double a, const QByteArray& op, double b)
    {
        if (op == "<")
            return a < b;
        if (op == "<=")
            return a <= b;
        if (op == ">")
            return a > b;
        if (op == ">=")
            return a >= b;
        return a == b;
    }

    // "[min-|max-]aspect-ratio: W / H" at m_pos, against the screen's.
    bool aspectRatioMatches(const QByteArray& name)
    {
        const CssToken& width = peek();
        ++m_pos;
        skipSpace();
        double height = 1;
        if (peek().isDelim('/')) {
            ++m_pos;
            skipSpace();
            if (!peek().is(Type::Number))
                return false;
            height = peek().number;
            ++m_pos;
        }
        if (!width.is(Type::Number) || width.number <= 0 || height <= 0)
            return false;
        // Screen width / height against W / H, without dividing.
        const double screen = kScreenWidth * height, wanted = width.number * kScreenHeight;
        return name.startsWith("min-")   ? screen >= wanted
               : name.startsWith("max-") ? screen <= wanted
                                         : screen == wanted;
    }

    // A comparison operator, as one or two delimiters.
    std::optional<QByteArray> comparison()
    {
        skipSpace();
        if (!peek().is(Type::Delim) || (peek().delim != '<' && peek().delim != '>' && peek().delim != '='))
            return std::nullopt;
        QByteArray op(1, peek().delim);
        ++m_pos;
        if (op != "=" && peek().isDelim('=')) {
            op += '=';
            ++m_pos;
        }
        skipSpace();
        return op;
    }

    std::optional<double> readValue(const RangedFeature& feature)
    {
        return readMediaValue(m_tokens, m_pos, m_end, feature.kind);
    }

    // "name: value", min- and max- included.
    std::optional<bool> plainFeature(const QByteArray& name)
    {
        if (isKeywordFeature(name)) {
            const CssToken& keyword = peek();
            ++m_pos;
            return keyword.is(Type::Ident) ? keywordFeatureMatches(name, keyword.text) : std::nullopt;
        }
        if (name.endsWith("aspect-ratio"))
            return aspectRatioMatches(name);
        const bool bounded = name.startsWith("min-") || name.startsWith("max-");
        const RangedFeature* feature = rangedFeature(bounded ? QByteArrayView(name).sliced(4) : name);
        if (!feature) {
            ++m_pos;
            return false;
        }
        const std::optional<double> wanted = readValue(*feature);
        if (!wanted)
            return std::nullopt;
        return name.startsWith("min-")   ? feature->screen >= *wanted
               : name.startsWith("max-") ? feature->screen <= *wanted
                                         : feature->screen == *wanted;
    }

    // Inside the parentheses: "name", "name: value", or a range.
    std::optional<bool> feature()
    {
        if (peek().is(Type::Ident)) {
            const QByteArray name = peek().text.toLower();
            ++m_pos;
            skipSpace();
            if (peek().is(Type::RightParen))
                return featureIsTrue(name);
            if (peek().is(Type::Colon)) {
                ++m_pos;
                skipSpace();
                return plainFeature(name);
            }
            // name op value
            const std::optional<QByteArray> op = comparison();
            const RangedFeature* feature = rangedFeature(name);
            if (!op || !feature)
                return false;
            const std::optional<double> wanted = readValue(*feature);
            return wanted && compare(feature->screen, *op, *wanted);
        }
        // value op name [op value]: the name says what the value is.
        size_t name = m_pos;
        while (name < m_end && !m_tokens[name].is(Type::Ident))
            ++name;
        const RangedFeature* feature = name < m_end ? rangedFeature(m_tokens[name].text.toLower()) : nullptr;
        if (!feature)
            return false;
        const std::optional<double> low = readValue(*feature);
        const std::optional<QByteArray> op1 = comparison();
        if (!low || !op1 || m_pos != name)
            return false;
        ++m_pos;
        bool result = compare(*low, *op1, feature->screen);
        skipSpace();
        if (peek().is(Type::RightParen))
            return result;
        const std::optional<QByteArray> op2 = comparison();
        const std::optional<double> high = readValue(*feature);
        return op2 && high && result && compare(feature->screen, *op2, *high);
    }

    const std::vector<CssToken>& m_tokens;
    size_t m_pos;
    size_t m_end;
};

} // namespace

bool screenMatchesMedia(const std::vector<CssToken>& prelude)
{
    bool empty = true;
    for (const CssToken& token : prelude)
        empty = empty && token.is(Type::Whitespace);
    if (empty)
        return true;
    // A list matches when any of its queries does; a query that cannot be
    // read matches nothing, without spoiling the others.
    size_t begin = 0;
    int nesting = 0;
    for (size_t i = 0; i <= prelude.size(); ++i) {
        if (i < prelude.size()) {
            const Type t = prelude[i].type;
            if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare || t == Type::LeftCurly)
                ++nesting;
            else if ((t == Type::RightParen || t == Type::RightSquare || t == Type::RightCurly) &&
                     nesting > 0)
                --nesting;
            if (!(t == Type::Comma && nesting == 0))
                continue;
        }
        if (MediaReader(prelude, begin, i).query())
            return true;
        begin = i + 1;
    }
    return false;
}

} // namespace parlowen
