#include "css/selector.h"

#include "common/asciitext.h"
#include "css/selectornesting.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <string_view>

namespace parlowen {

namespace {

using Type = CssToken::Type;

// :not(:not(...)) this deep is no real page's.
constexpr int kMaxNesting = 32;
// Nor a selector of more compounds than this: matching one goes a call
// deeper for each, and 30,000 of them overflowed a thread's stack.
constexpr size_t kMaxCompounds = 1024;

// HTML attributes whose values a selector compares without case, as
// browsers do for compatibility.
bool valueIgnoresCase(const QByteArray& name)
{
    static constexpr std::array<std::string_view, 46> names = {
        "accept",     "accept-charset", "align",     "alink",    "axis",     "bgcolor", "charset",
        "checked",    "clear",          "codetype",  "color",    "compact",  "declare", "defer",
        "dir",        "direction",      "disabled",  "enctype",  "face",     "frame",   "hreflang",
        "http-equiv", "lang",           "language",  "link",     "media",    "method",  "multiple",
        "nohref",     "noresize",       "noshade",   "nowrap",   "readonly", "rel",     "rev",
        "rules",      "scope",          "scrolling", "selected", "shape",    "target",  "text",
        "type",       "valign",         "valuetype", "vlink"};
    return std::find(names.begin(), names.end(), std::string_view(name.constData(), size_t(name.size()))) !=
           names.end();
}

struct Specificity {
    uint32_t ids = 0;
    uint32_t classes = 0;
    uint32_t types = 0;

    Specificity& operator+=(const Specificity& o)
    {
        ids += o.ids;
        classes += o.classes;
        types += o.types;
        return *this;
    }
    bool operator<(const Specificity& o) const
    {
        return ids != o.ids ? ids < o.ids : classes != o.classes ? classes < o.classes : types < o.types;
    }
    uint32_t packed() const
    {
        return std::min(ids, 1023u) << 20 | std::min(classes, 1023u) << 10 | std::min(types, 1023u);
    }
    static Specificity unpacked(uint32_t packed)
    {
        return {packed >> 20 & 1023u, packed >> 10 & 1023u, packed & 1023u};
    }
};

// An+B from the text of :nth-child()'s argument.
std::optional<std::pair<int, int>> parseNth(QByteArray text)
{
    // White space may stand around the argument and around the sign of B
    // only: "2n - 1", not "2 n".
    text = trimmedAscii(text).toByteArray().toLower();
    if (text == "odd")
        return std::pair(2, 1);
    if (text == "even")
        return std::pair(2, 0);
    const qsizetype n = text.indexOf('n');
    bool ok = true;
    auto number = [&ok](QByteArrayView digits) {
        if (digits.isEmpty() || digits.size() > 9) {
            ok = false;
            return 0;
        }
        for (char c : digits)
            ok = ok && c >= '0' && c <= '9';
        return ok ? int(digits.toByteArray().toLong()) : 0;
    };
    auto signedNumber = [&](QByteArrayView s) {
        if (s.startsWith('+') || s.startsWith('-'))
            return s.front() == '-' ? -number(s.sliced(1)) : number(s.sliced(1));
        return number(s);
    };
    if (n < 0) {
        const int b = signedNumber(text);
        return ok ? std::optional(std::pair(0, b)) : std::nullopt;
    }
    const QByteArrayView left = QByteArrayView(text).first(n);
    const QByteArrayView right = trimmedAscii(QByteArrayView(text).sliced(n + 1));
    const int a = left.isEmpty() || left == "+" ? 1 : left == "-" ? -1 : signedNumber(left);
    int b = 0;
    if (!right.isEmpty()) {
        if (right.front() != '+' && right.front() != '-')
            return std::nullopt;
        b = number(trimmedAscii(right.sliced(1)));
        if (right.front() == '-')
            b = -b;
    }
    return ok ? std::optional(std::pair(a, b)) : std::nullopt;
}

class SelectorParser {
public:
    SelectorParser(const std::vector<CssToken>& tokens, const QByteArray& text,
                   const SelectorNesting* nesting)
        : m_tokens(tokens), m_text(text), m_nesting(nesting)
    {}

