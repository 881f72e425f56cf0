// Page bytes to the text a browser shows for the body: decoding, then the
// HTML standard's innerText ("rendered text collection steps") over gumbo's
// tree, with the default style sheet's idea of what is hidden and what is a
// block.

#include "html/pagetext.h"

#include "html/asciitext.h"

#include "html/charset.h"
#include "html/htmlprepass.h"
#include "html/pagetext_p.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace parlowen {

namespace {

const GumboOptions& parseOptions()
{
    static const GumboOptions options = [] {
        GumboOptions o = kGumboDefaultOptions;
        // Nothing reads gumbo's error list, and a broken page can fill it.
        o.max_errors = 0;
        return o;
    }();
    return options;
}

struct GumboOutputDeleter {
    void operator()(GumboOutput* output) const { gumbo_destroy_output(&parseOptions(), output); }
};

// Points into the buffer it was parsed from, which must outlive it.
using GumboTree = std::unique_ptr<GumboOutput, GumboOutputDeleter>;

GumboTree parseHtml(QByteArrayView utf8)
{
    return GumboTree(gumbo_parse_with_options(&parseOptions(), utf8.data(), size_t(utf8.size())));
}

const GumboVector& childrenOf(const GumboNode* node)
{
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

bool isElement(const GumboNode* node)
{
    return node->type == GUMBO_NODE_ELEMENT;
}

bool isHtmlElement(const GumboNode* node, GumboTag tag)
{
    return isElement(node) && node->v.element.tag == tag &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

bool hasAttribute(const GumboNode* node, const char* name)
{
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

enum class WhiteSpace { Collapse, Preserve, PreserveBreaks };

// What an inline style attribute says about display and white-space; the
// last declaration of each wins, as in CSS.
struct InlineStyle {
    std::optional<QByteArray> display;
    std::optional<WhiteSpace> whiteSpace;
};

InlineStyle parseInlineStyle(const GumboNode* node)
{
    InlineStyle style;
    const GumboAttribute* attr = gumbo_get_attribute(&node->v.element.attributes, "style");
    if (!attr)
        return style;
    const QByteArrayView text(attr->value);
    for (QByteArrayView rest = text; !rest.isEmpty();) {
        const qsizetype semi = rest.indexOf(';');
        const QByteArrayView declaration = semi < 0 ? rest : rest.first(semi);
        rest = semi < 0 ? QByteArrayView() : rest.sliced(semi + 1);
        const qsizetype colon = declaration.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray property = trimmedAscii(declaration.first(colon)).toByteArray().toLower();
        QByteArray value = trimmedAscii(declaration.sliced(colon + 1)).toByteArray().toLower();
        const qsizetype bang = value.indexOf('!');
        if (bang >= 0 && trimmedAscii(QByteArrayView(value).sliced(bang + 1)) == "important")
            value = trimmedAscii(QByteArrayView(value).first(bang)).toByteArray();
        if (property == "display") {
            style.display = value;
        } else if (property == "white-space") {
            if (value == "pre" || value == "pre-wrap" || value == "break-spaces")
                style.whiteSpace = WhiteSpace::Preserve;
            else if (value == "pre-line")
                style.whiteSpace = WhiteSpace::PreserveBreaks;
            else if (value == "normal" || value == "nowrap")
                style.whiteSpace = WhiteSpace::Collapse;
        }
    }
    return style;
}

// Elements the default style sheet never renders, and elements whose
// children are replaced content or fallback that a browser does not show.
bool isNeverRendered(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT: // browsers run scripts, so they hide it
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_IMAGE:
        return true;
    default:
        return false;
    }
}

// Line breaks the default style sheet implies around an element: 1 for a
// block-level box, 2 for a paragraph, 0 for inline content.
int requiredBreaks(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_P:
        return 2;
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_OPTGROUP:
    // Shown the way a list box shows them: one option a line.
    case GUMBO_TAG_OPTION:
    // Not a browser's choice: routers often show their log in a text area.
    case GUMBO_TAG_TEXTAREA:
        return 1;
    default:
        return 0;
    }
}

bool isPreformatted(GumboTag tag)
{
    return tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING || tag == GUMBO_TAG_XMP ||
           tag == GUMBO_TAG_PLAINTEXT || tag == GUMBO_TAG_TEXTAREA;
}

bool isRendered(const GumboNode* node)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return node->type != GUMBO_NODE_TEMPLATE && node->type != GUMBO_NODE_COMMENT;
    const GumboElement& element = node->v.element;
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML && isNeverRendered(element.tag))
        return false;
    if (hasAttribute(node, "hidden"))
        return false;
    const InlineStyle style = parseInlineStyle(node);
    return !(style.display && *style.display == "none");
}

