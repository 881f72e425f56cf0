#pragma once
// The properties innerText depends on, their values, and what a
// declaration of one says.

#include "css/tokenizer.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace parlowen {

enum class CssProperty : uint8_t {
    Display,
    Visibility,
    ContentVisibility,
    WhiteSpace,
    TextTransform,
    Float,
    Position,
    Count
};

// A declared value: not declared, "inherit", the default style sheet's
// value, or one of the property's own below.
namespace css {
inline constexpr uint8_t kUndeclared = 0;
inline constexpr uint8_t kInherit = 1;
inline constexpr uint8_t kDefault = 2;
// display
inline constexpr uint8_t kNone = 3;
inline constexpr uint8_t kBlock = 4;
inline constexpr uint8_t kInlineBlock = 5;
inline constexpr uint8_t kInline = 6;
inline constexpr uint8_t kContents = 7;
// A flex or grid container: its children are blocks whatever their display.
inline constexpr uint8_t kFlex = 8;
inline constexpr uint8_t kInlineFlex = 9;
inline constexpr uint8_t kTable = 10;
inline constexpr uint8_t kInlineTable = 11;
inline constexpr uint8_t kTableRowGroup = 12;
inline constexpr uint8_t kTableRow = 13;
inline constexpr uint8_t kTableCell = 14;
inline constexpr uint8_t kTableCaption = 15;
// visibility and content-visibility
inline constexpr uint8_t kVisible = 3;
inline constexpr uint8_t kHidden = 4;
// white-space
inline constexpr uint8_t kCollapse = 3;
inline constexpr uint8_t kPreserve = 4;
inline constexpr uint8_t kPreserveBreaks = 5;
// text-transform
inline constexpr uint8_t kNoTransform = 3;
inline constexpr uint8_t kUppercase = 4;
inline constexpr uint8_t kLowercase = 5;
inline constexpr uint8_t kCapitalize = 6;
// float
inline constexpr uint8_t kNotFloated = 3;
inline constexpr uint8_t kFloated = 4;
// position
inline constexpr uint8_t kInFlow = 3;
inline constexpr uint8_t kOutOfFlow = 4;
} // namespace css

struct DeclaredStyle {
    std::array<uint8_t, size_t(CssProperty::Count)> values{};
    // Which of them came from an !important declaration.
    std::array<bool, size_t(CssProperty::Count)> important{};

    uint8_t operator[](CssProperty p) const { return values[size_t(p)]; }
};

struct Declaration {
    CssProperty property;
    uint8_t value;
    bool important;
};

// The property and value a declaration gives, if it is one of ours and
// valid; anything else is dropped, as a browser drops it.
std::optional<Declaration> interpret(const QByteArray& name, const std::vector<CssToken>& value);

} // namespace parlowen