    std::optional<std::vector<Selector>> list()
    {
        std::vector<Selector> selectors;
        for (const auto& [begin, end] : splitAtCommas(0, m_tokens.size())) {
            std::optional<Selector> selector = readsRelative(m_tokens, begin, end, m_nesting)
                                                   ? relativeComplex(begin, end)
                                                   : complex(begin, end);
            if (!selector)
                return std::nullopt;
            selectors.push_back(std::move(*selector));
        }
        return selectors;
    }

private:
    std::optional<Selector> relativeComplex(size_t begin, size_t end)
    {
        std::vector<CssToken> tokens = implicitStart(*m_nesting);
        tokens.insert(tokens.end(), m_tokens.begin() + qsizetype(begin), m_tokens.begin() + qsizetype(end));
        return SelectorParser(tokens, m_text, m_nesting).complex(0, tokens.size());
    }

    const CssToken& at(size_t i) const
    {
        static const CssToken end;
        return i < m_end ? m_tokens[i] : end;
    }

    std::vector<std::pair<size_t, size_t>> splitAtCommas(size_t begin, size_t end) const
    {
        std::vector<std::pair<size_t, size_t>> parts;
        int nesting = 0;
        size_t from = begin;
        for (size_t i = begin; i < end; ++i) {
            const Type t = m_tokens[i].type;
            if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare)
                ++nesting;
            else if ((t == Type::RightParen || t == Type::RightSquare) && nesting > 0)
                --nesting;
            else if (t == Type::Comma && nesting == 0) {
                parts.emplace_back(from, i);
                from = i + 1;
            }
        }
        parts.emplace_back(from, end);
        return parts;
    }

    void skipSpace()
    {
        while (m_pos < m_end && m_tokens[m_pos].is(Type::Whitespace))
            ++m_pos;
    }

    std::optional<Selector> complex(size_t begin, size_t end)
    {
        m_pos = begin;
        m_end = end;
        m_extra.clear();
        Selector selector;
        Specificity total;
        skipSpace();
        CompoundSelector::Combinator combinator = CompoundSelector::Combinator::None;
        for (;;) {
            Specificity specificity;
            std::optional<CompoundSelector> compound = this->compound(0, specificity);
            if (!compound)
                return std::nullopt;
            compound->combinator = combinator;
            if (selector.compounds.size() == kMaxCompounds)
                return std::nullopt;
            selector.compounds.push_back(std::move(*compound));
            total += specificity;
            const bool spaced = m_pos < m_end && at(m_pos).is(Type::Whitespace);
            skipSpace();
            if (m_pos >= m_end)
                break;
            const CssToken& t = at(m_pos);
            if (t.isDelim('>') || t.isDelim('+') || t.isDelim('~')) {
                combinator = t.delim == '>'   ? CompoundSelector::Combinator::Child
                             : t.delim == '+' ? CompoundSelector::Combinator::NextSibling
                                              : CompoundSelector::Combinator::LaterSibling;
                ++m_pos;
                skipSpace();
            } else if (spaced) {
                combinator = CompoundSelector::Combinator::Descendant;
            } else {
                return std::nullopt;
            }
        }
        selector.subjectCount = uint32_t(selector.compounds.size());
        for (CompoundSelector& extra : m_extra)
            selector.compounds.push_back(std::move(extra));
        selector.specificity = total.packed();
        return selector;
    }

    // The compounds of a :not(), :is() or :where() argument.
    std::optional<std::vector<uint32_t>> compoundList(size_t begin, size_t end, int depth, Specificity& most)
    {
        std::vector<uint32_t> indexes;
        const size_t savedPos = m_pos;
        const size_t savedEnd = m_end;
        for (const auto& [from, to] : splitAtCommas(begin, end)) {
            m_pos = from;
            m_end = to;
            skipSpace();
            Specificity specificity;
            std::optional<CompoundSelector> compound = this->compound(depth + 1, specificity);
            skipSpace();
            if (!compound || m_pos < m_end)
                return std::nullopt;
            most = std::max(most, specificity);
            indexes.push_back(uint32_t(m_extra.size()));
            m_extra.push_back(std::move(*compound));
        }
        m_pos = savedPos;
        m_end = savedEnd;
        return indexes;
    }

    // The index after the parenthesis that closes the function at m_pos.
    size_t closingParen(size_t from) const
    {
        int nesting = 0;
        for (size_t i = from; i < m_end; ++i) {
            const Type t = m_tokens[i].type;
            if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare)
                ++nesting;
            else if (t == Type::RightParen || t == Type::RightSquare) {
                if (nesting == 0)
                    return i;
                --nesting;
            }
        }
        return m_end;
    }

