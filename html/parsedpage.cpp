// A page parsed once, read for its sheets and then for its text.
#include "html/parsedpage.h"

#include "common/asciitext.h"
#include "css/cascade.h"
#include "css/elementtree.h"
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
#include <array>
#include <cstring>
#include <optional>
#include <utility>

namespace parlowen {

namespace {

bool isTextParentForPlaceholders(const GumboNode* parent)
{
    return parent && parent->type == GUMBO_NODE_ELEMENT &&
           parent->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
           !hasTrait(parent->v.element.tag, kOpaqueText);
}

// Where a style sheet's placeholder ended up: the text node it is the whole
// of, to be given the sheet back.
struct HiddenSheet {
    const GumboNode* node;
    size_t run;
};

bool isWholeStyleText(const GumboNode* node, const char* placeholder, const char* text, const char* end)
{
    const GumboNode* parent = node->parent;
    return node->type == GUMBO_NODE_TEXT && placeholder == text && end - text == kPlaceholderBytes && parent &&
           parent->type == GUMBO_NODE_ELEMENT && parent->v.element.tag == GUMBO_TAG_STYLE &&
           parent->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

// Checks the placeholders in one text node; false when one is misplaced.
bool checkPlaceholders(const GumboNode* node, const std::vector<TextRun>& runs, std::vector<bool>& seen,
                       size_t& found, std::vector<HiddenSheet>& sheets)
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
        if (index < 0 || size_t(index) >= seen.size() || seen[size_t(index)])
            return false;
        if (runs[size_t(index)].styleSheet) {
            if (!isWholeStyleText(node, p, text, end))
                return false;
            sheets.push_back({node, size_t(index)});
        } else if (!allowed) {
            return false;
        }
        seen[size_t(index)] = true;
        ++found;
        p += kPlaceholderBytes - 1;
    }
    return true;
}

bool holdsChildren(const GumboNode* node)
{
    return node->type == GUMBO_NODE_DOCUMENT || node->type == GUMBO_NODE_ELEMENT ||
           node->type == GUMBO_NODE_TEMPLATE;
}

// Visits every node of the tree, depth first, while visit says go on;
// false once it said stop.
template <class Visit>
bool visitNodes(const GumboOutput& output, Visit visit)
{
    std::vector<GumboNode*> pending{output.document};
    while (!pending.empty()) {
        GumboNode* node = pending.back();
        pending.pop_back();
        if (!visit(node))
            return false;
        if (holdsChildren(node)) {
            const GumboVector& children = childrenOf(node);
            for (unsigned i = 0; i < children.length; ++i)
                pending.push_back(static_cast<GumboNode*>(children.data[i]));
        }
    }
    return true;
}

// The pre-pass follows the tokenizer only roughly. Its placeholders are safe
// exactly when each ended up, once, as character data of an ordinary HTML
// element: there the original run would have been copied unchanged too.
// A cancelled check answers false, as it has not seen them all; the parse
// without placeholders that follows stops at once too.
bool placeholdersIntact(const GumboOutput& output, const std::vector<TextRun>& runs, const WorkBudget& parsing,
                        std::vector<HiddenSheet>& sheets)
{
    const size_t count = runs.size();
    std::vector<bool> seen(count, false);
    size_t found = 0;
    const bool intact = visitNodes(output, [&](const GumboNode* node) {
        return !parsing.cancelled() &&
               (holdsChildren(node) || checkPlaceholders(node, runs, seen, found, sheets));
    });
    return intact && found == count;
}

// The names of the elements gumbo does not know, which their nodes read
// from the start tag in gumbo's input, copied into names so that the input
// can go.
void keepUnknownTagNames(const GumboOutput& output, QByteArray& names)
{
    std::vector<GumboNode*> unknown;
    qsizetype bytes = 0;
    visitNodes(output, [&](GumboNode* node) {
        const bool element = node->type != GUMBO_NODE_DOCUMENT && holdsChildren(node);
        if (element && node->v.element.tag == GUMBO_TAG_UNKNOWN) {
            unknown.push_back(node);
            bytes += qsizetype(node->v.element.original_tag.length);
        }
        return true;
    });
    names.reserve(bytes);
    for (GumboNode* node : unknown) {
        GumboStringPiece& tag = node->v.element.original_tag;
        const qsizetype at = names.size();
        names.append(tag.data, qsizetype(tag.length));
        tag.data = names.constData() + at;
    }
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

bool isPlainText(QByteArrayView contentType)
{
    const qsizetype semi = contentType.indexOf(';');
    return trimmedAscii(semi < 0 ? contentType : contentType.first(semi))
               .compare("text/plain", Qt::CaseInsensitive) == 0;
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

// A step of the cascade (a selector tried on an element, a token of a
// sheet) takes about as long as eight of gumbo's: the 20,000 rules "*{...}"
// over 100,000 elements of a 1 MiB page used up the budget in 6 s of CPU
// when counted one for one, and are refused in 0.8 s so, while the cascade
// of a 32 MiB table log with a 100 KB sheet still takes a tenth of it.
constexpr std::uint64_t kGumboStepsPerCascadeStep = 8;

// gumbo 0.10.1 ends the whole program once its parse loop passes a billion
// turns, and a page of a gigabyte of NULs gets there with the arena counting
// no work, since gumbo drops each NUL without making a node. The loop turns
// a few times per byte at most, so a page of the size a load takes, even
// widened threefold to UTF-8 from a one-byte charset, stays far below that.
bool tooLargeForGumbo(qsizetype utf8Bytes)
{
    return utf8Bytes > 3 * kLargestPageBytes;
}

// Whether the page could link or import a sheet at all: one pass over its
// bytes, so that a page with neither word is never searched for them; false
// once cancelled, as a page of many megabytes takes a while even so.
bool mayLinkSheets(QByteArrayView page, const WorkBudget& parsing)
{
    // memchr finds the next y, Y and @ many bytes at a time, each looked for
    // again only once passed; a log has few of them, and only they can be
    // the third letter of "stylesheet" or the start of "@import".
    const char* const begin = page.data();
    const char* const end = begin + page.size();
    const auto next = [end](const char* from, char c) { return nextByte(from, end, c); };
    std::array<const char*, 3> found{next(begin, 'y'), next(begin, 'Y'), next(begin, '@')};
    constexpr std::array<char, 3> wanted{'y', 'Y', '@'};
    for (std::uint32_t looked = 1;; ++looked) {
        const char* at = *std::min_element(found.begin(), found.end());
        if (at == end || (looked % 4096 == 0 && parsing.cancelled()))
            return false;
        const qsizetype offset = at - begin;
        if ((*at == '@' && startsWithIgnoringCase(page.sliced(offset), "@import")) ||
            (*at != '@' && offset >= 2 && startsWithIgnoringCase(page.sliced(offset - 2), "stylesheet")))
            return true;
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (found[i] == at)
                found[i] = next(at + 1, wanted[i]);
        }
    }
}

} // namespace

// The page as gumbo parsed it, and what the tree points into. The arena
// looks at the parse's budget only while it parses: the tree is read later
// under other flags, and nothing of it is allocated again.
struct ParsedPage::Tree {
    Tree(QByteArray page, PreparedHtml preparedPage)
        : utf8(std::move(page)), prepared(std::move(preparedPage)),
          arena(treeBudget(utf8.size()), std::size_t(utf8.size()))
    {}

