#include "css/selectornesting.h"

#include <utility>

namespace parlowen {

namespace {

using Type = CssToken::Type;

CssToken syntheticToken(Type type, QByteArray text = {}, char delim = 0)
{
    CssToken token;
    token.type = type;
    token.text = std::move(text);
    token.delim = delim;
    return token;
}

} // namespace

std::vector<CssToken> implicitStart(const SelectorNesting& nesting)
{
    if (!nesting.directlyInScope)
        return {syntheticToken(Type::Delim, {}, '&'), syntheticToken(Type::Whitespace)};
    return {syntheticToken(Type::Colon),      syntheticToken(Type::Function, "where"),
            syntheticToken(Type::Colon),      syntheticToken(Type::Ident, "scope"),
            syntheticToken(Type::RightParen), syntheticToken(Type::Whitespace)};
}

bool readsRelative(const std::vector<CssToken>& tokens, size_t begin, size_t end,
                   const SelectorNesting* nesting)
{
    if (!nesting || !nesting->ampersand)
        return false;
    for (size_t i = begin; i < end; ++i) {
        if (tokens[i].isDelim('&'))
            return false;
        if (nesting->directlyInScope && tokens[i].is(Type::Colon) && i + 1 < end &&
            tokens[i + 1].isIdent("scope"))
            return false;
    }
    return true;
}

} // namespace parlowen