    std::optional<CompoundSelector> compound(int depth, Specificity& specificity)
    {
        if (depth > kMaxNesting)
            return std::nullopt;
        CompoundSelector compound;
        bool any = false;
        // Any namespace: what a sheet without @namespace means anyway.
        if (at(m_pos).isDelim('*') && at(m_pos + 1).isDelim('|'))
            m_pos += 2;
        if (at(m_pos).is(Type::Ident)) {
            compound.type = at(m_pos++).text.toLower();
            compound.tag = gumbo_tag_enum(compound.type.constData());
            ++specificity.types;
            any = true;
        } else if (at(m_pos).isDelim('*')) {
            ++m_pos;
            any = true;
        }
        if (at(m_pos).isDelim('|'))
            return std::nullopt;
        for (;;) {
            const CssToken& t = at(m_pos);
            SimpleSelector simple;
            if (t.is(Type::Hash)) {
                if (!t.idHash)
                    return std::nullopt;
                simple.kind = SimpleSelector::Kind::Id;
                simple.name = t.text;
                ++specificity.ids;
                ++m_pos;
            } else if (t.isDelim('.')) {
                if (!at(m_pos + 1).is(Type::Ident))
                    return std::nullopt;
                simple.kind = SimpleSelector::Kind::Class;
                simple.name = at(m_pos + 1).text;
                ++specificity.classes;
                m_pos += 2;
            } else if (t.is(Type::LeftSquare)) {
                if (!attribute(simple))
                    return std::nullopt;
                ++specificity.classes;
            } else if (t.is(Type::Colon)) {
                if (!pseudo(simple, depth, specificity))
                    return std::nullopt;
            } else if (t.isDelim('&')) {
                if (!m_nesting || !m_nesting->ampersand)
                    return std::nullopt;
                simple.kind = SimpleSelector::Kind::Nest;
                simple.nest = m_nesting->ampersand;
                specificity += Specificity::unpacked(m_nesting->ampersandSpecificity);
                ++m_pos;
            } else {
                break;
            }
            compound.simple.push_back(std::move(simple));
            any = true;
        }
        if (!any)
            return std::nullopt;
        return compound;
    }

    bool attribute(SimpleSelector& simple)
    {
        ++m_pos;
        simple.kind = SimpleSelector::Kind::Attribute;
        skipSpace();
        // A namespace prefix, not the |= operator.
        if (!at(m_pos).is(Type::Ident) || (at(m_pos + 1).isDelim('|') && !at(m_pos + 2).isDelim('=')))
            return false;
        simple.name = at(m_pos++).text.toLower();
        skipSpace();
        if (at(m_pos).is(Type::RightSquare)) {
            ++m_pos;
            return true;
        }
        const CssToken& op = at(m_pos);
        if (op.isDelim('=')) {
            simple.match = SimpleSelector::Match::Equals;
            ++m_pos;
        } else if (op.is(Type::Delim) && at(m_pos + 1).isDelim('=')) {
            switch (op.delim) {
            case '~':
                simple.match = SimpleSelector::Match::Includes;
                break;
            case '|':
                simple.match = SimpleSelector::Match::DashMatch;
                break;
            case '^':
                simple.match = SimpleSelector::Match::Prefix;
                break;
            case '$':
                simple.match = SimpleSelector::Match::Suffix;
                break;
            case '*':
                simple.match = SimpleSelector::Match::Substring;
                break;
            default:
                return false;
            }
            m_pos += 2;
        } else {
            return false;
        }
        skipSpace();
        if (!at(m_pos).is(Type::Ident) && !at(m_pos).is(Type::String))
            return false;
        simple.value = at(m_pos++).text;
        skipSpace();
        if (at(m_pos).isIdent("i") || at(m_pos).isIdent("s")) {
            simple.ignoreCase = at(m_pos).isIdent("i");
            ++m_pos;
            skipSpace();
        } else {
            simple.ignoreCase = valueIgnoresCase(simple.name);
        }
        if (!at(m_pos).is(Type::RightSquare))
            return false;
        ++m_pos;
        return true;
    }

