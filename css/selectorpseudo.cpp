#include "css/selectorparser.h"

#include "common/asciitext.h"

#include <QByteArrayView>

#include <string_view>

namespace parlowen {

namespace {

using Type = CssToken::Type;
using Kind = SimpleSelector::Kind;

struct PseudoClass {
    std::string_view name;
    Kind kind;
    // An+B, for the positions the name fixes.
    int a = 0;
    int b = 0;
};

// The pseudo-classes without an argument. Those no element of a page that
// nobody looks at, points at or scrolls is ever in match nothing; the
// scrollbar's own ones are kept as browsers keep them.
constexpr PseudoClass kPseudoClasses[] = {
    {"first-child", Kind::FirstChild},
    {"last-child", Kind::LastChild},
    {"only-child", Kind::FirstChild, 0, 1}, // and the last
    {"first-of-type", Kind::NthOfType, 0, 1},
    {"last-of-type", Kind::NthLastOfType, 0, 1},
    {"only-of-type", Kind::OnlyOfType},
    {"root", Kind::Root},
    {"empty", Kind::Empty},
    {"link", Kind::Link},
    {"any-link", Kind::Link},
    {"-webkit-any-link", Kind::Link},
    {"defined", Kind::Defined},
    {"disabled", Kind::Disabled},
    {"enabled", Kind::Enabled},
    {"checked", Kind::Checked},
    {"placeholder-shown", Kind::PlaceholderShown},
    {"hover", Kind::Never},
    {"active", Kind::Never},
    {"focus", Kind::Never},
    {"focus-visible", Kind::Never},
    {"focus-within", Kind::Never},
    {"visited", Kind::Never},
    {"target", Kind::Never},
    {"indeterminate", Kind::Never},
    {"invalid", Kind::Never},
    {"user-invalid", Kind::Never},
    {"user-valid", Kind::Never},
    {"autofill", Kind::Never},
    {"-webkit-autofill", Kind::Never},
    {"fullscreen", Kind::Never},
    {"-webkit-full-screen", Kind::Never},
    {"picture-in-picture", Kind::Never},
    {"modal", Kind::Never},
    {"popover-open", Kind::Never},
    {"-webkit-drag", Kind::Never},
    {"host", Kind::Never},
    {"window-inactive", Kind::Never},
    {"horizontal", Kind::Never},
    {"vertical", Kind::Never},
    {"decrement", Kind::Never},
    {"increment", Kind::Never},
    {"start", Kind::Never},
    {"end", Kind::Never},
    {"double-button", Kind::Never},
    {"single-button", Kind::Never},
    {"no-button", Kind::Never},
    {"corner-present", Kind::Never},
};

// Pseudo-elements: their declarations are never the element's. Browsers
// keep any "::-webkit-" one, known or not, but the few they keep to
// themselves.
constexpr std::string_view kPseudoElements[] = {
    "before",         "after",         "first-line",  "first-letter",         "marker",
    "placeholder",    "selection",     "backdrop",    "file-selector-button", "cue",
    "spelling-error", "grammar-error", "target-text", "view-transition",
};
constexpr std::string_view kPseudoElementFunctions[] = {"slotted",
                                                        "part",
                                                        "highlight",
                                                        "cue",
                                                        "view-transition-group",
                                                        "view-transition-old",
                                                        "view-transition-new",
                                                        "view-transition-image-pair"};
constexpr std::string_view kBrowserOwnPseudoElements[] = {"-webkit-full-page-media"};
// Those a single colon may still name.
constexpr std::string_view kLegacyPseudoElements[] = {"before", "after", "first-line", "first-letter"};

template <typename Table> bool listed(const Table& table, std::string_view name)
{
    return std::find(std::begin(table), std::end(table), name) != std::end(table);
}

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

} // namespace

bool SelectorParser::pseudo(SimpleSelector& simple, SelectorPlace place, Specificity& specificity)
{
    ++m_pos;
    const bool element = at(m_pos).is(Type::Colon);
    if (element)
        ++m_pos;
    const CssToken& t = at(m_pos);
    const QByteArray name = t.text.toLower();
    const std::string_view n(name.constData(), size_t(name.size()));
    if (!t.is(Type::Ident) && !t.is(Type::Function))
        return false;
    const bool function = t.is(Type::Function);
    if (element || (!function && listed(kLegacyPseudoElements, n)))
        return pseudoElement(simple, name, function, place, specificity);
    ++m_pos;
    if (!function) {
        const auto* row = std::find_if(std::begin(kPseudoClasses), std::end(kPseudoClasses),
                                       [n](const PseudoClass& p) { return p.name == n; });
        if (row == std::end(kPseudoClasses))
            return false;
        simple.kind = row->kind;
        simple.a = row->a;
        simple.b = row->b;
        ++specificity.classes;
        return true;
    }
    const size_t open = m_pos;
    const size_t close = closingParen(open);
    if (close >= m_end)
        return false;
    m_pos = close + 1;
    return pseudoFunction(simple, name, open, close, place, specificity);
}

bool SelectorParser::pseudoElement(SimpleSelector& simple, const QByteArray& name, bool function,
                                   SelectorPlace place, Specificity& specificity)
{
    const std::string_view n(name.constData(), size_t(name.size()));
    ++m_pos;
    if (function) {
        const size_t close = closingParen(m_pos);
        if (close >= m_end || !listed(kPseudoElementFunctions, n))
            return false;
        m_pos = close + 1;
    }
    ++specificity.types;
    simple.kind = Kind::Never;
    // Only a selector of its own may name one: not an argument of :is(),
    // :not() or :has().
    const bool known = function || listed(kPseudoElements, n) ||
                       (name.startsWith("-webkit-") && !listed(kBrowserOwnPseudoElements, n));
    return known && place.depth == 0;
}

bool SelectorParser::pseudoFunction(SimpleSelector& simple, const QByteArray& name, size_t open, size_t close,
                                    SelectorPlace place, Specificity& specificity)
{
    if (name == "not" || name == "is" || name == "where" || name == "has") {
        const bool has = name == "has";
        if (has && place.insideHas)
            return false;
        Specificity most;
        std::optional<std::vector<Selector>> arguments =
            argumentList(open, close, place.inside(has, has), name == "is" || name == "where", most);
        if (!arguments || ((name == "not" || has) && arguments->empty()))
            return false;
        simple.kind = name == "not" ? Kind::Not : has ? Kind::Has : Kind::Is;
        simple.arguments = std::move(*arguments);
        if (name != "where")
            specificity += most;
        return true;
    }
    if (name == "lang") {
        size_t i = open;
        while (i < close && m_tokens[i].is(Type::Whitespace))
            ++i;
        size_t last = close;
        while (last > i && m_tokens[last - 1].is(Type::Whitespace))
            --last;
        // One language range, as an identifier: browsers read no list and no string.
        if (last != i + 1 || !m_tokens[i].is(Type::Ident))
            return false;
        simple.kind = Kind::Lang;
        simple.value = m_tokens[i].text.toLower();
        ++specificity.classes;
        return true;
    }
    return nth(simple, name, open, close, place, specificity);
}

bool SelectorParser::nth(SimpleSelector& simple, const QByteArray& name, size_t open, size_t close,
                         SelectorPlace place, Specificity& specificity)
{
    static constexpr std::pair<std::string_view, Kind> kinds[] = {{"nth-child", Kind::NthChild},
                                                                  {"nth-last-child", Kind::NthLastChild},
                                                                  {"nth-of-type", Kind::NthOfType},
                                                                  {"nth-last-of-type", Kind::NthLastOfType}};
    const std::string_view n(name.constData(), size_t(name.size()));
    const auto* row =
        std::find_if(std::begin(kinds), std::end(kinds), [n](const auto& k) { return k.first == n; });
    if (row == std::end(kinds))
        return false;
    // "An+B of S" counts only the siblings that match S; of a type, it
    // is not read at all.
    size_t of = open;
    while (of < close && !m_tokens[of].isIdent("of"))
        ++of;
    if (open == of || (of < close && row->second != Kind::NthChild && row->second != Kind::NthLastChild))
        return false;
    const QByteArray argument = m_text.mid(m_tokens[open].begin, m_tokens[of - 1].end - m_tokens[open].begin);
    const std::optional<std::pair<int, int>> ab = parseNth(argument);
    if (!ab)
        return false;
    if (of < close) {
        Specificity most;
        std::optional<std::vector<Selector>> arguments =
            argumentList(of + 1, close, place.inside(false, false), false, most);
        if (!arguments)
            return false;
        simple.arguments = std::move(*arguments);
        specificity += most;
    }
    simple.kind = row->second;
    simple.a = ab->first;
    simple.b = ab->second;
    ++specificity.classes;
    return true;
}

} // namespace parlowen
