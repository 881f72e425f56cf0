// Page bytes to the text a browser shows for the body: decoding, the
// pre-pass, gumbo within a memory budget, then innerText over its tree.

#include "html/pagetext.h"

#include "common/asciitext.h"
#include "css/sheetdiscovery.h"
#include "html/charset.h"
#include "html/gumboarena.h"
#include "html/htmlprepass.h"
#include "html/innertext.h"
#include "html/pagetext_p.h"
#include "html/quirksmode.h"
#include "html/tagtraits.h"
#include "html/textplaceholders.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace parlowen {

namespace {

bool isTextParentForPlaceholders(const GumboNode* parent)
{
    return parent && parent->type == GUMBO_NODE_ELEMENT &&
           parent->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
           !hasTrait(parent->v.element.tag, kOpaqueText);
}

// Checks the placeholders in one text node; false when one is misplaced.
bool checkPlaceholders(const GumboNode* node, std::vector<bool>& seen, size_t& found)
{
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
        if (!allowed || index < 0 || size_t(index) >= seen.size() || seen[size_t(index)])
            return false;
        seen[size_t(index)] = true;
        ++found;
        p += kPlaceholderBytes - 1;
    }
    return true;
}

// The pre-pass follows the tokenizer only roughly. Its placeholders are safe
// exactly when each ended up, once, as character data of an ordinary HTML
// element: there the original run would have been copied unchanged too.
// A cancelled check answers false, as it has not seen them all; the parse
// without placeholders that follows stops at once too.
bool placeholdersIntact(const GumboOutput& output, size_t count, const std::atomic<bool>* cancelled)
{
    std::vector<bool> seen(count, false);
    size_t found = 0;
    std::vector<const GumboNode*> pending{output.document};
    while (!pending.empty()) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return false;
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type == GUMBO_NODE_DOCUMENT || node->type == GUMBO_NODE_ELEMENT ||
            node->type == GUMBO_NODE_TEMPLATE) {
            const GumboVector& children =
                node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
            for (unsigned i = 0; i < children.length; ++i)
                pending.push_back(static_cast<const GumboNode*>(children.data[i]));
        } else if (!checkPlaceholders(node, seen, found)) {
            return false;
        }
    }
    return found == count;
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

// The memory gumbo's tree may take for a page of this many bytes.
std::size_t treeBudget(qsizetype pageBytes)
{
    // A log of three short cells a line is a node every nine bytes, and
    // each node of gumbo 0.10.1 takes 128 bytes and its lists: fourteen
    // times the page. Sixteen lets such a log be read up to the size a
    // load takes; the constant lets a small page be as odd as it likes, but
    // not one with a node every few bytes (a megabyte of "a<br>" is
    // refused).
    return std::size_t(pageBytes) * 16 + (std::size_t(32) << 20);
}

// The memory the kept rules of the page's sheets may take: a real page's
// few hundred rules take a few hundred kilobytes, a sheet of a million tiny
// rules would take fifteen times its size and more.
std::size_t sheetRulesBudget(qsizetype pageBytes)
{
    return std::size_t(pageBytes) * 4 + (std::size_t(16) << 20);
}

struct Parsed {
    std::optional<Utf8Chunks> text; // empty when over budget
    bool placeholdersAccepted = false;
};

// A step of the cascade (a selector tried on an element, a token of a
// sheet) takes about as long as eight of gumbo's: the 20,000 rules "*{...}"
// over 100,000 elements of a 1 MiB page used up the budget in 6 s of CPU
// when counted one for one, and are refused in 0.8 s so, while the cascade
// of a 32 MiB table log with a 100 KB sheet still takes a tenth of it.
constexpr std::uint64_t kGumboStepsPerCascadeStep = 8;

// One parse of the prepared page; with the placeholders in it, nullopt
// when gumbo put one where the original run would not have been text.
std::optional<Parsed> parseAndRender(QByteArrayView utf8Html, const PreparedHtml& prepared,
                                     const PageStyleSheets* sheets, const std::atomic<bool>* cancelled)
{
    if (prepared.overBudget)
        return Parsed{};
    GumboArena arena(treeBudget(utf8Html.size()), std::size_t(utf8Html.size()), cancelled);
    const GumboOutput* tree =
        arena.parse(prepared.changed ? QByteArrayView(prepared.rewritten) : utf8Html, prepared.tokenizerWork);
    if (!tree)
        return Parsed{};
    // The page's style sheets are part of the page: reading and matching
    // them comes out of what is left of its work budget.
    const qsizetype bytes = utf8Html.size() + (sheets ? sheets->bytes() : 0);
    std::uint64_t work = arena.work() / kGumboStepsPerCascadeStep;
    const std::optional<Cascade> cascade = Cascade::build(
        *tree, inQuirksMode(tree->document->v.document), sheets, &work, GumboArena::workBudget(std::size_t(bytes)) / kGumboStepsPerCascadeStep,
        sheetRulesBudget(bytes), cancelled);
    if (!cascade)
        return Parsed{};
    if (prepared.runs.empty())
        return Parsed{renderInnerText(*tree, *cascade, nullptr, nullptr, cancelled), false};
    if (!placeholdersIntact(*tree, prepared.runs.size(), cancelled))
        return std::nullopt;
    return Parsed{renderInnerText(*tree, *cascade, utf8Html.data(), &prepared.runs, cancelled), true};
}

// gumbo 0.10.1 ends the whole program once its parse loop passes a billion
// turns, and a page of a gigabyte of NULs gets there with the arena counting
// no work, since gumbo drops each NUL without making a node. The loop turns
// a few times per byte at most, so a page of the size a load takes, even
// widened threefold to UTF-8 from a one-byte charset, stays far below that.
bool tooLargeForGumbo(qsizetype utf8Bytes)
{
    return utf8Bytes > 3 * kLargestPageBytes;
}

