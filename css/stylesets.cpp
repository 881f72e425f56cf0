#include "css/stylesets.h"

#include "css/elementtree.h"

#include <QByteArrayView>

#include <vector>

namespace parlowen {

namespace {

// The set name the element gives, or empty. A sheet whose media we are not
// names its set all the same.
QByteArrayView setNamed(const GumboNode* element)
{
    const GumboTag tag = element->v.element.tag;
    if (tag == GUMBO_TAG_META)
        return QByteArrayView(attributeValue(element, "http-equiv"))
                           .compare("default-style", Qt::CaseInsensitive) == 0
                   ? attributeValue(element, "content")
                   : QByteArrayView();
    const GumboAttribute* type = gumbo_get_attribute(&element->v.element.attributes, "type");
    if (type && *type->value && QByteArrayView(type->value).compare("text/css", Qt::CaseInsensitive) != 0)
        return {};
    if (tag == GUMBO_TAG_STYLE)
        return attributeValue(element, "title");
    if (tag == GUMBO_TAG_LINK && relNames(element, "stylesheet") && !relNames(element, "alternate"))
        return attributeValue(element, "title");
    return {};
}

} // namespace

QByteArray preferredStyleSet(const GumboOutput& tree, WorkBudget& work)
{
    std::vector<const GumboNode*> pending{tree.document};
    while (!pending.empty()) {
        if (work.cancelled())
            return {};
        const GumboNode* node = pending.back();
        pending.pop_back();
        work.count();
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboTag tag = node->v.element.tag;
            if (tag == GUMBO_TAG_NOSCRIPT)
                continue;
            // Only these name a set: the attributes of a log's hundreds of
            // thousands of cells are never looked up.
            const bool mayNameSet = tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_LINK || tag == GUMBO_TAG_META;
            const QByteArrayView name = mayNameSet ? setNamed(node) : QByteArrayView();
            if (!name.isEmpty())
                return name.toByteArray();
        }
        const GumboVector& children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT)
                pending.push_back(child);
        }
    }
    return {};
}

bool inPreferredStyleSet(const GumboNode* element, const QByteArray& preferred)
{
    const QByteArrayView title = attributeValue(element, "title");
    return title.isEmpty() || title == preferred;
}

} // namespace parlowen