    bool pseudo(SimpleSelector& simple, int depth, Specificity& specificity)
    {
        ++m_pos;
        const bool element = at(m_pos).is(Type::Colon);
        if (element)
            ++m_pos;
        const CssToken& t = at(m_pos);
        const QByteArray name = t.text.toLower();
        if (t.is(Type::Ident)) {
            ++m_pos;
            static constexpr std::array<std::string_view, 9> elements = {
                "before",      "after",     "first-line", "first-letter",        "marker",
                "placeholder", "selection", "backdrop",   "file-selector-button"};
            const std::string_view n(name.constData(), size_t(name.size()));
            const bool knownElement = std::find(elements.begin(), elements.end(), n) != elements.end();
            if (element || (knownElement &&
                            (n == "before" || n == "after" || n == "first-line" || n == "first-letter"))) {
                // The declarations are a pseudo-element's, never the element's.
                ++specificity.types;
                simple.kind = SimpleSelector::Kind::Never;
                return knownElement;
            }
            ++specificity.classes;
            static constexpr std::array<std::string_view, 12> never = {
                "hover",  "active",  "focus",         "focus-visible", "focus-within", "visited",
                "target", "checked", "indeterminate", "invalid",       "autofill",     "fullscreen"};
            if (std::find(never.begin(), never.end(), n) != never.end())
                simple.kind = SimpleSelector::Kind::Never;
            else if (n == "first-child")
                simple.kind = SimpleSelector::Kind::FirstChild;
            else if (n == "last-child")
                simple.kind = SimpleSelector::Kind::LastChild;
            else if (n == "only-child") {
                simple.kind = SimpleSelector::Kind::FirstChild;
                simple.b = 1; // and the last
            } else if (n == "root")
                simple.kind = SimpleSelector::Kind::Root;
            else if (n == "scope" && m_nesting && m_nesting->scope) {
                simple.kind = SimpleSelector::Kind::Nest;
                simple.nest = m_nesting->scope;
            } else if (n == "scope")
                simple.kind = SimpleSelector::Kind::Root;
            else if (n == "empty")
                simple.kind = SimpleSelector::Kind::Empty;
            else if (n == "link" || n == "any-link")
                simple.kind = SimpleSelector::Kind::Link;
            else
                return false;
            return true;
        }
        if (!t.is(Type::Function) || element)
            return false;
        const size_t open = ++m_pos;
        const size_t close = closingParen(open);
        if (close >= m_end)
            return false;
        m_pos = close + 1;
        if (name == "not" || name == "is" || name == "where") {
            Specificity most;
            std::optional<std::vector<uint32_t>> list = compoundList(open, close, depth, most);
            if (!list)
                return false;
            simple.kind = name == "not" ? SimpleSelector::Kind::Not : SimpleSelector::Kind::Is;
            simple.alternatives = std::move(*list);
            if (name != "where")
                specificity += most;
            return true;
        }
        if (name != "nth-child" && name != "nth-last-child")
            return false;
        // "An+B of S" counts only the siblings that match S.
        size_t of = open;
        while (of < close && !m_tokens[of].isIdent("of"))
            ++of;
        if (open == of)
            return false;
        const QByteArray argument =
            m_text.mid(m_tokens[open].begin, m_tokens[of - 1].end - m_tokens[open].begin);
        const std::optional<std::pair<int, int>> ab = parseNth(argument);
        if (!ab)
            return false;
        if (of < close) {
            Specificity most;
            std::optional<std::vector<uint32_t>> list = compoundList(of + 1, close, depth, most);
            if (!list)
                return false;
            simple.alternatives = std::move(*list);
            specificity += most;
        }
        simple.kind =
            name == "nth-child" ? SimpleSelector::Kind::NthChild : SimpleSelector::Kind::NthLastChild;
        simple.a = ab->first;
        simple.b = ab->second;
        ++specificity.classes;
        return true;
    }

    const std::vector<CssToken>& m_tokens;
    const QByteArray& m_text;
    const SelectorNesting* m_nesting;
    size_t m_pos = 0;
    size_t m_end = 0;
    std::vector<CompoundSelector> m_extra;
};


} // namespace

std::optional<std::vector<Selector>> parseSelectorList(const std::vector<CssToken>& tokens,
                                                       const QByteArray& text, const SelectorNesting* nesting)
{
    return SelectorParser(tokens, text, nesting).list();
}


} // namespace parlowen