// The text as it is collected: UTF-8 (half the size of UTF-16 while the page
// and its tree are still alive), in pieces of about a mebibyte, so that
// widening it to a QString frees each piece as soon as it is converted and a
// large page's text is never held twice. A piece ends only between appends,
// which are always whole characters.
class Utf8Chunks {
public:
    void append(const char* data, qsizetype size)
    {
        if (m_chunks.empty() || (!m_chunks.back().isEmpty() && m_chunks.back().size() + size > ChunkBytes)) {
            m_chunks.emplace_back();
            m_chunks.back().reserve(std::max(ChunkBytes, size));
        }
        m_chunks.back().append(data, size);
    }
    void append(const char* text) { append(text, qsizetype(std::strlen(text))); }
    void append(char c) { append(&c, 1); }

    QString toString() &&
    {
        qsizetype bytes = 0;
        for (const QByteArray& chunk : m_chunks)
            bytes += chunk.size();
        QString text;
        text.reserve(bytes); // never fewer bytes than characters
        for (QByteArray& chunk : m_chunks)
            text.append(QString::fromUtf8(std::exchange(chunk, {})));
        m_chunks.clear();
        return text;
    }

private:
    static constexpr qsizetype ChunkBytes = 1 << 20;
    std::vector<QByteArray> m_chunks;
};

// Builds the text as UTF-8, with white space collapsed the way CSS lays out
// "white-space: normal" text, and the required line breaks of blocks merged:
// a run of them becomes as many breaks as the largest asks for, and runs at
// the very start and end are dropped.
class TextCollector {
public:
    TextCollector(const char* source, const std::vector<TextRun>* runs) : m_source(source), m_runs(runs) {}

    void requireBreaks(int count)
    {
        m_requiredBreaks = std::max(m_requiredBreaks, count);
        startLine();
    }

    // A forced line break (br, or the end of a table row) is text, not a
    // required break: it is never merged or dropped.
    void lineBreak()
    {
        beginContent();
        m_out.append("\r\n");
        startLine();
    }

    void cellSeparator()
    {
        beginContent();
        m_out.append('\t');
        startLine();
    }

    // Starts a new line box: spaces at the end of the old line and at the
    // start of the new one are not rendered.
    void startLine()
    {
        m_pendingSpace = false;
        m_atLineStart = true;
    }

    void textNode(const char* text, WhiteSpace mode)
    {
        const char* end = text + std::strlen(text);
        if (!m_runs) {
            append(text, end, mode);
            return;
        }
        // Placeholders stand for runs of the original page: put them back
        // before white space is looked at, so the result is unchanged.
        for (const char* p = text; p < end;) {
            const void* lead = std::memchr(p, 0xF3, size_t(end - p));
            const char* at = lead ? static_cast<const char*>(lead) : end;
            const qsizetype index = at < end ? decodePlaceholder(at, end) : -1;
            if (index < 0) {
                append(p, at < end ? at + 1 : end, mode);
                p = at < end ? at + 1 : end;
                continue;
            }
            append(p, at, mode);
            const TextRun& run = (*m_runs)[size_t(index)];
            append(m_source + run.offset, m_source + run.offset + run.length, mode);
            p = at + kPlaceholderBytes;
        }
    }

    Utf8Chunks finish() { return std::move(m_out); }

private:
    void beginContent()
    {
        if (m_hasContent) {
            for (int i = 0; i < m_requiredBreaks; ++i)
                m_out.append("\r\n");
        }
        m_requiredBreaks = 0;
        m_hasContent = true;
    }