    // The tree, or nullptr when it did not fit in its budgets; parsing
    // goes on from what the pre-pass spent.
    const GumboOutput* parse(WorkBudget& parsing)
    {
        if (prepared.overBudget)
            return nullptr;
        output = arena.parse(prepared.changed ? QByteArrayView(prepared.rewritten) : QByteArrayView(utf8),
                             parsing);
        parseSpent = parsing.spent();
        if (output)
            letGoOfRewrittenPage();
        return output;
    }

    // The style's text node gets the sheet gumbo was shown a placeholder
    // for, before anything reads the tree. Its CRs stay: both of its
    // readers, a sheet's input stream and the text collector, read a CR as
    // the LF gumbo would have made of it (the pre-pass hides no sheet with
    // a NUL, which gumbo would have replaced).
    void restoreStyleSheet(const GumboNode* node, const TextRun& run)
    {
        const QByteArray& sheet = styleSheets.emplace_back(utf8.sliced(run.offset, run.length));
        const_cast<GumboNode*>(node)->v.text.text = sheet.constData();
    }

    // The page as gumbo was shown it is as large as the page, and of the
    // tree's pieces of it only unknown elements' start tags are read.
    void letGoOfRewrittenPage()
    {
        if (!prepared.changed)
            return;
        keepUnknownTagNames(*output, unknownTagNames);
        prepared.rewritten = QByteArray();
    }

