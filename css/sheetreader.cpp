#include "css/sheetreader.h"

#include "css/limits.h"

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
        if (out && out->size() < limit)
            out->push_back(m_current);
        advance();
    } while (!closers.empty());
}

void SheetReader::declarations(std::vector<Declaration>& out)
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
            // A nested rule or junk: read past it, to a semicolon or
            // through the block it ends with.
            while (!m_current.is(Type::End) && !m_current.is(Type::Semicolon) &&
                   !m_current.is(Type::RightCurly)) {
                const bool block = m_current.is(Type::LeftCurly);
                component(nullptr, 0);
                if (block)
                    break;
            }
            continue;
        }
        const QByteArray name = t.text;
        advance();
        while (m_current.is(Type::Whitespace))
            advance();
        const bool colon = m_current.is(Type::Colon);
        if (colon)
            advance();
        // A custom property may hold any value, for var() to fill in.
        const size_t limit = name.startsWith("--") ? kMaxCustomValueTokens : kMaxValueTokens;
        std::vector<CssToken> value;
        while (!m_current.is(Type::End) && !m_current.is(Type::Semicolon) &&
               !m_current.is(Type::RightCurly)) {
            if (m_current.is(Type::Whitespace))
                advance();
            else
                component(&value, limit + 1);
        }
        if (colon && value.size() <= limit)
            interpret(name, value, text(), out);
        else if (colon && limit == kMaxCustomValueTokens)
            out.push_back({CssProperty::Custom, css::kCustomTooLong, false, name, {}});
    }
}

std::vector<Declaration> styleAttributeDeclarations(QByteArrayView style, std::uint64_t* work)
{
    SheetReader reader(style, work);
    std::vector<Declaration> declarations;
    while (!reader.current().is(Type::End))
        reader.declarations(declarations);
    return declarations;
}

} // namespace parlowen