    void append(const char* p, const char* end, WhiteSpace mode)
    {
        switch (mode) {
        case WhiteSpace::Collapse:
            appendCollapsed(p, end);
            break;
        case WhiteSpace::Preserve:
            appendPreserved(p, end);
            break;
        case WhiteSpace::PreserveBreaks:
            while (p < end) {
                const void* nl = std::memchr(p, '\n', size_t(end - p));
                const char* lineEnd = nl ? static_cast<const char*>(nl) : end;
                appendCollapsed(p, lineEnd);
                if (lineEnd < end)
                    lineBreak();
                p = lineEnd < end ? lineEnd + 1 : end;
            }
            break;
        }
    }

    void appendCollapsed(const char* p, const char* end)
    {
        while (p < end) {
            if (isAsciiWhitespace(*p)) {
                m_pendingSpace = !m_atLineStart;
                ++p;
                continue;
            }
            const char* word = p;
            while (p < end && !isAsciiWhitespace(*p))
                ++p;
            beginContent();
            if (m_pendingSpace)
                m_out.append(' ');
            m_out.append(word, p - word);
            m_pendingSpace = false;
            m_atLineStart = false;
        }
    }

    void appendPreserved(const char* p, const char* end)
    {
        if (p == end)
            return;
        beginContent();
        if (m_pendingSpace)
            m_out.append(' ');
        m_pendingSpace = false;
        while (p < end) {
            const void* nl = std::memchr(p, '\n', size_t(end - p));
            const char* lineEnd = nl ? static_cast<const char*>(nl) : end;
            m_out.append(p, lineEnd - p);
            if (lineEnd < end)
                m_out.append("\r\n");
            p = lineEnd < end ? lineEnd + 1 : end;
        }
        m_atLineStart = end[-1] == '\n';
    }

    const char* m_source;
    const std::vector<TextRun>* m_runs;
    Utf8Chunks m_out;
    int m_requiredBreaks = 0;
    bool m_hasContent = false;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
};

const GumboNode* lastRenderedChild(const GumboNode* parent, std::initializer_list<GumboTag> tags)
{
    const GumboVector& children = childrenOf(parent);
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        for (GumboTag tag : tags) {
            if (isHtmlElement(child, tag) && isRendered(child))
                return child;
        }
    }
    return nullptr;
}

// The last row a table renders, looking into its row groups.
const GumboNode* lastRowOfTable(const GumboNode* table)
{
    const GumboVector& children = childrenOf(table);
    for (unsigned i = children.length; i-- > 0;) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (isHtmlElement(child, GUMBO_TAG_TR) && isRendered(child))
            return child;
        if ((isHtmlElement(child, GUMBO_TAG_TBODY) || isHtmlElement(child, GUMBO_TAG_THEAD) ||
             isHtmlElement(child, GUMBO_TAG_TFOOT)) &&
            isRendered(child)) {
            if (const GumboNode* row = lastRenderedChild(child, {GUMBO_TAG_TR}))
                return row;
        }
    }
    return nullptr;
}

struct Frame {
    const GumboNode* node = nullptr;
    unsigned next = 0;
    WhiteSpace whiteSpace = WhiteSpace::Collapse;
    int breaksAfter = 0;
    bool tabAfter = false;
    bool lineBreakAfter = false;
    const GumboNode* tableLastRow = nullptr;
    const GumboNode* rowLastCell = nullptr;
    // A closed details element shows its first summary only.
    const GumboNode* onlyChild = nullptr;
    bool onlyOneChild = false;
};