// innerText as UTF-8. The parse tree and the rewritten page are gone by the
// time the caller widens the text to a QString.
std::optional<Utf8Chunks> innerTextUtf8(QByteArrayView utf8Html, TextPlaceholders placeholders,
                                        InnerTextTrace* trace, const std::atomic<bool>* cancelled = nullptr,
                                        const PageStyleSheets* sheets = nullptr)
{
    if (tooLargeForGumbo(utf8Html.size()))
        return std::nullopt;
    // Placeholders hold original bytes; gumbo would have replaced invalid
    // UTF-8 in them, so they are only used on valid input.
    if (placeholders == TextPlaceholders::On && utf8Html.isValidUtf8() &&
        !mayContainPlaceholderCodePoints(utf8Html)) {
        const PreparedHtml prepared = prepareHtml(
            utf8Html, TextPlaceholders::On, GumboArena::workBudget(std::size_t(utf8Html.size())), cancelled);
        if (trace)
            trace->placeholders = qsizetype(prepared.runs.size());
        if (std::optional<Parsed> parsed = parseAndRender(utf8Html, prepared, sheets, cancelled)) {
            if (trace)
                trace->placeholdersAccepted = parsed->placeholdersAccepted;
            return std::move(parsed->text);
        }
    }
    return std::move(
        parseAndRender(utf8Html,
                       prepareHtml(utf8Html, TextPlaceholders::Off,
                                   GumboArena::workBudget(std::size_t(utf8Html.size())), cancelled),
                       sheets, cancelled)
            ->text);
}

// Whether the page could link or import a sheet at all: one pass over its
// bytes, so that a page with neither word is never parsed twice; nullopt
// once cancelled, as a page of many megabytes takes a while even so.
std::optional<bool> mayLinkSheets(QByteArrayView page, const std::atomic<bool>* cancelled)
{
    constexpr qsizetype kBytesBetweenLooks = qsizetype(1) << 20;
    for (qsizetype at = 0; at < page.size(); ++at) {
        if (at % kBytesBetweenLooks == 0 && cancelled && cancelled->load(std::memory_order_relaxed))
            return std::nullopt;
        const char c = page[at];
        if (((c == 's' || c == 'S') && startsWithIgnoringCase(page.sliced(at), "stylesheet")) ||
            (c == '@' && startsWithIgnoringCase(page.sliced(at), "@import")))
            return true;
    }
    return false;
}

} // namespace

QString toString(PageTextError error)
{
    switch (error) {
    case PageTextError::TooComplex:
        return QStringLiteral("The page is too complex to read: it nests or repeats elements far beyond "
                              "what a real page does.");
    case PageTextError::Cancelled:
        return QStringLiteral("The page was no longer wanted, so it was not read to the end.");
    }
    return {};
}

Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html, TextPlaceholders placeholders,
                                               InnerTextTrace* trace)
{
    std::optional<Utf8Chunks> text = innerTextUtf8(utf8Html, placeholders, trace);
    if (!text)
        return PageTextError::TooComplex;
    return std::move(*text).toString();
}

Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html)
{
    return innerTextOfHtml(utf8Html, TextPlaceholders::On, nullptr);
}

bool isStyleSheetType(QByteArrayView contentType)
{
    return contentType.isEmpty() || mediaType(contentType) == "text/css";
}

std::vector<QUrl> linkedStyleSheets(QByteArray body, QByteArrayView contentType, const QUrl& pageUrl,
                                    const std::atomic<bool>* cancelled)
{
    const bool plainText = mediaType(contentType) == "text/plain";
    if (plainText || body.size() > kLargestPageBytes || !mayLinkSheets(body, cancelled).value_or(false))
        return {};
    const Charset charset = sniffCharset(body, contentType, false);
    const QByteArray utf8 = decodeToUtf8(std::move(body), charset);
    const PreparedHtml prepared =
        prepareHtml(utf8, TextPlaceholders::Off, GumboArena::workBudget(std::size_t(utf8.size())), cancelled);
    if (prepared.overBudget)
        return {};
    GumboArena arena(treeBudget(utf8.size()), std::size_t(utf8.size()), cancelled);
    const GumboOutput* tree = arena.parse(
        prepared.changed ? QByteArrayView(prepared.rewritten) : QByteArrayView(utf8), prepared.tokenizerWork);
    if (!tree)
        return {};
    std::uint64_t work = 0;
    return linkedStyleSheets(*tree, pageUrl, &work, cancelled);
}

Result<QString, PageTextError> renderPageText(QByteArray body, QByteArrayView contentType,
                                              const std::atomic<bool>* cancelled,
                                              const PageStyleSheets* sheets)
{
    const bool plainText = mediaType(contentType) == "text/plain";
    if (body.size() > kLargestPageBytes)
        return PageTextError::TooComplex;
    const Charset charset = sniffCharset(body, contentType, plainText);
    std::optional<Utf8Chunks> text;
    {
        const QByteArray utf8 = decodeToUtf8(std::move(body), charset);
        if (plainText)
            return normalisedPlainText(utf8);
        text = innerTextUtf8(utf8, TextPlaceholders::On, nullptr, cancelled, sheets);
    }
    if (cancelled && cancelled->load())
        return PageTextError::Cancelled;
    if (!text)
        return PageTextError::TooComplex;
    // Only the text is left when it widens to UTF-16.
    return std::move(*text).toString();
}

} // namespace parlowen
