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

// The parent's first HTML child element of this tag, or null.
const GumboNode* childElement(const GumboNode* parent, GumboTag tag);

} // namespace parlowen
