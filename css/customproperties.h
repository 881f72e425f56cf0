#pragma once
// Custom properties (--name: value) and the var() that reads them: the
// values each element declares or inherits, and its own properties' var()
// filled in from them, within the page's work budget and a memory cap.

#include "common/workbudget.h"
#include "css/declaration.h"

#include <gumbo.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace parlowen {

// What the sheets give an element that waits for its custom properties.
struct ElementVariables {
    // The winning declaration of each custom property, one per name.
    std::vector<const Declaration*> custom;
    // The winning declaration of each property whose value holds var().
    std::array<const Declaration*, size_t(CssProperty::Count)> pending{};
};

struct SheetVariables {
    std::unordered_map<const GumboNode*, ElementVariables> elements;
    // What they take, counted as they are kept.
    std::size_t bytes = 0;

    void note(const GumboNode* element, ElementVariables variables)
    {
        bytes += sizeof(ElementVariables) + 64 + variables.custom.size() * sizeof(const Declaration*);
        elements.emplace(element, std::move(variables));
    }
};

// The style of every element of body with a property whose value holds
// var(), from its sheets (sheetStyles, sheetVariables) or its style
// attribute, the style attribute's declarations on top, var() filled in:
// into resolved. Custom properties of the body's parent are inherited
// too. Spends from work, and the values filled in may take byteBudget;
// false when stopped by either, or cancelled.
bool resolveVariables(const GumboNode* body,
                      const std::unordered_map<const GumboNode*, DeclaredStyle>& sheetStyles,
                      const SheetVariables& sheetVariables,
                      std::unordered_map<const GumboNode*, DeclaredStyle>& resolved, WorkBudget& work,
                      std::size_t byteBudget);

} // namespace parlowen