// Walks with an explicit stack: a page may nest elements very deeply.
Utf8Chunks renderBody(const GumboNode* body, const char* source, const std::vector<TextRun>* runs)
{
    TextCollector out(source, runs);
    std::vector<Frame> stack;
    stack.push_back({body});
    while (!stack.empty()) {
        Frame& top = stack.back();
        const GumboVector& children = childrenOf(top.node);
        if (top.next >= children.length) {
            const Frame done = top;
            stack.pop_back();
            if (done.tabAfter)
                out.cellSeparator();
            if (done.lineBreakAfter)
                out.lineBreak();
            if (done.breaksAfter > 0)
                out.requireBreaks(done.breaksAfter);
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
        if (top.onlyOneChild && child != top.onlyChild)
            continue;
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            out.textNode(child->v.text.text, top.whiteSpace);
            continue;
        case GUMBO_NODE_ELEMENT:
            break;
        default:
            continue;
        }
        if (!isRendered(child))
            continue;
        const GumboElement& element = child->v.element;
        const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
        if (html && element.tag == GUMBO_TAG_BR) {
            out.lineBreak();
            continue;
        }
        Frame frame{child};
        frame.whiteSpace = top.whiteSpace;
        frame.tableLastRow = top.tableLastRow;
        int breaks = html ? requiredBreaks(element.tag) : 0;
        if (html && isPreformatted(element.tag))
            frame.whiteSpace = WhiteSpace::Preserve;
        const InlineStyle style = parseInlineStyle(child);
        if (style.whiteSpace)
            frame.whiteSpace = *style.whiteSpace;
        if (style.display) {
            const QByteArray& d = *style.display;
            if (d == "block" || d == "list-item" || d == "flex" || d == "grid" || d == "table" ||
                d == "flow-root")
                breaks = std::max(breaks, 1);
            else if (d.startsWith("inline"))
                breaks = 0;
        }
        frame.breaksAfter = breaks;
        if (breaks > 0)
            out.requireBreaks(breaks);
        if (html) {
            switch (element.tag) {
            case GUMBO_TAG_TABLE:
                frame.tableLastRow = lastRowOfTable(child);
                break;
            case GUMBO_TAG_TR:
                frame.rowLastCell = lastRenderedChild(child, {GUMBO_TAG_TD, GUMBO_TAG_TH});
                frame.lineBreakAfter = child != top.tableLastRow;
                break;
            case GUMBO_TAG_TD:
            case GUMBO_TAG_TH:
                // Each cell is a block of its own on the row's line.
                out.startLine();
                frame.tabAfter = child != top.rowLastCell;
                break;
            case GUMBO_TAG_DETAILS:
                if (!hasAttribute(child, "open")) {
                    frame.onlyOneChild = true;
                    frame.onlyChild = lastRenderedChild(child, {GUMBO_TAG_SUMMARY});
                    const GumboVector& kids = element.children;
                    for (unsigned i = 0; i < kids.length; ++i) {
                        const auto* kid = static_cast<const GumboNode*>(kids.data[i]);
                        if (isHtmlElement(kid, GUMBO_TAG_SUMMARY) && isRendered(kid)) {
                            frame.onlyChild = kid;
                            break;
                        }
                    }
                }
                break;
            default:
                break;
            }
        }
        stack.push_back(frame);
    }
    return out.finish();
}

const GumboNode* findBody(const GumboOutput& output)
{
    if (!output.root)
        return nullptr;
    const GumboVector& children = output.root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (isHtmlElement(child, GUMBO_TAG_BODY))
            return child;
    }
    return nullptr;
}

bool isTextParentForPlaceholders(const GumboNode* parent)
{
    if (!parent || !isElement(parent) || parent->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return false;
    switch (parent->v.element.tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_PLAINTEXT:
        return false;
    default:
        return true;
    }
}

// The pre-pass follows the tokenizer only roughly. Its placeholders are safe
// exactly when each ended up, once, as character data of an ordinary HTML
// element: there the original run would have been copied unchanged too.
bool placeholdersIntact(const GumboOutput& output, size_t count)
{
    std::vector<bool> seen(count, false);
    size_t found = 0;
    std::vector<const GumboNode*> pending{output.document};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        switch (node->type) {
        case GUMBO_NODE_DOCUMENT:
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboVector& children = childrenOf(node);
            for (unsigned i = 0; i < children.length; ++i)
                pending.push_back(static_cast<const GumboNode*>(children.data[i]));
            break;
        }
        default: {
            const char* text = node->v.text.text;
            const char* end = text + std::strlen(text);
            const bool allowed = node->type == GUMBO_NODE_TEXT && isTextParentForPlaceholders(node->parent);
            for (const char* p = text; p < end; ++p) {
                p = static_cast<const char*>(std::memchr(p, 0xF3, size_t(end - p)));
                if (!p)
                    break;
                if (!isPlane15Lead(p, end))
                    continue;
                const qsizetype index = decodePlaceholder(p, end);
                if (!allowed || index < 0 || size_t(index) >= count || seen[size_t(index)])
                    return false;
                seen[size_t(index)] = true;
                ++found;
                p += kPlaceholderBytes - 1;
            }
            break;
        }
        }
    }
    return found == count;
}

