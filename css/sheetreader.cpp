#include "css/sheetreader.h"

#include "css/limits.h"

#include <algorithm>
#include <utility>

namespace parlowen {

namespace {

using Type = CssToken::Type;

bool isOpener(Type t)
{
    return t == Type::LeftCurly || t == Type::LeftParen || t == Type::LeftSquare || t == Type::Function;
}

Type closerOf(Type t)
{
    return t == Type::LeftCurly    ? Type::RightCurly
           : t == Type::LeftSquare ? Type::RightSquare
                                   : Type::RightParen;
}

} // namespace

void SheetReader::component(std::vector<CssToken>* out, size_t limit)
{
    std::vector<Type> closers;
    do {
        const Type t = m_current.type;
        if (t == Type::End)
            return;
        if (isOpener(t))
            closers.push_back(closerOf(t));
        else if (!closers.empty() && t == closers.back())
            closers.pop_back();
        // The current token is read anew right after: its text is moved.
        if (out && out->size() < limit)
            out->push_back(std::move(m_current));
        advance();
    } while (!closers.empty());
}

void SheetReader::skipJunk(UnreadDeclarations* unread)
{
    while (!m_current.is(Type::End) && !m_current.is(Type::Semicolon) && !m_current.is(Type::RightCurly)) {
        const bool block = m_current.is(Type::LeftCurly);
        if (block && unread)
            unread->nestedRule = skipBlockNotingText(*this) || unread->nestedRule;
        else
            component(nullptr, 0);
        if (block)
            return;
    }
}

void SheetReader::declarations(std::vector<Declaration>& out, UnreadDeclarations* unread)
{
    for (;;) {
        const CssToken& t = m_current;
        if (t.is(Type::End))
            return;
        if (t.is(Type::RightCurly)) {
            advance();
            return;
        }
        if (t.is(Type::Whitespace) || t.is(Type::Semicolon)) {
            advance();
            continue;
        }
        if (!t.is(Type::Ident)) {
            skipJunk(unread);
            continue;
        }
        const QByteArray name = t.text;
        advance();
        while (m_current.is(Type::Whitespace))
            advance();
        // A name and no colon: the start of a nested rule, as "div {...}".
        if (!m_current.is(Type::Colon)) {
            skipJunk(unread);
            continue;
        }
        advance();
        // A custom property may hold any value, for var() to fill in.
        const size_t limit = name.startsWith("--") ? kMaxCustomValueTokens : kMaxValueTokens;
        std::vector<CssToken>& value = valueTokens();
        while (!m_current.is(Type::End) && !m_current.is(Type::Semicolon) &&
               !m_current.is(Type::RightCurly)) {
            if (m_current.is(Type::Whitespace))
                advance();
            else
                component(&value, limit + 1);
        }
        readDeclaration(name, value, limit, text(), out, unread);
    }
}

void readDeclaration(const QByteArray& name, const std::vector<CssToken>& value, size_t limit,
                     const QByteArray& sheet, std::vector<Declaration>& out, UnreadDeclarations* unread)
{
    const size_t before = out.size();
    if (value.size() <= limit)
        interpret(name, value, sheet, out);
    else if (limit == kMaxCustomValueTokens)
        out.push_back({CssProperty::Custom, css::kCustomTooLong, false, name, {}});
    noteDeclaration(name, out.size() > before, unread);
    // revert-layer is read as revert: right outside a layer, but inside one
    // it goes back to the layer before, which a value alone cannot say.
    if (unread && std::any_of(value.begin(), value.end(),
                              [](const CssToken& t) { return t.isIdent("revert-layer"); }))
        unread->textValue = true;
}

std::vector<Declaration> styleAttributeDeclarations(QByteArrayView style, WorkBudget& work,
                                                    UnreadDeclarations* unread)
{
    SheetReader reader(style, work);
    std::vector<Declaration> declarations;
    while (!reader.current().is(Type::End))
        reader.declarations(declarations, unread);
    return declarations;
}

} // namespace parlowen
