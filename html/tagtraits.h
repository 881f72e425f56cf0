#pragma once
// What HTML says about each element gumbo knows, in one table for every part
// that asks: the tree builder's rules that the pre-pass follows
// (openelements), the default style sheet (cssbox), the innerText walk
// (innertext) and the placeholder check (pagetext). A trait is a bit; a
// tag's entry is the set of its traits.

#include <gumbo.h>

#include <array>
#include <cstdint>

namespace parlowen {

enum TagTrait : uint32_t {
    // The tokenizer and the tree builder.
    kVoid = 1u << 0,
    kSpecial = 1u << 1,
    kRawText = 1u << 2,
    kRcData = 1u << 3,
    kClosesP = 1u << 4,
    kTableFamily = 1u << 5,
    // Ends the search for an open element, as the "has an element in scope" steps do.
    kScopeBoundary = 1u << 6,
    // Where the list of active formatting elements has a marker.
    kMarker = 1u << 7,
    // Table and template: where row groups stop looking for one of theirs.
    kTableBoundary = 1u << 8,
    kRowGroup = 1u << 9,
    kRow = 1u << 10,
    kCell = 1u << 11,
    kHeading = 1u << 12,
    kRubyText = 1u << 13,
    // Elements whose character data is not text read in the data state: a
    // run of page text put there would not come out as it went in.
    kOpaqueText = 1u << 14,
    // The default style sheet.
    kNeverRendered = 1u << 15,
    // One line break around the box...
    kBlock = 1u << 16,
    // ... or two.
    kParagraph = 1u << 17,
    kPreformatted = 1u << 18,
    // Replaced content or a control: no text of its own.
    kAtomic = 1u << 19,
    // An inline box whose content is laid out inside it.
    kInlineBlock = 1u << 20,
};

extern const std::array<uint32_t, GUMBO_TAG_LAST + 1> kTagTraits;

// True when the tag has any of the traits.
inline bool hasTrait(GumboTag tag, uint32_t traits)
{
    return (kTagTraits[tag] & traits) != 0;
}

} // namespace parlowen
