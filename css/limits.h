#pragma once
// How far the reading of sheets goes: beyond these no real page's sheets
// reach, and what lies past them is read past, not kept.

#include <cstddef>
#include <cstdint>

namespace parlowen {

// A rule's prelude, or a declaration's value, this long is no real page's:
// the rest is read past, not kept, and the rule or declaration dropped.
inline constexpr size_t kMaxPreludeTokens = size_t(1) << 16;
inline constexpr size_t kMaxValueTokens = 64;
// A rule's selector list may be longer: 100,000 selectors of three tokens
// each fit, and a browser keeps them; a token takes some 60 bytes while
// the rule is read.
inline constexpr size_t kMaxSelectorListTokens = size_t(1) << 19;
// @media inside @media this deep is read past.
inline constexpr int kMaxRuleNesting = 16;
// Work between two looks at the cancel flag and the budget.
inline constexpr std::uint64_t kCheckEvery = 4096;

} // namespace parlowen