    // A reading of the tree, with sheets of sheetBytes, goes on from what
    // the parse spent: the page and its sheets have one budget. It is a
    // budget of its own all the same, not the parse's: the tree may be read
    // later, on another thread, by several readings at once, each under
    // its own cancel flag, and a reading that gives up must leave the next
    // (the page read without its linked sheets) what the parse left. The
    // cascade counts in its own steps, each worth kGumboStepsPerCascadeStep
    // of gumbo's.
    WorkBudget reading(qsizetype sheetBytes, const std::atomic<bool>* cancelled) const
    {
        const std::uint64_t allowed = GumboArena::workBudget(std::size_t(utf8.size() + sheetBytes));
        return WorkBudget(allowed / kGumboStepsPerCascadeStep, cancelled,
                          parseSpent / kGumboStepsPerCascadeStep);
    }

    // innerText with the cascade of sheets, and whether a rule the cascade
    // could not read leaves all of it in doubt; nullopt past the budgets
    // that the page and these sheets have together.
    struct Rendered {
        Utf8Chunks text;
        bool wholePageDoubtful = false;
    };
    std::optional<Rendered> render(const PageStyleSheets* sheets, const std::atomic<bool>* cancelled) const
    {
        // The page's style sheets are part of the page: reading and matching
        // them comes out of what is left of its work budget.
        const qsizetype sheetBytes = sheets ? sheets->bytes() : 0;
        WorkBudget work = reading(sheetBytes, cancelled);
        const std::optional<Cascade> cascade =
            Cascade::build(*output, inQuirksMode(output->document->v.document), sheets, work,
                           sheetRulesBudget(utf8.size() + sheetBytes));
        if (!cascade)
            return std::nullopt;
        const bool placeholders = !prepared.runs.empty();
        return Rendered{renderInnerText(*output, *cascade, placeholders ? utf8.constData() : nullptr,
                                        placeholders ? &prepared.runs : nullptr, work),
                        cascade->pageDoubtful()};
    }

