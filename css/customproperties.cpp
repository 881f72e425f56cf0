#include "css/customproperties.h"

#include "css/elementtree.h"
#include "css/limits.h"
#include "css/sheetreader.h"

#include <QByteArrayView>
#include <QHash>

#include <algorithm>

namespace parlowen {

namespace {

using Type = CssToken::Type;

// A custom property's value as the element that declares it has it, and
// as its descendants inherit it.
struct Binding {
    enum class State : uint8_t { Unresolved, Resolving, Value, Long, Invalid };
    State state = State::Value;
    // One of a cycle of references: invalid, however it came out.
    bool inCycle = false;
    // As declared while Unresolved, then with its var() filled in; empty
    // when Long.
    QByteArray text;
    std::uint64_t length = 0;
};

// A value being filled in.
struct Expansion {
    QByteArray text;
    std::uint64_t length = 0;
    bool invalid = false;
    // Past kMaxKeptValueBytes: only its length is kept.
    bool tooLong = false;
};

struct TokenizedText {
    QByteArray text;
    std::vector<CssToken> tokens;
};

bool isVar(const CssToken& token)
{
    return token.is(Type::Function) && token.text.compare("var", Qt::CaseInsensitive) == 0;
}

// The closing parenthesis of the function at open, or end.
size_t closingOf(const std::vector<CssToken>& tokens, size_t open, size_t end)
{
    int depth = 0;
    for (size_t i = open; i < end; ++i) {
        const Type t = tokens[i].type;
        if (t == Type::Function || t == Type::LeftParen || t == Type::LeftSquare || t == Type::LeftCurly)
            ++depth;
        else if ((t == Type::RightParen || t == Type::RightSquare || t == Type::RightCurly) && --depth == 0)
            return i;
    }
    return end;
}

class VariableResolver {
public:
    VariableResolver(const std::unordered_map<const GumboNode*, DeclaredStyle>& sheetStyles,
                     const SheetVariables& sheetVariables,
                     std::unordered_map<const GumboNode*, DeclaredStyle>& resolved, WorkBudget& work,
                     std::size_t byteBudget)
        : m_sheetStyles(sheetStyles), m_sheetVariables(sheetVariables), m_resolved(resolved), m_work(work),
          m_byteBudget(byteBudget)
    {}

    bool run(const GumboNode* body)
    {
        if (body->parent && body->parent->type == GUMBO_NODE_ELEMENT)
            enter(body->parent, false);
        m_stack.push_back({body, 0, m_pushed.size()});
        enter(body, true);
        while (!m_stack.empty()) {
            if (stopped())
                return false;
            Visit& top = m_stack.back();
            const GumboVector& children = top.element->v.element.children;
            if (top.next < children.length) {
                const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
                if (child->type == GUMBO_NODE_ELEMENT) {
                    m_stack.push_back({child, 0, m_pushed.size()});
                    enter(child, true);
                }
                continue;
            }
            leave(top.pushed);
            m_stack.pop_back();
        }
        return !stopped();
    }

private:
    struct Visit {
        const GumboNode* element;
        unsigned next;
        size_t pushed;
    };

    bool stopped() const
    {
        return m_work.exhausted() || m_bytes > m_byteBudget;
    }

    // The element's custom properties bound, its own properties' var()
    // filled in when styled.
    void enter(const GumboNode* element, bool styled)
    {
        m_work.count();
        // Most pages declare no custom property in their sheets at all.
        const auto found = m_sheetVariables.elements.empty() ? m_sheetVariables.elements.end()
                                                             : m_sheetVariables.elements.find(element);
        const ElementVariables* fromSheets =
            found == m_sheetVariables.elements.end() ? nullptr : &found->second;
        const QByteArrayView style = attributeValue(element, "style");
        // Only a style attribute with "--" in it, or an escape, can hold a
        // custom property or var(); others are read as they always are,
        // unless a sheet's var() needs them on top.
        const bool pending = fromSheets && std::any_of(fromSheets->pending.begin(), fromSheets->pending.end(),
                                                       [](const Declaration* d) { return d != nullptr; });
        std::vector<Declaration> inlineDeclarations;
        if (!style.isEmpty() && (pending || style.contains("--") || style.contains('\\')))
            inlineDeclarations = styleAttributeDeclarations(style, m_work);
        if (!fromSheets && inlineDeclarations.empty())
            return;
        bind(fromSheets, inlineDeclarations);
        if (styled)
            fillIn(element, fromSheets, inlineDeclarations);
    }

    void leave(size_t pushed)
    {
        while (m_pushed.size() > pushed) {
            std::vector<Binding>& bindings = m_bindings[m_pushed.back()];
            m_bytes -= sizeof(Binding) + std::size_t(bindings.back().text.size());
            bindings.pop_back();
            m_pushed.pop_back();
        }
    }

