#pragma once
// Spans of a prelude's tokens, as the at-rules' conditions read them.

#include "css/tokenizer.h"

#include <cstddef>
#include <vector>

namespace parlowen {

// The first token from i on that is no white space, or end.
inline size_t skipSpace(const std::vector<CssToken>& tokens, size_t i, size_t end)
{
    while (i < end && tokens[i].is(CssToken::Type::Whitespace))
        ++i;
    return i;
}

// Where the block, function or brackets opened at open close, or end.
inline size_t closing(const std::vector<CssToken>& tokens, size_t open, size_t end)
{
    using Type = CssToken::Type;
    int nesting = 0;
    for (size_t i = open; i < end; ++i) {
        const Type t = tokens[i].type;
        if (t == Type::LeftParen || t == Type::Function || t == Type::LeftSquare || t == Type::LeftCurly)
            ++nesting;
        else if ((t == Type::RightParen || t == Type::RightSquare || t == Type::RightCurly) && --nesting == 0)
            return i;
    }
    return end;
}

} // namespace parlowen
