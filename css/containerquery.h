#pragma once
// Whether an @container query matches on a page where nothing is a size
// container: we lay nothing out, so no element is one.

#include "css/tokenizer.h"

#include <vector>

namespace parlowen {

// A query with a size feature anywhere in it asks for a size container
// there is not, and matches nothing, "not" and "or" around it too; style()
// asks about custom properties we do not keep, and is false, so that
// "not style(--x: y)" matches. A named container is never there.
bool containerQueryMatches(const std::vector<CssToken>& prelude);

} // namespace parlowen
