// The scan that runs before gumbo: caps nesting and hides long text runs.
//
// It follows the HTML tokenizer closely enough to know where text is (tags
// with their quoted attribute values, comments, bogus comments, CDATA,
// raw-text, RCDATA and script elements), and it keeps a rough model of the
// stack of open elements, including the end tags HTML lets a page leave out.
// The model only has to be right to within a constant factor: it bounds how
// deep gumbo's stack can grow.  A placeholder it puts in the wrong place is
// caught after parsing (see pagetext.cpp), so it never changes the text.
//
// It also renames two kinds of tags to unknown inline elements (<x-svg>,
// <x-b>), which changes no text:
// - svg and math, so that gumbo never parses SVG or MathML content: gumbo
//   0.10.1 fails assertions (and Debian builds it with them on) on foreign
//   content inside tables, e.g. "<table><svg><desc><![CDATA[>]]>x" and
//   "<table><svg><select><foreignObject><select><table>".
// - the formatting elements (a, b, font, i, ...): the tree builder reopens
//   those a page leaves open after every misnested end tag, so "<a><b></a>"
//   repeated grows gumbo's stack without bound though no tag nests; as
//   plain elements they nest only as written, which the model can follow.

#include "html/htmlprepass.h"

#include "html/asciitext.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace parlowen {

