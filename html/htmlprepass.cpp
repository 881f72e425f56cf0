// The scan that runs before gumbo: bounds the depth of its tree, hides long
// text runs, and renames foreign content.
//
// It follows the HTML tokenizer closely enough to know where text is (tags
// with their quoted attribute values, comments, bogus comments, CDATA,
// raw-text, RCDATA and script elements), and it keeps a model of the stack of
// open elements (openelements.h). The model bounds how deep gumbo's stack
// can grow. It does not follow the formatting elements the parser reopens,
// so gumbo's stack can be deeper than the model; what such a page can cost
// is bounded by gumbo's work budget (gumboarena.h). A
// placeholder put where gumbo would not copy the run as text is caught after
// parsing (see pagetext.cpp), and the page is then parsed without them.
//
// Inside a table, svg and math become unknown inline elements (<x-svg>,
// <x-math>): gumbo 0.10.1 fails assertions (and Debian builds it with them
// on) on foreign content there, e.g. "<table><svg><desc><![CDATA[>]]>x" and
// "<table><svg><select><foreignObject><select><table>". Inside them a
// self-closing tag gets its end tag, as it would in foreign content, and the
// renderer knows them by that name (cssbox.cpp). isindex always becomes
// <x-isindex>: gumbo still builds the old search form for it, with text of
// its own, where browsers now see an unknown element.

#include "html/htmlprepass.h"

#include "common/asciitext.h"
#include "html/openelements.h"
#include "html/tagtraits.h"
#include "html/textplaceholders.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace parlowen {

namespace {

// Bytes that end a text run: each makes the tokenizer do something other
// than copy the byte. CR is not one: the input stream preprocessor only turns
// it into LF, which the text collector does too when it puts a run back, so
// that a log's lines make one run rather than one each. Nor is the '&' of
// a basicReference (textplaceholders.h).
const std::array<bool, 256>& runStoppers()
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        t[uchar('<')] = t[uchar('&')] = t[0] = true;
        return t;
    }();
    return table;
}

struct Tag {
    GumboTag tag = GUMBO_TAG_UNKNOWN;
    bool selfClosing = false;
    qsizetype nameStart = 0;
    qsizetype nameLength = 0;
    qsizetype end = 0;
    // What gumbo's tokenizer spends on the tag's attributes (see readTag).
    std::uint64_t attributeWork = 0;
};

bool isForeignRoot(GumboTag tag)
{
    return tag == GUMBO_TAG_SVG || tag == GUMBO_TAG_MATH;
}

class PrePass {
public:
    PrePass(QByteArrayView in, TextPlaceholders placeholders, WorkBudget& work)
        : m_s(in.data()), m_n(in.size()), m_placeholders(placeholders == TextPlaceholders::On), m_work(work),
          m_open(work)
    {}

    PreparedHtml run()
    {
        qsizetype i = 0;
        while (i < m_n) {
            // The model's searches are bounded by its depth, so a page can
            // make each tag cost hundreds of steps; they count as gumbo's do.
            if (m_work.exhausted()) {
                m_out.overBudget = true;
                break;
            }
            const void* lt = std::memchr(m_s + i, '<', size_t(m_n - i));
            const qsizetype at = lt ? static_cast<const char*>(lt) - m_s : m_n;
            if (m_open.inTableStructure() && isAllWhitespace(i, at))
                dropTableWhitespace(i, at);
            else
                scanText(i, at);
            if (at >= m_n)
                break;
            i = afterMarkup(at);
        }
        if (m_out.changed)
            m_out.rewritten.append(m_s + m_copied, m_n - m_copied);
        // The tree is built beside the runs: a log has one every few dozen bytes.
        m_out.runs.shrink_to_fit();
        return std::move(m_out);
    }

private:
    qsizetype find(QByteArrayView needle, qsizetype from) const
    {
        if (from >= m_n)
            return -1;
        return QByteArrayView(m_s, m_n).indexOf(needle, from);
    }

    // find() for a needle searched again and again from growing offsets:
    // remembers the last hit (or that there is none), so that a page full of
    // comments is not scanned to its end once per comment.
    qsizetype findAhead(QByteArrayView needle, qsizetype from, qsizetype& cache) const
    {
        if (cache == -1 || cache >= from)
            return cache;
        cache = find(needle, from);
        return cache;
    }

    bool startsWith(qsizetype at, QByteArrayView prefix) const
    {
        return m_n - at >= prefix.size() && std::memcmp(m_s + at, prefix.data(), size_t(prefix.size())) == 0;
    }

