#pragma once
// The page's style sheets applied to its elements: what the cascade gives
// each element for the few properties innerText depends on. Sheets come
// from <style> elements and linked sheets, in document order; each element's
// style attribute goes on top, as in a browser.

#include <gumbo.h>

#include "html/pagetext.h"

#include <QByteArray>
#include <QUrl>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace parlowen {

struct CascadeRules;

enum class CssProperty : uint8_t { Display, Visibility, ContentVisibility, WhiteSpace, TextTransform, Count };

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
} // namespace css

struct DeclaredStyle {
    std::array<uint8_t, size_t(CssProperty::Count)> values{};
    // Which of them came from an !important declaration.
    std::array<bool, size_t(CssProperty::Count)> important{};

    uint8_t operator[](CssProperty p) const { return values[size_t(p)]; }
};

class Cascade {
public:
    Cascade();
    ~Cascade();
    Cascade(Cascade&&) noexcept;
    Cascade& operator=(Cascade&&) noexcept;

    // The sheets of the document applied to its body. Counts its work into
    // *work and gives up, with nullopt, once that passes budget, its rules
    // would take more than byteBudget, or cancelled is set.
    static std::optional<Cascade> build(const GumboOutput& tree, const PageStyleSheets* sheets,
                                        std::uint64_t* work, std::uint64_t budget, std::size_t byteBudget,
                                        const std::atomic<bool>* cancelled);

    // The sheets' declarations for the element, with its style attribute's
    // on top.
    DeclaredStyle styleOf(const GumboNode* element) const;

private:
    std::unique_ptr<CascadeRules> m_rules;
    std::unordered_map<const GumboNode*, DeclaredStyle> m_styles;
};

// The sheets the page links to, or imports from a <style> element, from its
// own origin (scheme, host, port), each once, in document order.
std::vector<QUrl> linkedStyleSheets(const GumboOutput& tree, const QUrl& pageUrl, std::uint64_t* work,
                                    const std::atomic<bool>* cancelled);

} // namespace parlowen