    QByteArray utf8;
    PreparedHtml prepared;
    GumboArena arena;
    const GumboOutput* output = nullptr;
    std::uint64_t parseSpent = 0;
    // The sheets of the <style> elements gumbo was shown placeholders for.
    std::vector<QByteArray> styleSheets;
    QByteArray unknownTagNames;
};

ParsedPage::~ParsedPage() = default;

std::shared_ptr<const ParsedPage> ParsedPage::parse(QByteArray body, QByteArrayView contentType,
                                                    const std::atomic<bool>* cancelled)
{
    const bool plainText = isPlainText(contentType);
    const qsizetype bytes = body.size();
    if (bytes > kLargestPageBytes) {
        std::shared_ptr<ParsedPage> refused(new ParsedPage);
        refused->m_bytes = bytes;
        return refused;
    }
    const Charset charset = sniffCharset(body, contentType, plainText);
    QByteArray utf8 = decodeToUtf8(std::move(body), charset);
    if (plainText) {
        std::shared_ptr<ParsedPage> page(new ParsedPage);
        page->m_bytes = bytes;
        page->m_plainText = true;
        page->m_plain = normalisedPlainText(utf8);
        return page;
    }
    std::unique_ptr<ParsedPage> page = parsed(std::move(utf8), TextPlaceholders::On, nullptr, cancelled);
    page->m_bytes = bytes;
    return page;
}

std::shared_ptr<const ParsedPage> ParsedPage::parseUtf8(QByteArray utf8Html, TextPlaceholders placeholders,
                                                        InnerTextTrace* trace,
                                                        const std::atomic<bool>* cancelled)
{
    return parsed(std::move(utf8Html), placeholders, trace, cancelled);
}

std::unique_ptr<ParsedPage> ParsedPage::parsed(QByteArray utf8, TextPlaceholders placeholders,
                                               InnerTextTrace* trace, const std::atomic<bool>* cancelled)
{
    std::unique_ptr<ParsedPage> page(new ParsedPage);
    page->m_bytes = utf8.size();
    if (tooLargeForGumbo(utf8.size()))
        return page;
    // The page's budget, made once: the pre-pass and gumbo spend from it,
    // and the readings of the tree go on from what they left.
    const WorkBudget parsing(GumboArena::workBudget(std::size_t(utf8.size())), cancelled);
    page->m_mayLinkSheets = mayLinkSheets(utf8, parsing);
    page->m_tree = parsedTree(std::move(utf8), placeholders, trace, parsing);
    page->m_cancelled = parsing.cancelled();
    return page;
}

// A parse with placeholders that cannot keep them spends from a copy of
// the page's budget: the parse without them that follows reads the page
// from its start, and has the whole budget, as it would have alone.
std::unique_ptr<ParsedPage::Tree> ParsedPage::parsedTree(QByteArray utf8, TextPlaceholders placeholders,
                                                         InnerTextTrace* trace, WorkBudget parsing)
{
    // Placeholders hold original bytes; gumbo would have replaced invalid
    // UTF-8 in them, so they are only used on valid input.
    if (placeholders == TextPlaceholders::On && utf8.isValidUtf8() &&
        !mayContainPlaceholderCodePoints(utf8)) {
        WorkBudget withPlaceholders = parsing;
        auto tree = std::make_unique<Tree>(utf8, prepareHtml(utf8, TextPlaceholders::On, withPlaceholders));
        const size_t runs = tree->prepared.runs.size();
        if (trace)
            trace->placeholders = qsizetype(runs);
        // Over its budgets: no parse without placeholders would fare better.
        const GumboOutput* output = tree->parse(withPlaceholders);
        if (!output)
            return nullptr;
        std::vector<HiddenSheet> sheets;
        if (runs == 0 || placeholdersIntact(*output, tree->prepared.runs, withPlaceholders, sheets)) {
            if (trace)
                trace->placeholdersAccepted = runs > 0;
            for (const HiddenSheet& sheet : sheets)
                tree->restoreStyleSheet(sheet.node, tree->prepared.runs[sheet.run]);
            return tree;
        }
    }
    PreparedHtml prepared = prepareHtml(utf8, TextPlaceholders::Off, parsing);
    auto tree = std::make_unique<Tree>(std::move(utf8), std::move(prepared));
    return tree->parse(parsing) ? std::move(tree) : nullptr;
}

std::vector<QUrl> ParsedPage::linkedStyleSheets(const QUrl& pageUrl, const std::atomic<bool>* cancelled) const
{
    if (!m_tree || !m_mayLinkSheets)
        return {};
    WorkBudget work = m_tree->reading(0, cancelled);
    return parlowen::linkedStyleSheets(*m_tree->output, pageUrl, work);
}

Result<PageText, PageTextError> ParsedPage::text(std::shared_ptr<const ParsedPage> page,
                                                 const PageStyleSheets* sheets,
                                                 const std::atomic<bool>* cancelled)
{
    if (page->m_plainText)
        return PageText{page->m_plain, {}};
    if (page->m_cancelled || (cancelled && cancelled->load()))
        return PageTextError::Cancelled;
    if (!page->m_tree)
        return PageTextError::TooComplex;
    std::optional<Tree::Rendered> text = page->m_tree->render(sheets, cancelled);
    // The linked sheets cost the page nothing it had without them.
    const bool withoutLinkedSheets =
        !text && sheets && !sheets->sheets.isEmpty() && !(cancelled && cancelled->load());
    if (withoutLinkedSheets)
        text = page->m_tree->render(nullptr, cancelled);
    page.reset();
    if (cancelled && cancelled->load())
        return PageTextError::Cancelled;
    if (!text)
        return PageTextError::TooComplex;
    // Only the text is left, unless another holds the page, when it widens.
    PageText read;
    read.text = std::move(text->text).toString(&read.doubt.ranges);
    read.doubt.wholePage = text->wholePageDoubtful || withoutLinkedSheets;
    read.withoutLinkedSheets = withoutLinkedSheets;
    return read;
}

} // namespace parlowen