    // Copies the untouched source up to from, then puts with in place of [from, to).
    void replace(qsizetype from, qsizetype to, QByteArrayView with)
    {
        if (!m_out.changed) {
            // Room for the whole page: growing would copy it again, while
            // pages never written to cost nothing.
            m_out.changed = true;
            m_out.rewritten.reserve(m_n + 4096);
        }
        m_out.rewritten.append(m_s + m_copied, from - m_copied);
        m_out.rewritten.append(with);
        m_copied = to;
    }

    bool isAllWhitespace(qsizetype from, qsizetype to) const
    {
        for (qsizetype p = from; p < to; ++p) {
            if (!isAsciiWhitespace(m_s[p]))
                return false;
        }
        return true;
    }

    // White space between the rows and cells of a table is never rendered,
    // yet costs gumbo a node each time: a table-row log would need one more
    // node a line.
    void dropTableWhitespace(qsizetype from, qsizetype to)
    {
        if (from < to)
            replace(from, to, {});
    }

    // The tokenizer reads the character after '<' or '&' to decide whether
    // markup or a reference starts there; a placeholder in its place would be
    // read differently and still end up as text, where the check after
    // parsing could not see the difference.
    bool canStartRun(qsizetype at) const
    {
        if (at == 0)
            return true;
        const char before = m_s[at - 1];
        const char c = m_s[at];
        if (before == '<')
            return !(isAsciiAlpha(c) || c == '/' || c == '!' || c == '?');
        if (before == '&')
            return !(isAsciiAlnum(c) || c == '#');
        return true;
    }

    bool worthPlaceholder(qsizetype start, qsizetype end) const
    {
        return end - start >= kMinPlaceholderRun || holdsCodePointGumboReplaces(m_s + start, m_s + end);
    }

    // Text in the data or RCDATA state, between from and to.
    void scanText(qsizetype from, qsizetype to)
    {
        if (!m_placeholders)
            return;
        const auto& stoppers = runStoppers();
        qsizetype p = from;
        while (p < to) {
            const char c = m_s[p];
            if (isAsciiWhitespace(c) || c == '\0' || c == '<') {
                ++p;
                continue;
            }
            if (c == '&') {
                // Never start a run inside a character reference: the named
                // reference matcher looks at the characters that follow.
                ++p;
                if (p < to && m_s[p] == '#')
                    ++p;
                while (p < to && isAsciiAlnum(m_s[p]))
                    ++p;
                if (p < to && m_s[p] == ';')
                    ++p;
                continue;
            }
            const qsizetype start = p;
            while (p < to) {
                if (!stoppers[uchar(m_s[p])]) {
                    ++p;
                    continue;
                }
                const qsizetype reference = basicReference(m_s + p, m_s + to).length;
                if (reference == 0)
                    break;
                p += reference;
            }
            if (canStartRun(start) && worthPlaceholder(start, p))
                putPlaceholder(start, p, false);
        }
    }

    // Puts the next placeholder in place of [from, to), while there are
    // placeholders left to number.
    void putPlaceholder(qsizetype from, qsizetype to, bool styleSheet)
    {
        if (qsizetype(m_out.runs.size()) >= kMaxPlaceholders || to > qsizetype(UINT32_MAX))
            return;
        char placeholder[kPlaceholderBytes];
        writePlaceholder(placeholder, qsizetype(m_out.runs.size()));
        replace(from, to, QByteArrayView(placeholder, kPlaceholderBytes));
        m_out.runs.push_back({std::uint32_t(from), std::uint32_t(to - from), styleSheet});
    }

    // A long sheet in an HTML <style> becomes one placeholder. In svg or
    // math a <style> holds markup, and gumbo turns NUL into U+FFFD, so
    // neither is hidden; where gumbo put a placeholder elsewhere than as a
    // style's whole text, the page is parsed again without them.
    void hideStyleSheet(qsizetype from, qsizetype to)
    {
        if (m_placeholders && to - from >= kMinStyleSheetRun && m_open.foreignOpen() == 0 &&
            m_open.renamedOpen() == 0 && !std::memchr(m_s + from, '\0', size_t(to - from)))
            putPlaceholder(from, to, true);
    }

