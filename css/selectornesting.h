#pragma once
// How a relative selector in a nested rule or an @scope is read.

#include "css/selector.h"

#include <vector>

namespace parlowen {

// What a relative selector is read after: "& " inside a style rule,
// ":where(:scope) " directly inside an @scope.
std::vector<CssToken> implicitStart(const SelectorNesting& nesting);

// Whether the selector in tokens[begin, end) is read after that start:
// nested, with no & of its own (nor :scope, directly inside an @scope).
bool readsRelative(const std::vector<CssToken>& tokens, size_t begin, size_t end,
                   const SelectorNesting* nesting);

} // namespace parlowen
