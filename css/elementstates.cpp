#include "css/elementstates.h"

#include "common/asciitext.h"
#include "css/elementtree.h"
#include "css/selectormatcher.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace parlowen {

namespace {

bool isHtml(const GumboNode* node, GumboTag tag)
{
    return node && node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

bool hasAttribute(const GumboNode* element, const char* name)
{
    return gumbo_get_attribute(&element->v.element.attributes, name) != nullptr;
}

QByteArray lowerAttribute(const GumboNode* element, const char* name)
{
    return attributeValue(element, name).toByteArray().toLower();
}

// A name the page may define as its own element: a lower-case letter
// first, a hyphen somewhere, and none of the names older markup took.
bool isCustomElementName(const QByteArray& name)
{
    static constexpr std::string_view reserved[] = {"annotation-xml", "color-profile", "font-face",
                                                    "font-face-src",  "font-face-uri", "font-face-format",
                                                    "font-face-name", "missing-glyph"};
    if (name.isEmpty() || name[0] < 'a' || name[0] > 'z' || !name.contains('-'))
        return false;
    const bool allowed = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    });
    const std::string_view n(name.constData(), size_t(name.size()));
    return allowed && std::find(std::begin(reserved), std::end(reserved), n) == std::end(reserved);
}

// The select an option or option group is listed in, or null.
const GumboNode* owningSelect(const GumboNode* element)
{
    const GumboNode* parent = element->parent;
    if (isHtml(parent, GUMBO_TAG_OPTGROUP) && element->v.element.tag == GUMBO_TAG_OPTION)
        parent = parent->parent;
    return isHtml(parent, GUMBO_TAG_SELECT) ? parent : nullptr;
}

// Input types that show a placeholder: the text-like ones, and whatever
// type a browser does not know, which it takes for text.
bool showsPlaceholder(const QByteArray& type)
{
    static constexpr std::string_view others[] = {"hidden", "checkbox",       "radio",  "file",  "submit",
                                                  "image",  "reset",          "button", "range", "color",
                                                  "date",   "datetime-local", "month",  "week",  "time"};
    const std::string_view t(type.constData(), size_t(type.size()));
    return std::find(std::begin(others), std::end(others), t) == std::end(others);
}

// The element's own lang, the XML one before the HTML one as browsers
// read them; nullopt when it has neither.
std::optional<QByteArrayView> ownLanguage(const GumboNode* element)
{
    const GumboVector& attributes = element->v.element.attributes;
    const GumboAttribute* html = nullptr;
    for (unsigned i = 0; i < attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
        if (qstrcmp(attribute->name, "lang") != 0)
            continue;
        if (attribute->attr_namespace == GUMBO_ATTR_NAMESPACE_XML)
            return QByteArrayView(attribute->value);
        if (attribute->attr_namespace == GUMBO_ATTR_NAMESPACE_NONE &&
            element->v.element.tag_namespace == GUMBO_NAMESPACE_HTML)
            html = attribute;
    }
    return html ? std::optional(QByteArrayView(html->value)) : std::nullopt;
}

} // namespace

bool ElementStates::defined(const GumboNode* element)
{
    return element->v.element.tag_namespace != GUMBO_NAMESPACE_HTML ||
           element->v.element.tag != GUMBO_TAG_UNKNOWN || !isCustomElementName(tagNameOf(element));
}

// A fieldset that is disabled disables what it holds, but what is in its
// first legend.
bool ElementStates::insideDisabledFieldset(const GumboNode* element)
{
    for (const GumboNode *child = element, *up = element->parent; up && up->type == GUMBO_NODE_ELEMENT;
         child = up, up = up->parent) {
        m_work.count();
        if (!isHtml(up, GUMBO_TAG_FIELDSET) || !hasAttribute(up, "disabled"))
            continue;
        if (!isHtml(child, GUMBO_TAG_LEGEND) || childElement(up, GUMBO_TAG_LEGEND) != child)
            return true;
    }
    return false;
}

std::optional<bool> ElementStates::disabled(const GumboNode* element)
{
    if (element->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return std::nullopt;
    switch (element->v.element.tag) {
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_FIELDSET:
        return hasAttribute(element, "disabled") || insideDisabledFieldset(element);
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_OPTION: {
        // An option in a disabled group, or either in a disabled select.
        if (hasAttribute(element, "disabled") ||
            (isHtml(element->parent, GUMBO_TAG_OPTGROUP) && hasAttribute(element->parent, "disabled")))
            return true;
        const GumboNode* select = owningSelect(element);
        return select && *disabled(select);
    }
    default:
        return std::nullopt;
    }
}

bool ElementStates::checked(const GumboNode* element)
{
    readDocument(element);
    return m_checked.count(element) != 0;
}

bool ElementStates::placeholderShown(const GumboNode* element)
{
    if (!hasAttribute(element, "placeholder") || element->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return false;
    if (element->v.element.tag == GUMBO_TAG_INPUT)
        return showsPlaceholder(lowerAttribute(element, "type")) &&
               attributeValue(element, "value").isEmpty();
    if (element->v.element.tag != GUMBO_TAG_TEXTAREA)
        return false;
    const GumboVector& children = element->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type != GUMBO_NODE_COMMENT && (child->type == GUMBO_NODE_ELEMENT || *child->v.text.text))
            return false;
    }
    return true;
}