    GumboTag tagOfName(qsizetype nameStart, qsizetype nameLength) const
    {
        char lower[16];
        if (nameLength > qsizetype(sizeof lower))
            return GUMBO_TAG_UNKNOWN;
        for (qsizetype i = 0; i < nameLength; ++i) {
            const char c = m_s[nameStart + i];
            lower[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        }
        return gumbo_tagn_enum(lower, unsigned(nameLength));
    }

    // Skips the attribute starting at p, adding the length of its name to
    // nameBytes; false at end of input.
    bool skipAttribute(qsizetype& p, std::uint64_t& nameBytes) const
    {
        // An attribute name takes its first character whatever it is, even '='.
        const qsizetype nameStart = p;
        ++p;
        while (p < m_n && !isAsciiWhitespace(m_s[p]) && m_s[p] != '/' && m_s[p] != '>' && m_s[p] != '=')
            ++p;
        nameBytes += std::uint64_t(p - nameStart);
        while (p < m_n && isAsciiWhitespace(m_s[p]))
            ++p;
        if (p >= m_n || m_s[p] != '=')
            return true;
        ++p;
        while (p < m_n && isAsciiWhitespace(m_s[p]))
            ++p;
        if (p >= m_n)
            return false;
        const char quote = m_s[p];
        if (quote == '"' || quote == '\'') {
            const void* close = std::memchr(m_s + p + 1, quote, size_t(m_n - p - 1));
            if (!close)
                return false;
            p = static_cast<const char*>(close) - m_s + 1;
        } else if (quote != '>') {
            while (p < m_n && !isAsciiWhitespace(m_s[p]) && m_s[p] != '>')
                ++p;
        }
        return true;
    }

    // Reads a tag whose name starts at nameStart; false at end of input,
    // where the tokenizer drops the unfinished tag.
    bool readTag(qsizetype nameStart, Tag& tag) const
    {
        qsizetype p = nameStart;
        while (p < m_n && !isAsciiWhitespace(m_s[p]) && m_s[p] != '/' && m_s[p] != '>')
            ++p;
        tag.nameStart = nameStart;
        tag.nameLength = p - nameStart;
        tag.tag = tagOfName(nameStart, tag.nameLength);
        // gumbo's tokenizer compares each attribute's name with those of
        // every attribute before it, so a tag of many attributes costs the
        // square of their number.
        std::uint64_t attributes = 0;
        std::uint64_t nameBytes = 0;
        for (;;) {
            bool slash = false;
            while (p < m_n && (isAsciiWhitespace(m_s[p]) || m_s[p] == '/')) {
                slash = m_s[p] == '/';
                ++p;
            }
            if (p >= m_n)
                return false;
            if (m_s[p] == '>') {
                tag.selfClosing = slash;
                tag.end = p + 1;
                return true;
            }
            tag.attributeWork += 2 * attributes + nameBytes / 16;
            ++attributes;
            if (!skipAttribute(p, nameBytes))
                return false;
        }
    }

    // Handles the markup starting with the '<' at lt; returns where text resumes.
    qsizetype afterMarkup(qsizetype lt)
    {
        if (lt + 1 >= m_n)
            return lt + 1;
        const char c = m_s[lt + 1];
        if (c == '!') {
            if (startsWith(lt, "<!--"))
                return afterComment(lt);
            // Outside foreign content CDATA is a bogus comment; inside it, a
            // placeholder put in its text is caught after parsing.
            return afterBogusComment(lt + 2);
        }
        if (c == '?')
            return afterBogusComment(lt + 2);
        if (c == '/') {
            if (lt + 2 >= m_n)
                return lt + 1;
            const char first = m_s[lt + 2];
            if (first == '>')
                return lt + 3;
            if (!isAsciiAlpha(first))
                return afterBogusComment(lt + 2);
            Tag tag;
            if (!readTag(lt + 2, tag))
                return m_n;
            m_work.count(tag.attributeWork);
            endTag(tag);
            return tag.end;
        }
        if (!isAsciiAlpha(c))
            return lt + 1;
        Tag tag;
        if (!readTag(lt + 1, tag))
            return m_n;
        m_work.count(tag.attributeWork);
        return startTag(lt, tag);
    }

    qsizetype afterComment(qsizetype lt)
    {
        // "<!-->" and "<!--->" close at once; "--!>" closes like "-->".
        const qsizetype dashes = findAhead("-->", lt + 2, m_nextDashes);
        const qsizetype bang = findAhead("--!>", lt + 4, m_nextBang);
        if (dashes < 0 && bang < 0)
            return m_n;
        if (bang < 0 || (dashes >= 0 && dashes < bang))
            return dashes + 3;
        return bang + 4;
    }

    qsizetype afterBogusComment(qsizetype from) const
    {
        const void* close = from < m_n ? std::memchr(m_s + from, '>', size_t(m_n - from)) : nullptr;
        return close ? static_cast<const char*>(close) - m_s + 1 : m_n;
    }

    // Before a start tag that would nest past the cap, ends the innermost
    // element, so that the new one becomes its sibling.
    void keepWithinDepth(qsizetype lt)
    {
        // html and body are not in the model.
        if (m_open.empty() || m_open.depth() + 2 <= kMaxHtmlNesting)
            return;
        const OpenElement& top = m_open.top();
        replace(lt, lt, endTagFor(top));
        ++m_out.closedForDepth;
        m_open.pop();
    }

    QByteArray endTagFor(const OpenElement& element) const
    {
        QByteArray endTag = "</";
        if (element.renamed)
            endTag += "x-";
        endTag += QByteArrayView(m_s + element.nameStart, element.nameLength);
        endTag += '>';
        return endTag;
    }

    bool renames(const Tag& tag) const
    {
        return tag.tag == GUMBO_TAG_ISINDEX ||
               (isForeignRoot(tag.tag) && (m_open.tablesOpen() > 0 || m_open.renamedOpen() > 0));
    }

    // Returns where text resumes: after the tag, or after the content of a
    // raw-text element.
    qsizetype startTag(qsizetype lt, const Tag& tag)
    {
        const bool renamed = renames(tag);
        if (tag.tag == GUMBO_TAG_HTML || tag.tag == GUMBO_TAG_HEAD || tag.tag == GUMBO_TAG_BODY ||
            (hasTrait(tag.tag, kVoid) && !renamed))
            return tag.end;
        // Renamed tags are unknown elements to gumbo.
        const OpenElement element{renamed ? GUMBO_TAG_UNKNOWN : tag.tag, renamed, tag.nameStart,
                                  tag.nameLength};
        m_open.closeImplied(element.tag);
        keepWithinDepth(lt);
        if (renamed)
            replace(tag.nameStart, tag.nameStart, "x-");
        if (tag.selfClosing && (renamed || m_open.renamedOpen() > 0)) {
            replace(tag.end, tag.end, endTagFor(element));
            return tag.end;
        }
        // In svg and math, a self-closing tag is an element without content.
        if (tag.selfClosing && m_open.foreignOpen() > 0)
            return tag.end;
        m_open.push(element);
        if (tag.tag == GUMBO_TAG_PLAINTEXT)
            return m_n;
        const bool rcData = hasTrait(tag.tag, kRcData);
        if (!rcData && !hasTrait(tag.tag, kRawText))
            return tag.end;
        const qsizetype close = findAppropriateEndTag(tag, tag.end);
        if (rcData)
            scanText(tag.end, close < 0 ? m_n : close);
        else if (tag.tag == GUMBO_TAG_STYLE && close >= 0)
            hideStyleSheet(tag.end, close);
        if (close < 0)
            return m_n;
        Tag endTagInfo;
        if (!readTag(close + 2, endTagInfo))
            return m_n;
        m_work.count(endTagInfo.attributeWork);
        endTag(endTagInfo);
        return endTagInfo.end;
    }

    // The "</name" that ends a raw-text element: the name in any case,
    // followed by white space, '/' or '>'.
    qsizetype findAppropriateEndTag(const Tag& tag, qsizetype from) const
    {
        for (qsizetype p = from;;) {
            const qsizetype lt = find("</", p);
            if (lt < 0)
                return -1;
            const qsizetype nameEnd = lt + 2 + tag.nameLength;
            if (nameEnd < m_n &&
                QByteArrayView(m_s + lt + 2, tag.nameLength)
                        .compare(QByteArrayView(m_s + tag.nameStart, tag.nameLength), Qt::CaseInsensitive) ==
                    0 &&
                (isAsciiWhitespace(m_s[nameEnd]) || m_s[nameEnd] == '/' || m_s[nameEnd] == '>'))
                return lt;
            p = lt + 2;
        }
    }

    void endTag(const Tag& tag)
    {
        if (!isForeignRoot(tag.tag) || m_open.renamedOpen() == 0)
            return m_open.endTag(tag.tag);
        replace(tag.nameStart, tag.nameStart, "x-");
        m_open.endTag(GUMBO_TAG_UNKNOWN);
    }

    const char* m_s;
    qsizetype m_n;
    bool m_placeholders;
    WorkBudget& m_work;
    PreparedHtml m_out;
    qsizetype m_copied = 0;
    OpenElements m_open;
    qsizetype m_nextDashes = -2;
    qsizetype m_nextBang = -2;
};

} // namespace

PreparedHtml prepareHtml(QByteArrayView utf8Html, TextPlaceholders placeholders, WorkBudget& work)
{
    return PrePass(utf8Html, placeholders, work).run();
}

} // namespace parlowen
