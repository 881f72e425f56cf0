#pragma once
// What the cascade reads of gumbo's tree, spelled once.

#include <gumbo.h>

#include <QByteArrayView>

namespace parlowen {

inline const GumboVector& childrenOf(const GumboNode* node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

inline QByteArrayView attributeValue(const GumboNode* element, const char* name)
{
    const GumboAttribute* attribute = gumbo_get_attribute(&element->v.element.attributes, name);
    return attribute ? QByteArrayView(attribute->value) : QByteArrayView();
}

inline const GumboVector& siblingsOf(const GumboNode* element)
{
    return childrenOf(element->parent);
}

// The element next to this one, after it (step 1) or before it (-1), or null.
inline const GumboNode* elementSibling(const GumboNode* element, int step)
{
    if (!element->parent)
        return nullptr;
    const GumboVector& siblings = siblingsOf(element);
    for (long i = long(element->index_within_parent) + step; i >= 0 && i < long(siblings.length); i += step) {
        const auto* node = static_cast<const GumboNode*>(siblings.data[i]);
        if (node->type == GUMBO_NODE_ELEMENT)
            return node;
    }
    return nullptr;
}

inline const GumboNode* parentElement(const GumboNode* element)
{
    const GumboNode* parent = element->parent;
    return parent && parent->type == GUMBO_NODE_ELEMENT ? parent : nullptr;
}

// Whether the link's rel names this word, in any case.
bool relNames(const GumboNode* link, QByteArrayView wanted);

// The parent's first HTML child element of this tag, or null.
const GumboNode* childElement(const GumboNode* parent, GumboTag tag);

} // namespace parlowen