bool ElementStates::langMatches(const GumboNode* element, QByteArrayView range)
{
    std::optional<QByteArrayView> language;
    for (const GumboNode* up = element; up && up->type == GUMBO_NODE_ELEMENT && !language; up = up->parent) {
        m_work.count();
        language = ownLanguage(up);
    }
    if (!language) {
        readDocument(element);
        language = QByteArrayView(m_contentLanguage);
    }
    return language->size() >= range.size() &&
           language->first(range.size()).compare(range, Qt::CaseInsensitive) == 0 &&
           (language->size() == range.size() || (*language)[range.size()] == '-');
}

// A select that shows one option at a time shows one always: the last the
// markup selects, or else the first that may be chosen.
void ElementStates::noteSelect(const GumboNode* select)
{
    std::vector<const GumboNode*> options;
    const GumboVector& children = select->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* node = static_cast<const GumboNode*>(children.data[i]);
        if (isHtml(node, GUMBO_TAG_OPTION))
            options.push_back(node);
        if (!isHtml(node, GUMBO_TAG_OPTGROUP))
            continue;
        const GumboVector& grouped = node->v.element.children;
        for (unsigned j = 0; j < grouped.length; ++j) {
            if (isHtml(static_cast<const GumboNode*>(grouped.data[j]), GUMBO_TAG_OPTION))
                options.push_back(static_cast<const GumboNode*>(grouped.data[j]));
        }
    }
    m_work.count(options.size());
    const bool oneAtATime =
        !hasAttribute(select, "multiple") && attributeValue(select, "size").toByteArray().toInt() <= 1;
    const GumboNode* shown = nullptr;
    for (const GumboNode* option : options) {
        if (!hasAttribute(option, "selected"))
            continue;
        shown = option;
        if (!oneAtATime)
            m_checked.insert(option);
    }
    if (!oneAtATime)
        return;
    for (auto it = options.begin(); !shown && it != options.end(); ++it) {
        const bool groupDisabled =
            isHtml((*it)->parent, GUMBO_TAG_OPTGROUP) && hasAttribute((*it)->parent, "disabled");
        if (!hasAttribute(*it, "disabled") && !groupDisabled)
            shown = *it;
    }
    if (shown)
        m_checked.insert(shown);
}

// Of the radio buttons of one name in one form, the last the markup checks
// is the one checked.
void ElementStates::readDocument(const GumboNode* element)
{
    if (m_documentRead)
        return;
    m_documentRead = true;
    const GumboNode* root = element;
    while (root->parent)
        root = root->parent;
    std::map<std::pair<const GumboNode*, QByteArray>, const GumboNode*> radios;
    std::vector<const GumboNode*> pending = {root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        m_work.count();
        const GumboVector& children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE)
                pending.push_back(child);
        }
        if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
            continue;
        const GumboTag tag = node->v.element.tag;
        if (tag == GUMBO_TAG_INPUT && hasAttribute(node, "checked")) {
            const QByteArray type = lowerAttribute(node, "type");
            const QByteArray name = attributeValue(node, "name").toByteArray();
            if (type == "checkbox" || (type == "radio" && name.isEmpty()))
                m_checked.insert(node);
            else if (type == "radio") {
                const GumboNode* form = node->parent;
                while (form && !isHtml(form, GUMBO_TAG_FORM))
                    form = form->parent;
                radios[{form, name}] = node;
            }
        } else if (tag == GUMBO_TAG_SELECT) {
            noteSelect(node);
        } else if (tag == GUMBO_TAG_OPTION && !owningSelect(node) && hasAttribute(node, "selected")) {
            m_checked.insert(node);
        } else if (tag == GUMBO_TAG_META &&
                   attributeValue(node, "http-equiv").compare("content-language", Qt::CaseInsensitive) == 0) {
            const QByteArrayView content = attributeValue(node, "content");
            m_contentLanguage =
                trimmedAscii(content.first(content.indexOf(',') < 0 ? content.size() : content.indexOf(',')))
                    .toByteArray();
        }
    }
    for (const auto& [group, radio] : radios)
        m_checked.insert(radio);
}

} // namespace parlowen
