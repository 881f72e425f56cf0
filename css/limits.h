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
// Rules nested this deep, or sheets imported through this many others, are
// read past and counted (CascadeRules::rulesPastLimits): no real sheet nests
// so deep, and reading them costs a few frames of the stack a level, well
// within a thread's.
inline constexpr int kMaxRuleNesting = 256;
inline constexpr size_t kMaxCustomValueTokens = 1024;
// var() filled in: a value longer than this, as Chromium counts it, is
// invalid; one longer than kMaxKeptValueBytes is still valid but kept only
// by its length, as none of our properties can take it; references deeper
// than kMaxReferenceDepth (a var() in a fallback, or a custom property
// that reads another of the same element) are invalid.
inline constexpr std::uint64_t kMaxSubstitutedBytes = std::uint64_t(2) << 20;
inline constexpr std::uint64_t kMaxKeptValueBytes = 4096;
inline constexpr int kMaxReferenceDepth = 64;

} // namespace parlowen
