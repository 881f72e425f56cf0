#pragma once
// What a page's markup makes of its elements where a selector asks: form
// controls disabled or checked, placeholders shown, languages, custom
// elements. No script runs and nobody types, so the markup is all of it.

#include "common/workbudget.h"

#include <gumbo.h>

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <unordered_set>

namespace parlowen {

class ElementStates {
public:
    // What is read is spent from work.
    explicit ElementStates(WorkBudget& work) : m_work(work) {}

    // A custom element is never defined: no script defines it.
    static bool defined(const GumboNode* element);
    // nullopt for an element that is neither.
    std::optional<bool> disabled(const GumboNode* element);
    bool checked(const GumboNode* element);
    static bool placeholderShown(const GumboNode* element);
    // Whether the element's language is range or one of its subtags.
    bool langMatches(const GumboNode* element, QByteArrayView range);

private:
    bool insideDisabledFieldset(const GumboNode* element);
    // The checked controls and the page's default language, read once.
    void readDocument(const GumboNode* element);
    void noteSelect(const GumboNode* select);

    WorkBudget& m_work;
    bool m_documentRead = false;
    std::unordered_set<const GumboNode*> m_checked;
    QByteArray m_contentLanguage;
};

} // namespace parlowen
