#pragma once
// Whether an @supports condition (or an @import's supports()) holds, as
// Chromium answers it for the properties and selectors we know.

#include "css/tokenizer.h"

#include <QByteArray>

#include <vector>

namespace parlowen {

// The condition in tokens[begin, end). A declaration holds when Chromium
// takes it, selector() when our selector parser reads it; anything not
// understood is false, and a condition that is no condition at all is
// false too.
bool supportsCondition(const std::vector<CssToken>& tokens, size_t begin, size_t end, const QByteArray& text);

} // namespace parlowen
