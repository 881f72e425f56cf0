#pragma once
// The properties innerText depends on, their values, and what a
// declaration of one says.

#include "css/tokenizer.h"

#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

namespace parlowen {

// Custom stands for any custom property (--name); it is none of ours, so it
// comes after Count.
enum class CssProperty : uint8_t {
    Display,
    Visibility,
    ContentVisibility,
    WhiteSpace,
    TextTransform,
    Float,
    Position,
    Count,
    Custom
};

namespace css {

// What any property may be declared as besides its own values: not at all,
// inherited from the parent, the default style sheet's value ("revert"),
// or waiting for the element's custom properties to fill its var().
enum class Wide : uint8_t { Undeclared, Inherit, Revert, Pending };
inline constexpr uint8_t kFirstOwnValue = 4;

// Each property's own values. OwnBox: the element keeps the box the default
// style sheet gives it (a table's columns, the parts of ruby). Flex and
// InlineFlex stand for grids too: the children of either are blocks
// whatever their display.
enum class Display : uint8_t {
    None = kFirstOwnValue,
    Block,
    InlineBlock,
    Inline,
    Contents,
    OwnBox,
    Flex,
    InlineFlex,
    Table,
    InlineTable,
    TableRowGroup,
    TableRow,
    TableCell,
    TableCaption
};
enum class Visibility : uint8_t { Visible = kFirstOwnValue, Hidden };
enum class ContentVisibility : uint8_t { Visible = kFirstOwnValue, Hidden };
enum class WhiteSpace : uint8_t { Collapse = kFirstOwnValue, Preserve, PreserveBreaks };
enum class TextTransform : uint8_t { None = kFirstOwnValue, Uppercase, Lowercase, Capitalize };
// A float, or a box positioned out of the flow (absolute, fixed), is a
// block of its own whatever its display.
enum class Float : uint8_t { None = kFirstOwnValue, Floated };
enum class Position : uint8_t { InFlow = kFirstOwnValue, OutOfFlow };

// The values of each property, in CssProperty's order.
using PropertyValues =
    std::tuple<Display, Visibility, ContentVisibility, WhiteSpace, TextTransform, Float, Position>;
static_assert(std::tuple_size_v<PropertyValues> == size_t(CssProperty::Count));
template <CssProperty P> using ValueOf = std::tuple_element_t<size_t(P), PropertyValues>;

// A declared value of a property whose own values are V: comparing it with
// another property's value does not compile.
template <typename V> class Declared {
public:
    explicit Declared(uint8_t raw) : m_raw(raw) {}
    bool is(Wide wide) const { return m_raw == uint8_t(wide); }
    bool operator==(V value) const { return m_raw == uint8_t(value); }
    std::optional<V> own() const { return m_raw >= kFirstOwnValue ? std::optional(V(m_raw)) : std::nullopt; }

private:
    uint8_t m_raw;
};

// What a custom property's declaration says besides a value kept as
// written (0): that it inherits (inherit, unset, revert), that it has the
// initial value, which makes var() take its fallback, or a value past what
// is kept: still its value, so var() takes no fallback, but none of our
// properties can take it.
inline constexpr uint8_t kCustomInherits = uint8_t(Wide::Inherit);
inline constexpr uint8_t kCustomInitial = kFirstOwnValue;
inline constexpr uint8_t kCustomTooLong = kFirstOwnValue + 1;

} // namespace css

struct DeclaredStyle {
    std::array<uint8_t, size_t(CssProperty::Count)> values{};
    // Which of them came from an !important declaration.
    std::array<bool, size_t(CssProperty::Count)> important{};
    // A rule for the element, or its style attribute, had a declaration
    // the cascade could not read: a browser may show it otherwise.
    bool doubtful = false;

    template <CssProperty P> css::Declared<css::ValueOf<P>> get() const
    {
        return css::Declared<css::ValueOf<P>>(values[size_t(P)]);
    }
};

struct Declaration {
    CssProperty property;
    // One of the property's values or of css::Wide, raw; for a custom
    // property, 0 or one of the kCustom values.
    uint8_t value;
    bool important;
    // A custom property's name and value, or, for a value that holds var(),
    // the name it was declared under ("all", "white-space-collapse") and the
    // value as written: both are read again for each element.
    QByteArray name;
    QByteArray text;
};

// The declarations a declaration in a sheet makes (several for "all"),
// appended to out, if it is one of ours or a custom property and valid;
// anything else is dropped, as a browser drops it. value's tokens point
// into sheet.
void interpret(const QByteArray& name, const std::vector<CssToken>& value, const QByteArray& sheet,
               std::vector<Declaration>& out);

// What a property is when its value cannot be read once var() is filled
// in: inherited if it inherits, else its initial value.
uint8_t unsetValue(CssProperty property);

} // namespace parlowen