namespace {

enum TagClass : uint16_t {
    kVoid = 1 << 0,
    kSpecial = 1 << 1,
    kRawText = 1 << 2,
    kRcData = 1 << 3,
    kPlainText = 1 << 4,
    kClosesP = 1 << 5,
    kTableFamily = 1 << 6,
    // Ends the search for an open element, as the "has an element in scope" steps do.
    kScopeBoundary = 1 << 7,
    kFormatting = 1 << 8,
};

using ClassTable = std::array<uint16_t, GUMBO_TAG_LAST + 1>;

ClassTable makeClassTable()
{
    ClassTable t{};
    auto mark = [&t](std::initializer_list<GumboTag> tags, uint16_t cls) {
        for (GumboTag tag : tags)
            t[tag] |= cls;
    };
    mark({GUMBO_TAG_AREA,   GUMBO_TAG_BASE,   GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND, GUMBO_TAG_BR,
          GUMBO_TAG_COL,    GUMBO_TAG_EMBED,  GUMBO_TAG_HR,       GUMBO_TAG_IMG,     GUMBO_TAG_IMAGE,
          GUMBO_TAG_INPUT,  GUMBO_TAG_KEYGEN, GUMBO_TAG_LINK,     GUMBO_TAG_META,    GUMBO_TAG_PARAM,
          GUMBO_TAG_SOURCE, GUMBO_TAG_TRACK,  GUMBO_TAG_WBR,      GUMBO_TAG_FRAME,   GUMBO_TAG_ISINDEX},
         kVoid);
    mark({GUMBO_TAG_ADDRESS,    GUMBO_TAG_APPLET,   GUMBO_TAG_AREA,     GUMBO_TAG_ARTICLE,
          GUMBO_TAG_ASIDE,      GUMBO_TAG_BASE,     GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND,
          GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_BODY,     GUMBO_TAG_BR,       GUMBO_TAG_BUTTON,
          GUMBO_TAG_CAPTION,    GUMBO_TAG_CENTER,   GUMBO_TAG_COL,      GUMBO_TAG_COLGROUP,
          GUMBO_TAG_DD,         GUMBO_TAG_DETAILS,  GUMBO_TAG_DIR,      GUMBO_TAG_DIV,
          GUMBO_TAG_DL,         GUMBO_TAG_DT,       GUMBO_TAG_EMBED,    GUMBO_TAG_FIELDSET,
          GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FIGURE,   GUMBO_TAG_FOOTER,   GUMBO_TAG_FORM,
          GUMBO_TAG_FRAME,      GUMBO_TAG_FRAMESET, GUMBO_TAG_H1,       GUMBO_TAG_H2,
          GUMBO_TAG_H3,         GUMBO_TAG_H4,       GUMBO_TAG_H5,       GUMBO_TAG_H6,
          GUMBO_TAG_HEAD,       GUMBO_TAG_HEADER,   GUMBO_TAG_HGROUP,   GUMBO_TAG_HR,
          GUMBO_TAG_HTML,       GUMBO_TAG_IFRAME,   GUMBO_TAG_IMG,      GUMBO_TAG_INPUT,
          GUMBO_TAG_KEYGEN,     GUMBO_TAG_LI,       GUMBO_TAG_LINK,     GUMBO_TAG_LISTING,
          GUMBO_TAG_MAIN,       GUMBO_TAG_MARQUEE,  GUMBO_TAG_MENU,     GUMBO_TAG_META,
          GUMBO_TAG_NAV,        GUMBO_TAG_NOEMBED,  GUMBO_TAG_NOFRAMES, GUMBO_TAG_NOSCRIPT,
          GUMBO_TAG_OBJECT,     GUMBO_TAG_OL,       GUMBO_TAG_P,        GUMBO_TAG_PARAM,
          GUMBO_TAG_PLAINTEXT,  GUMBO_TAG_PRE,      GUMBO_TAG_SCRIPT,   GUMBO_TAG_SECTION,
          GUMBO_TAG_SELECT,     GUMBO_TAG_SOURCE,   GUMBO_TAG_STYLE,    GUMBO_TAG_SUMMARY,
          GUMBO_TAG_TABLE,      GUMBO_TAG_TBODY,    GUMBO_TAG_TD,       GUMBO_TAG_TEMPLATE,
          GUMBO_TAG_TEXTAREA,   GUMBO_TAG_TFOOT,    GUMBO_TAG_TH,       GUMBO_TAG_THEAD,
          GUMBO_TAG_TITLE,      GUMBO_TAG_TR,       GUMBO_TAG_TRACK,    GUMBO_TAG_UL,
          GUMBO_TAG_WBR,        GUMBO_TAG_XMP},
         kSpecial);
    mark({GUMBO_TAG_STYLE, GUMBO_TAG_XMP, GUMBO_TAG_IFRAME, GUMBO_TAG_NOEMBED, GUMBO_TAG_NOFRAMES,
          GUMBO_TAG_SCRIPT},
         kRawText);
    mark({GUMBO_TAG_TEXTAREA, GUMBO_TAG_TITLE}, kRcData);
    mark({GUMBO_TAG_PLAINTEXT}, kPlainText);
    // Table is left out on purpose: in quirks mode it does not close a p.
    mark({GUMBO_TAG_ADDRESS,   GUMBO_TAG_ARTICLE,  GUMBO_TAG_ASIDE,      GUMBO_TAG_BLOCKQUOTE,
          GUMBO_TAG_CENTER,    GUMBO_TAG_DETAILS,  GUMBO_TAG_DIR,        GUMBO_TAG_DIV,
          GUMBO_TAG_DL,        GUMBO_TAG_FIELDSET, GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FIGURE,
          GUMBO_TAG_FOOTER,    GUMBO_TAG_HEADER,   GUMBO_TAG_HGROUP,     GUMBO_TAG_MAIN,
          GUMBO_TAG_MENU,      GUMBO_TAG_NAV,      GUMBO_TAG_OL,         GUMBO_TAG_P,
          GUMBO_TAG_SECTION,   GUMBO_TAG_SUMMARY,  GUMBO_TAG_UL,         GUMBO_TAG_H1,
          GUMBO_TAG_H2,        GUMBO_TAG_H3,       GUMBO_TAG_H4,         GUMBO_TAG_H5,
          GUMBO_TAG_H6,        GUMBO_TAG_PRE,      GUMBO_TAG_LISTING,    GUMBO_TAG_FORM,
          GUMBO_TAG_PLAINTEXT, GUMBO_TAG_XMP,      GUMBO_TAG_LI,         GUMBO_TAG_DD,
          GUMBO_TAG_DT},
         kClosesP);
    mark({GUMBO_TAG_TABLE, GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT, GUMBO_TAG_TR, GUMBO_TAG_TD,
          GUMBO_TAG_TH, GUMBO_TAG_CAPTION, GUMBO_TAG_COLGROUP},
         kTableFamily);
    mark({GUMBO_TAG_APPLET, GUMBO_TAG_CAPTION, GUMBO_TAG_HTML, GUMBO_TAG_TABLE, GUMBO_TAG_TD, GUMBO_TAG_TH,
          GUMBO_TAG_MARQUEE, GUMBO_TAG_OBJECT, GUMBO_TAG_TEMPLATE},
         kScopeBoundary);
    mark({GUMBO_TAG_A, GUMBO_TAG_B, GUMBO_TAG_BIG, GUMBO_TAG_CODE, GUMBO_TAG_EM, GUMBO_TAG_FONT, GUMBO_TAG_I,
          GUMBO_TAG_NOBR, GUMBO_TAG_S, GUMBO_TAG_SMALL, GUMBO_TAG_STRIKE, GUMBO_TAG_STRONG, GUMBO_TAG_TT,
          GUMBO_TAG_U},
         kFormatting);
    return t;
}

const ClassTable& classTable()
{
    static const ClassTable table = makeClassTable();
    return table;
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlnum(char c)
{
    return isAsciiAlpha(c) || (c >= '0' && c <= '9');
}

// Bytes that end a text run: each makes the tokenizer do something other
// than copy the byte (CR is rewritten by the input stream preprocessor).
const std::array<bool, 256>& runStoppers()
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        t[uchar('<')] = t[uchar('&')] = t[uchar('\r')] = t[0] = true;
        return t;
    }();
    return table;
}

