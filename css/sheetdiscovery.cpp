#include "css/sheetdiscovery.h"

#include "common/asciitext.h"
#include "css/elementtree.h"
#include "css/limits.h"
#include "css/mediaquery.h"
#include "css/sheetreader.h"
#include "css/sheeturls.h"
#include "css/stylesets.h"

#include <algorithm>

namespace parlowen {

namespace {

using Type = CssToken::Type;

bool mediaAttributeMatches(const GumboNode* element)
{
    const GumboAttribute* media = gumbo_get_attribute(&element->v.element.attributes, "media");
    if (!media)
        return true;
    WorkBudget unbounded; // an attribute, bounded by the page's size
    CssTokenizer tokenizer(QByteArrayView(media->value), unbounded);
    std::vector<CssToken> tokens;
    for (CssToken t = tokenizer.next(); !t.is(Type::End) && tokens.size() < kMaxPreludeTokens;
         t = tokenizer.next())
        tokens.push_back(std::move(t));
    return screenMatchesMedia(tokens);
}

} // namespace

bool relNames(const GumboNode* link, QByteArrayView wanted)
{
    const QByteArrayView rel = attributeValue(link, "rel");
    for (qsizetype i = 0; i < rel.size();) {
        while (i < rel.size() && isAsciiWhitespace(rel[i]))
            ++i;
        qsizetype end = i;
        while (end < rel.size() && !isAsciiWhitespace(rel[end]))
            ++end;
        if (end > i && rel.sliced(i, end - i).compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
        i = end;
    }
    return false;
}

const GumboNode* childElement(const GumboNode* parent, GumboTag tag)
{
    if (!parent)
        return nullptr;
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag &&
            child->v.element.tag_namespace == GUMBO_NAMESPACE_HTML)
            return child;
    }
    return nullptr;
}

bool visitSheetElements(const GumboOutput& tree, WorkBudget& work,
                        const std::function<bool(const GumboNode*)>& visit)
{
    std::vector<const GumboNode*> pending{tree.document};
    while (!pending.empty()) {
        if (work.cancelled())
            return false;
        const GumboNode* node = pending.back();
        pending.pop_back();
        work.count();
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboTag tag = node->v.element.tag;
            if (tag == GUMBO_TAG_NOSCRIPT)
                continue;
            if (tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_LINK) {
                if (!visit(node))
                    return true;
                continue;
            }
        }
        // Only elements hold sheets: text, the most of a log's nodes, is never looked at.
        const GumboVector& children = childrenOf(node);
        for (unsigned i = children.length; i-- > 0;) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_ELEMENT)
                pending.push_back(child);
        }
    }
    return true;
}

QUrl documentBase(const GumboOutput& tree, const QUrl& pageUrl)
{
    const GumboNode* head = childElement(tree.root, GUMBO_TAG_HEAD);
    const GumboNode* base = childElement(head, GUMBO_TAG_BASE);
    const QByteArrayView href = base ? attributeValue(base, "href") : QByteArrayView();
    if (href.isEmpty())
        return pageUrl;
    const QUrl resolved = pageUrl.resolved(QUrl(QString::fromUtf8(trimmedAscii(href))));
    return resolved.isValid() ? resolved : pageUrl;
}

std::optional<QUrl> linkedSheetUrl(const GumboNode* link, const QUrl& base, const QUrl& pageUrl)
{
    const bool stylesheet = relNames(link, "stylesheet");
    const bool alternate = relNames(link, "alternate");
    const QByteArrayView href = trimmedAscii(attributeValue(link, "href"));
    const GumboAttribute* type = gumbo_get_attribute(&link->v.element.attributes, "type");
    // A disabled link is a sheet the page has turned off.
    if (!stylesheet || alternate || href.isEmpty() ||
        gumbo_get_attribute(&link->v.element.attributes, "disabled") ||
        (type && *type->value && QByteArrayView(type->value).compare("text/css", Qt::CaseInsensitive) != 0) ||
        !mediaAttributeMatches(link))
        return std::nullopt;
    const QUrl url = base.resolved(QUrl(QString::fromUtf8(href))).adjusted(QUrl::RemoveFragment);
    if (!url.isValid() || !sameOrigin(url, pageUrl))
        return std::nullopt;
    return url;
}

std::optional<QByteArray> styleElementText(const GumboNode* element)
{
    const GumboAttribute* type = gumbo_get_attribute(&element->v.element.attributes, "type");
    if (type && *type->value && QByteArrayView(type->value).compare("text/css", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    if (!mediaAttributeMatches(element))
        return std::nullopt;
    QByteArray text;
    const GumboVector& children = element->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
            text.append(child->v.text.text);
    }
    return text;
}

std::vector<QUrl> linkedStyleSheets(const GumboOutput& tree, const QUrl& pageUrl, WorkBudget& work)
{
    std::vector<QUrl> urls;
    const QUrl base = documentBase(tree, pageUrl);
    const auto add = [&urls](const QUrl& url) {
        if (std::find(urls.begin(), urls.end(), url) == urls.end())
            urls.push_back(url);
    };
    // Sheets of a set that is not the preferred one are never applied.
    const QByteArray preferredSet = preferredStyleSet(tree, work);
    visitSheetElements(tree, work, [&](const GumboNode* node) {
        if (!inPreferredStyleSet(node, preferredSet))
            return true;
        if (node->v.element.tag == GUMBO_TAG_LINK) {
            if (const std::optional<QUrl> url = linkedSheetUrl(node, base, pageUrl))
                add(*url);
        } else if (const std::optional<QByteArray> text = styleElementText(node)) {
            // A <style> element's own @imports are the page's sheets too.
            for (const QUrl& url : importedStyleSheets(*text, base, pageUrl))
                add(url);
        }
        return true;
    });
    return urls;
}

std::vector<QUrl> importedStyleSheets(QByteArrayView sheet, const QUrl& sheetUrl, const QUrl& pageUrl)
{
    std::vector<QUrl> urls;
    WorkBudget unbounded; // only the imports at the top are read
    SheetReader reader(withoutByteOrderMark(sheet), unbounded);
    // Imports come first, after at most a @charset and @layer statements.
    for (;;) {
        const CssToken& t = reader.current();
        if (t.is(Type::Whitespace) || t.is(Type::Cdo) || t.is(Type::Cdc)) {
            reader.advance();
            continue;
        }
        if (!t.is(Type::AtKeyword))
            break;
        const QByteArray name = t.text.toLower();
        if (name != "import" && name != "charset" && name != "layer")
            break;
        reader.advance();
        std::vector<CssToken> prelude;
        while (!reader.current().is(Type::End) && !reader.current().is(Type::Semicolon) &&
               !reader.current().is(Type::LeftCurly))
            reader.component(&prelude, kMaxPreludeTokens);
        if (!reader.current().is(Type::Semicolon))
            break;
        reader.advance();
        size_t i = 0;
        while (i < prelude.size() && prelude[i].is(Type::Whitespace))
            ++i;
        const std::optional<QUrl> url = name == "import" ? importUrl(prelude, i, sheetUrl) : std::nullopt;
        if (url && sameOrigin(*url, pageUrl) && std::find(urls.begin(), urls.end(), *url) == urls.end())
            urls.push_back(*url);
    }
    return urls;
}

} // namespace parlowen
