#pragma once
// The page's style sheets applied to its elements: what the cascade gives
// each element for the few properties innerText depends on. Sheets come
// from <style> elements and linked sheets, in document order; each element's
// style attribute goes on top, as in a browser.

#include "common/workbudget.h"
#include "css/declaration.h"
#include "css/pagestylesheets.h"

#include <gumbo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

namespace parlowen {

struct CascadeRules;

class Cascade {
public:
    Cascade();
    ~Cascade();
    Cascade(Cascade&&) noexcept;
    Cascade& operator=(Cascade&&) noexcept;

    // The sheets of the document applied to its body; quirks, a page in
    // quirks mode, matches classes and ids in any case. Spends its work
    // from work and gives up, with nullopt, once that is over budget or
    // cancelled, or its rules would take more than byteBudget.
    static std::optional<Cascade> build(const GumboOutput& tree, bool quirks, const PageStyleSheets* sheets,
                                        WorkBudget& work, std::size_t byteBudget);

    // The sheets' declarations for the element, with its style attribute's
    // on top.
    DeclaredStyle styleOf(const GumboNode* element) const;

    // A rule that could change the text was dropped, and the elements it
    // applies to are unknown: a browser may hide any of the page. Which
    // elements a rule dropped for a declaration applies to, styleOf tells.
    bool pageDoubtful() const;

private:
    std::unique_ptr<CascadeRules> m_rules;
    std::unordered_map<const GumboNode*, DeclaredStyle> m_styles;
    // The whole style, style attribute included, of each element whose
    // var() were filled in.
    std::unordered_map<const GumboNode*, DeclaredStyle> m_resolved;
};

} // namespace parlowen