void appendCodePoint4(QByteArray& out, char32_t cp)
{
    const char bytes[4] = {char(0xF0 | (cp >> 18)), char(0x80 | ((cp >> 12) & 0x3F)),
                           char(0x80 | ((cp >> 6) & 0x3F)), char(0x80 | (cp & 0x3F))};
    out.append(bytes, 4);
}

char32_t decodeCodePoint4(const char* p)
{
    const auto b = reinterpret_cast<const uchar*>(p);
    if ((b[0] & 0xF8) != 0xF0 || (b[1] & 0xC0) != 0x80 || (b[2] & 0xC0) != 0x80 || (b[3] & 0xC0) != 0x80)
        return 0;
    return (char32_t(b[0] & 0x07) << 18) | (char32_t(b[1] & 0x3F) << 12) | (char32_t(b[2] & 0x3F) << 6) |
           char32_t(b[3] & 0x3F);
}

struct Tag {
    GumboTag tag = GUMBO_TAG_UNKNOWN;
    // The tag's enum, or for unknown names a hash of the lower-case name.
    uint32_t key = 0;
    bool selfClosing = false;
    qsizetype nameStart = 0;
    qsizetype nameLength = 0;
    qsizetype end = 0;
};

struct OpenElement {
    uint32_t key = 0;
};

class PrePass {
public:
    PrePass(QByteArrayView in, TextPlaceholders placeholders)
        : m_s(in.data()), m_n(in.size()), m_placeholders(placeholders == TextPlaceholders::On)
    {
        m_open.reserve(kMaxHtmlNesting);
    }