Utf8Chunks renderTree(const GumboOutput& output, const char* source, const std::vector<TextRun>* runs)
{
    const GumboNode* body = findBody(output);
    return body ? renderBody(body, source, runs) : Utf8Chunks();
}

// Line breaks of a text/plain page as "\r\n", whatever they were.
QString normalisedPlainText(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QString out;
    out.reserve(text.size() + text.size() / 16);
    const QChar* p = text.constData();
    const QChar* end = p + text.size();
    while (p < end) {
        const QChar* q = p;
        while (q < end && *q != u'\r' && *q != u'\n')
            ++q;
        out.append(p, q - p);
        if (q == end)
            break;
        out.append(u"\r\n");
        p = q + ((*q == u'\r' && q + 1 < end && q[1] == u'\n') ? 2 : 1);
    }
    return out;
}

QByteArray mediaType(QByteArrayView contentType)
{
    const qsizetype semi = contentType.indexOf(';');
    return trimmedAscii(semi < 0 ? contentType : contentType.first(semi)).toByteArray().toLower();
}

// innerText as UTF-8. The parse tree and the rewritten page are gone by the
// time the caller widens the text to a QString.
Utf8Chunks innerTextUtf8(QByteArrayView utf8Html, TextPlaceholders placeholders, InnerTextTrace* trace)
{
    if (placeholders == TextPlaceholders::On && !mayContainPlaceholderCodePoints(utf8Html)) {
        const PreparedHtml prepared = prepareHtml(utf8Html, TextPlaceholders::On);
        const GumboTree tree = parseHtml(prepared.changed ? QByteArrayView(prepared.rewritten) : utf8Html);
        if (trace)
            trace->placeholders = qsizetype(prepared.runs.size());
        if (prepared.runs.empty() || placeholdersIntact(*tree, prepared.runs.size())) {
            if (trace)
                trace->placeholdersAccepted = !prepared.runs.empty();
            return renderTree(*tree, utf8Html.data(), prepared.runs.empty() ? nullptr : &prepared.runs);
        }
    }
    const PreparedHtml prepared = prepareHtml(utf8Html, TextPlaceholders::Off);
    const GumboTree tree = parseHtml(prepared.changed ? QByteArrayView(prepared.rewritten) : utf8Html);
    return renderTree(*tree, nullptr, nullptr);
}

} // namespace

QString innerTextOfHtml(QByteArrayView utf8Html, TextPlaceholders placeholders, InnerTextTrace* trace)
{
    return innerTextUtf8(utf8Html, placeholders, trace).toString();
}

QString innerTextOfHtml(QByteArrayView utf8Html)
{
    // Placeholders hold original bytes; gumbo would have replaced invalid
    // UTF-8 in them, so they are only used on valid input.
    return innerTextOfHtml(utf8Html, utf8Html.isValidUtf8() ? TextPlaceholders::On : TextPlaceholders::Off,
                           nullptr);
}

QString pageText(QByteArray body, QByteArrayView contentType)
{
    const bool plainText = mediaType(contentType) == "text/plain";
    qsizetype bomLength = 0;
    Charset charset = charsetFromBom(body, &bomLength);
    if (bomLength > 0) {
        body.remove(0, bomLength);
    } else {
        const QByteArray fromHeader = charsetParameter(contentType);
        charset = charsetForLabel(fromHeader);
        if (fromHeader.isEmpty() && !plainText) {
            charset = charsetForLabel(prescanMetaCharset(body));
            // A page cannot be UTF-16 if its ASCII meta tag could be read.
            if (charset.kind == Charset::Kind::Utf16LE || charset.kind == Charset::Kind::Utf16BE)
                charset = {};
        }
    }
    Utf8Chunks text;
    {
        const QByteArray utf8 = decodeToUtf8(std::move(body), charset);
        if (plainText)
            return normalisedPlainText(utf8);
        text = innerTextUtf8(utf8, TextPlaceholders::On, nullptr);
    }
    // Only the text is left when it widens to UTF-16.
    return std::move(text).toString();
}

} // namespace parlowen