    void bind(const ElementVariables* fromSheets, const std::vector<Declaration>& inlineDeclarations);
    void resolve(Binding& binding, int depth);
    void substitute(const TokenizedText& value, size_t from, size_t to, Expansion& out, int depth);
    void reference(const TokenizedText& value, size_t from, size_t close, Expansion& out, int depth);
    void fillIn(const GumboNode* element, const ElementVariables* fromSheets,
                const std::vector<Declaration>& inlineDeclarations);
    uint8_t filledIn(const Declaration& declaration);
    TokenizedText tokenize(const QByteArray& text) const;

    const std::unordered_map<const GumboNode*, DeclaredStyle>& m_sheetStyles;
    const SheetVariables& m_sheetVariables;
    std::unordered_map<const GumboNode*, DeclaredStyle>& m_resolved;
    WorkBudget& m_work;
    std::size_t m_byteBudget;
    std::size_t m_bytes = 0;
    // Each name's bindings, the nearest element's last.
    QHash<QByteArray, std::vector<Binding>> m_bindings;
    // The names bound, in order, each element's after its parent's.
    std::vector<QByteArray> m_pushed;
    std::vector<Binding*> m_resolving;
    std::vector<Visit> m_stack;
};

// The winning custom properties of the element, its style attribute's on
// top of its sheets' unless theirs is important and its own is not, bound
// for it and its descendants, then their var() filled in.
void VariableResolver::bind(const ElementVariables* fromSheets,
                            const std::vector<Declaration>& inlineDeclarations)
{
    std::vector<const Declaration*> winners;
    if (fromSheets)
        winners = fromSheets->custom;
    for (const Declaration& d : inlineDeclarations) {
        if (d.property != CssProperty::Custom)
            continue;
        const auto same = std::find_if(winners.begin(), winners.end(),
                                       [&d](const Declaration* w) { return w->name == d.name; });
        m_work.count(winners.size());
        if (same == winners.end())
            winners.push_back(&d);
        else if (d.important || !(*same)->important)
            *same = &d;
    }
    const size_t first = m_pushed.size();
    for (const Declaration* d : winners) {
        // The parent's binding stays the nearest.
        if (d->value == css::kCustomInherits)
            continue;
        Binding binding;
        binding.state = d->value == css::kCustomTooLong  ? Binding::State::Long
                        : d->value == css::kCustomInitial ? Binding::State::Invalid
                        : d->text.contains('(')           ? Binding::State::Unresolved
                                                          : Binding::State::Value;
        binding.text = d->text;
        binding.length =
            d->value == css::kCustomTooLong ? kMaxKeptValueBytes + 1 : std::uint64_t(d->text.size());
        m_bytes += sizeof(Binding) + std::size_t(d->text.size());
        m_bindings[d->name].push_back(std::move(binding));
        m_pushed.push_back(d->name);
    }
    for (size_t i = first; i < m_pushed.size(); ++i) {
        Binding& binding = m_bindings[m_pushed[i]].back();
        if (binding.state == Binding::State::Unresolved)
            resolve(binding, 0);
    }
}

void VariableResolver::resolve(Binding& binding, int depth)
{
    if (depth > kMaxReferenceDepth || stopped()) {
        binding.state = Binding::State::Invalid;
        return;
    }
    binding.state = Binding::State::Resolving;
    m_resolving.push_back(&binding);
    const TokenizedText value = tokenize(binding.text);
    Expansion expansion;
    substitute(value, 0, value.tokens.size(), expansion, depth);
    m_resolving.pop_back();
    m_bytes -= std::size_t(binding.text.size());
    binding.length = expansion.length;
    if (expansion.invalid || binding.inCycle || expansion.length > kMaxSubstitutedBytes) {
        binding.state = Binding::State::Invalid;
        binding.text.clear();
    } else if (expansion.tooLong) {
        binding.state = Binding::State::Long;
        binding.text.clear();
    } else {
        binding.state = Binding::State::Value;
        binding.text = expansion.text;
    }
    m_bytes += std::size_t(binding.text.size());
}

// The tokens from, to of value with each var() in them filled in.
void VariableResolver::substitute(const TokenizedText& value, size_t from, size_t to, Expansion& out,
                                  int depth)
{
    for (size_t i = from; i < to && !out.invalid; ++i) {
        m_work.count();
        const CssToken& token = value.tokens[i];
        if (isVar(token)) {
            const size_t close = closingOf(value.tokens, i, to);
            reference(value, i + 1, close, out, depth);
            i = close;
            continue;
        }
        out.length += std::uint64_t(token.end - token.begin);
        out.tooLong = out.tooLong || out.length > kMaxKeptValueBytes;
        if (out.tooLong)
            out.text.clear();
        else
            out.text += QByteArrayView(value.text).sliced(token.begin, token.end - token.begin);
    }
    out.invalid = out.invalid || out.length > kMaxSubstitutedBytes;
}

// The var() whose arguments are the tokens from, close: the custom
// property's value, else its fallback. Comments around a value keep its
// first and last tokens from running into their neighbours'.
void VariableResolver::reference(const TokenizedText& value, size_t from, size_t close, Expansion& out,
                                 int depth)
{
    size_t at = from;
    while (at < close && value.tokens[at].is(Type::Whitespace))
        ++at;
    if (at >= close || depth >= kMaxReferenceDepth) {
        out.invalid = true;
        return;
    }
    const auto found = m_bindings.find(value.tokens[at].text);
    Binding* binding = found == m_bindings.end() || found->empty() ? nullptr : &found->back();
    if (binding && binding->state == Binding::State::Unresolved)
        resolve(*binding, depth + 1);
    if (binding && binding->state == Binding::State::Resolving) {
        for (size_t i = m_resolving.size(); i-- > 0;) {
            m_resolving[i]->inCycle = true;
            if (m_resolving[i] == binding)
                break;
        }
    } else if (binding && binding->state == Binding::State::Value) {
        out.length += binding->length;
        out.tooLong = out.tooLong || out.length > kMaxKeptValueBytes;
        if (out.tooLong)
            out.text.clear();
        else
            out.text += "/**/" + binding->text + "/**/";
        return;
    } else if (binding && binding->state == Binding::State::Long) {
        out.length += binding->length;
        out.tooLong = true;
        out.text.clear();
        return;
    }
    ++at;
    while (at < close && value.tokens[at].is(Type::Whitespace))
        ++at;
    if (at < close && value.tokens[at].is(Type::Comma))
        substitute(value, at + 1, close, out, depth + 1);
    else
        out.invalid = true;
}

// The element's properties, its style attribute's declarations on top of
// its sheets', each value that holds var() filled in.
void VariableResolver::fillIn(const GumboNode* element, const ElementVariables* fromSheets,
                              const std::vector<Declaration>& inlineDeclarations)
{
    const auto found = m_sheetStyles.find(element);
    DeclaredStyle style = found == m_sheetStyles.end() ? DeclaredStyle() : found->second;
    std::array<const Declaration*, size_t(CssProperty::Count)> sources{};
    if (fromSheets)
        sources = fromSheets->pending;
    for (const Declaration& d : inlineDeclarations) {
        const size_t p = size_t(d.property);
        if (p >= size_t(CssProperty::Count) || (style.important[p] && !d.important))
            continue;
        style.values[p] = d.value;
        style.important[p] = d.important;
        sources[p] = &d;
    }
    bool any = false;
    for (size_t p = 0; p < size_t(CssProperty::Count); ++p) {
        if (style.values[p] != uint8_t(css::Wide::Pending))
            continue;
        any = true;
        const uint8_t value = filledIn(*sources[p]);
        style.values[p] = value ? value : unsetValue(CssProperty(p));
    }
    if (any) {
        m_bytes += sizeof(DeclaredStyle) + 48;
        m_resolved.emplace(element, style);
    }
}

// The value of a declaration that holds var(), or 0 when, filled in, it is
// not one the property takes: invalid at computed-value time.
uint8_t VariableResolver::filledIn(const Declaration& declaration)
{
    const TokenizedText value = tokenize(declaration.text);
    Expansion expansion;
    substitute(value, 0, value.tokens.size(), expansion, 0);
    if (expansion.invalid || expansion.tooLong)
        return 0;
    TokenizedText filled = tokenize(expansion.text);
    std::erase_if(filled.tokens, [](const CssToken& t) { return t.is(Type::Whitespace); });
    std::vector<Declaration> out;
    interpret(declaration.name, filled.tokens, filled.text, out);
    for (const Declaration& d : out) {
        if (d.property == declaration.property && d.value != uint8_t(css::Wide::Pending))
            return d.value;
    }
    return 0;
}

TokenizedText VariableResolver::tokenize(const QByteArray& text) const
{
    CssTokenizer tokenizer(text, m_work);
    TokenizedText tokenized;
    for (CssToken token = tokenizer.next(); !token.is(Type::End); token = tokenizer.next())
        tokenized.tokens.push_back(std::move(token));
    tokenized.text = tokenizer.text();
    return tokenized;
}

} // namespace

bool resolveVariables(const GumboNode* body,
                      const std::unordered_map<const GumboNode*, DeclaredStyle>& sheetStyles,
                      const SheetVariables& sheetVariables,
                      std::unordered_map<const GumboNode*, DeclaredStyle>& resolved, WorkBudget& work,
                      std::size_t byteBudget)
{
    VariableResolver resolver(sheetStyles, sheetVariables, resolved, work, byteBudget);
    return resolver.run(body);
}

} // namespace parlowen