    PreparedHtml run()
    {
        qsizetype i = 0;
        while (i < m_n) {
            const void* lt = std::memchr(m_s + i, '<', size_t(m_n - i));
            const qsizetype at = lt ? static_cast<const char*>(lt) - m_s : m_n;
            scanText(i, at);
            if (at >= m_n)
                break;
            i = afterMarkup(at);
        }
        if (m_out.changed)
            m_out.rewritten.append(m_s + m_copied, m_n - m_copied);
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
            m_out.changed = true;
            m_out.rewritten.reserve(m_n / 4);
        }
        m_out.rewritten.append(m_s + m_copied, from - m_copied);
        m_out.rewritten.append(with);
        m_copied = to;
    }

    // <svg> becomes <x-svg> and <b> <x-b>: unknown inline HTML elements
    // (see the top of the file).
    void renameTroublesome(const Tag& tag)
    {
        if (tag.tag == GUMBO_TAG_SVG || tag.tag == GUMBO_TAG_MATH || (classOf(tag.key) & kFormatting))
            replace(tag.nameStart, tag.nameStart, "x-");
    }

    void drop(qsizetype from, qsizetype to)
    {
        replace(from, to, {});
        m_out.tagsDropped = true;
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
            while (p < to && !stoppers[uchar(m_s[p])])
                ++p;
            if (!canStartRun(start))
                continue;
            if (p - start >= kMinPlaceholderRun && qsizetype(m_out.runs.size()) < kMaxPlaceholders) {
                const auto index = char32_t(m_out.runs.size());
                QByteArray placeholder;
                placeholder.reserve(kPlaceholderBytes);
                appendCodePoint4(placeholder, kPlaceholderHighBase + (index >> kPlaceholderBitsPerPart));
                appendCodePoint4(placeholder,
                                 kPlaceholderLowBase + (index & ((1u << kPlaceholderBitsPerPart) - 1)));
                replace(start, p, placeholder);
                m_out.runs.push_back({start, p - start});
            }
        }
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
        char lower[16];
        tag.tag = GUMBO_TAG_UNKNOWN;
        if (tag.nameLength <= qsizetype(sizeof lower)) {
            for (qsizetype i = 0; i < tag.nameLength; ++i) {
                const char c = m_s[nameStart + i];
                lower[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
            }
            tag.tag = gumbo_tagn_enum(lower, unsigned(tag.nameLength));
        }
        if (tag.tag != GUMBO_TAG_UNKNOWN) {
            tag.key = tag.tag;
        } else {
            uint32_t hash = 2166136261u;
            for (qsizetype i = 0; i < tag.nameLength; ++i) {
                const char c = m_s[nameStart + i];
                hash = (hash ^ uchar((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c)) * 16777619u;
            }
            tag.key = hash | 0x80000000u;
        }
        tag.selfClosing = false;
        for (;;) {
            while (p < m_n && (isAsciiWhitespace(m_s[p]) || m_s[p] == '/')) {
                tag.selfClosing = m_s[p] == '/' && p + 1 < m_n && m_s[p + 1] == '>';
                ++p;
            }
            if (p >= m_n)
                return false;
            if (m_s[p] == '>') {
                tag.end = p + 1;
                return true;
            }
            tag.selfClosing = false;
            // An attribute name takes its first character whatever it is, even '='.
            ++p;
            while (p < m_n && !isAsciiWhitespace(m_s[p]) && m_s[p] != '/' && m_s[p] != '>' && m_s[p] != '=')
                ++p;
            while (p < m_n && isAsciiWhitespace(m_s[p]))
                ++p;
            if (p >= m_n || m_s[p] != '=')
                continue;
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
        }
    }

    // Handles the markup starting with the '<' at lt; returns where text resumes.
    qsizetype afterMarkup(qsizetype lt)
    {
        if (lt + 1 >= m_n)
            return lt + 1;
        const char c = m_s[lt + 1];
        if (c == '!') {
            if (startsWith(lt, "<!--")) {
                // "<!-->" and "<!--->" close at once; "--!>" closes like "-->".
                const qsizetype dashes = findAhead("-->", lt + 2, m_nextDashes);
                const qsizetype bang = findAhead("--!>", lt + 4, m_nextBang);
                if (dashes < 0 && bang < 0)
                    return m_n;
                if (bang < 0 || (dashes >= 0 && dashes < bang))
                    return dashes + 3;
                return bang + 4;
            }
            // Without foreign content, CDATA is a bogus comment too.
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
            endTag(lt, tag);
            return tag.end;
        }
        if (!isAsciiAlpha(c))
            return lt + 1;
        Tag tag;
        if (!readTag(lt + 1, tag))
            return m_n;
        return startTag(lt, tag);
    }

    qsizetype afterBogusComment(qsizetype from) const
    {
        const void* close = from < m_n ? std::memchr(m_s + from, '>', size_t(m_n - from)) : nullptr;
        return close ? static_cast<const char*>(close) - m_s + 1 : m_n;
    }

    bool admit(qsizetype lt, const Tag& tag)
    {
        if (m_excess == 0 && m_open.size() < size_t(kMaxHtmlNesting))
            return true;
        drop(lt, tag.end);
        ++m_excess;
        return false;
    }

    uint16_t classOf(uint32_t key) const { return key < classTable().size() ? classTable()[key] : 0; }

    // Pops up to and including the nearest open element accepted by match,
    // unless stop accepts an element first.
    template <typename Match, typename Stop> void closeNearest(Match match, Stop stop)
    {
        for (size_t i = m_open.size(); i-- > 0;) {
            if (match(m_open[i])) {
                m_open.resize(i);
                return;
            }
            if (stop(m_open[i]))
                return;
        }
    }

    void popIfTop(std::initializer_list<GumboTag> tags)
    {
        if (!m_open.empty() && std::find(tags.begin(), tags.end(), GumboTag(m_open.back().key)) != tags.end())
            m_open.pop_back();
    }

    // The end tags HTML lets a page leave out, for the start tag about to open.
    void closeImplied(GumboTag tag)
    {
        auto is = [](std::initializer_list<GumboTag> tags) {
            return [tags](const OpenElement& e) {
                return std::find(tags.begin(), tags.end(), GumboTag(e.key)) != tags.end();
            };
        };
        auto boundary = [this](const OpenElement& e) {
            return bool(classOf(e.key) & kScopeBoundary);
        };
        if (classOf(tag) & kClosesP) {
            closeNearest(is({GUMBO_TAG_P}),
                         [&](const OpenElement& e) { return boundary(e) || e.key == GUMBO_TAG_BUTTON; });
        }
        auto listBoundary = [this](const OpenElement& e) {
            return (classOf(e.key) & kSpecial) && e.key != GUMBO_TAG_ADDRESS && e.key != GUMBO_TAG_DIV &&
                   e.key != GUMBO_TAG_P;
        };
        switch (tag) {
        case GUMBO_TAG_LI:
            closeNearest(is({GUMBO_TAG_LI}), listBoundary);
            break;
        case GUMBO_TAG_DD:
        case GUMBO_TAG_DT:
            closeNearest(is({GUMBO_TAG_DD, GUMBO_TAG_DT}), listBoundary);
            break;
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
            popIfTop({GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5, GUMBO_TAG_H6});
            break;
        case GUMBO_TAG_OPTION:
            popIfTop({GUMBO_TAG_OPTION});
            break;
        case GUMBO_TAG_OPTGROUP:
            popIfTop({GUMBO_TAG_OPTION});
            popIfTop({GUMBO_TAG_OPTGROUP});
            break;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            closeNearest(is({GUMBO_TAG_TD, GUMBO_TAG_TH}),
                         is({GUMBO_TAG_TR, GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT, GUMBO_TAG_TABLE,
                             GUMBO_TAG_TEMPLATE}));
            break;
        case GUMBO_TAG_TR:
            closeNearest(is({GUMBO_TAG_TR}), is({GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT,
                                                 GUMBO_TAG_TABLE, GUMBO_TAG_TEMPLATE}));
            break;
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TFOOT:
            closeNearest(is({GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT}),
                         is({GUMBO_TAG_TABLE, GUMBO_TAG_TEMPLATE}));
            break;
        case GUMBO_TAG_RB:
        case GUMBO_TAG_RTC:
        case GUMBO_TAG_RT:
        case GUMBO_TAG_RP:
            popIfTop({GUMBO_TAG_RB, GUMBO_TAG_RT, GUMBO_TAG_RP, GUMBO_TAG_RTC});
            break;
        case GUMBO_TAG_BUTTON:
            closeNearest(is({GUMBO_TAG_BUTTON}), boundary);
            break;
        default:
            break;
        }
    }

    // Returns where text resumes: after the tag, or after the content of a
    // raw-text element.
    qsizetype startTag(qsizetype lt, const Tag& tag)
    {
        const uint16_t cls = classOf(tag.key);
        if (tag.tag == GUMBO_TAG_HTML || tag.tag == GUMBO_TAG_HEAD || tag.tag == GUMBO_TAG_BODY ||
            (cls & kVoid))
            return tag.end;
        if (!admit(lt, tag))
            return tag.end;
        renameTroublesome(tag);
        closeImplied(tag.tag);
        m_open.push_back({tag.key});
        if (cls & kPlainText)
            return m_n;
        if (!(cls & (kRawText | kRcData)))
            return tag.end;
        const qsizetype close = findAppropriateEndTag(tag, tag.end);
        if (cls & kRcData)
            scanText(tag.end, close < 0 ? m_n : close);
        if (close < 0)
            return m_n;
        Tag endTagInfo;
        if (!readTag(close + 2, endTagInfo))
            return m_n;
        endTag(close, endTagInfo);
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

    void endTag(qsizetype lt, const Tag& tag)
    {
        if (m_excess > 0) {
            drop(lt, tag.end);
            --m_excess;
            return;
        }
        renameTroublesome(tag);
        if (tag.tag == GUMBO_TAG_HTML || tag.tag == GUMBO_TAG_BODY || tag.tag == GUMBO_TAG_HEAD)
            return;
        const uint16_t cls = classOf(tag.key);
        for (size_t i = m_open.size(); i-- > 0;) {
            const OpenElement& e = m_open[i];
            if (e.key == tag.key) {
                m_open.resize(i);
                return;
            }
            const uint16_t ecls = classOf(e.key);
            if (cls & kTableFamily) {
                if (e.key == GUMBO_TAG_TABLE || e.key == GUMBO_TAG_TEMPLATE)
                    return;
            } else if (cls & kSpecial) {
                if ((ecls & kScopeBoundary) ||
                    (tag.tag == GUMBO_TAG_LI && (e.key == GUMBO_TAG_UL || e.key == GUMBO_TAG_OL)) ||
                    (tag.tag == GUMBO_TAG_P && e.key == GUMBO_TAG_BUTTON))
                    return;
            } else if (ecls & kSpecial) {
                return;
            }
        }
    }

    const char* m_s;
    qsizetype m_n;
    bool m_placeholders;
    PreparedHtml m_out;
    qsizetype m_copied = 0;
    std::vector<OpenElement> m_open;
    // Start tags dropped for depth whose end tags have not been seen yet.
    qsizetype m_excess = 0;
    qsizetype m_nextDashes = -2;
    qsizetype m_nextBang = -2;
};

} // namespace

PreparedHtml prepareHtml(QByteArrayView utf8Html, TextPlaceholders placeholders)
{
    return PrePass(utf8Html, placeholders).run();
}

qsizetype decodePlaceholder(const char* p, const char* end)
{
    if (end - p < kPlaceholderBytes)
        return -1;
    const char32_t high = decodeCodePoint4(p);
    const char32_t low = decodeCodePoint4(p + 4);
    constexpr char32_t span = 1u << kPlaceholderBitsPerPart;
    if (high < kPlaceholderHighBase || high >= kPlaceholderHighBase + span || low < kPlaceholderLowBase ||
        low >= kPlaceholderLowBase + span)
        return -1;
    return (qsizetype(high - kPlaceholderHighBase) << kPlaceholderBitsPerPart) |
           qsizetype(low - kPlaceholderLowBase);
}

bool mayContainPlaceholderCodePoints(QByteArrayView utf8Html)
{
    const char* const begin = utf8Html.data();
    const char* const end = begin + utf8Html.size();
    auto next = [end](const char* from, char c) {
        return from < end ? static_cast<const char*>(std::memchr(from, c, size_t(end - from))) : nullptr;
    };
    for (const char* p = next(begin, char(0xF3)); p; p = next(p + 1, char(0xF3))) {
        if (isPlane15Lead(p, end))
            return true;
    }
    // A numeric character reference can name a plane-15 code point too.
    for (const char* p = next(begin, '&'); p; p = next(p + 1, '&')) {
        if (end - p < 3 || p[1] != '#')
            continue;
        const char* q = p + 2;
        const bool hex = *q == 'x' || *q == 'X';
        if (hex)
            ++q;
        uint32_t value = 0;
        for (; q < end; ++q) {
            int digit;
            if (*q >= '0' && *q <= '9')
                digit = *q - '0';
            else if (hex && *q >= 'a' && *q <= 'f')
                digit = *q - 'a' + 10;
            else if (hex && *q >= 'A' && *q <= 'F')
                digit = *q - 'A' + 10;
            else
                break;
            value = std::min<uint32_t>(value * (hex ? 16 : 10) + uint32_t(digit), 0x110000);
        }
        if (value >= 0xF0000 && value <= 0xFFFFF)
            return true;
    }
    return false;
}

} // namespace parlowen
