#include "html/openelements.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>

namespace parlowen {

namespace {

enum TagClass : uint16_t {
    kVoid = 1 << 0,
    kSpecial = 1 << 1,
    kRawText = 1 << 2,
    kRcData = 1 << 3,
    kClosesP = 1 << 4,
    kTableFamily = 1 << 5,
    // Ends the search for an open element, as the "has an element in scope" steps do.
    kScopeBoundary = 1 << 6,
    // Where the list of active formatting elements has a marker.
    kMarker = 1 << 7,
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
    mark({GUMBO_TAG_APPLET, GUMBO_TAG_CAPTION, GUMBO_TAG_TD, GUMBO_TAG_TH, GUMBO_TAG_MARQUEE,
          GUMBO_TAG_OBJECT, GUMBO_TAG_TEMPLATE},
         kMarker);
    return t;
}

const ClassTable& classTable()
{
    static const ClassTable table = makeClassTable();
    return table;
}

uint16_t classOf(GumboTag tag)
{
    return classTable()[tag];
}

// A matcher for open elements of the given tags. It holds a copy of the
// tags: the array behind an initializer list lives only as long as the
// expression that wrote it, and closeImplied keeps matchers longer.
auto isOneOf(std::initializer_list<GumboTag> tags)
{
    std::bitset<GUMBO_TAG_LAST + 1> set;
    for (const GumboTag tag : tags)
        set.set(tag);
    return [set](const OpenElement& e) {
        return set.test(e.tag);
    };
}

bool isScopeBoundary(const OpenElement& e)
{
    return classOf(e.tag) & kScopeBoundary;
}

} // namespace

bool OpenElements::isVoid(GumboTag tag)
{
    return classOf(tag) & kVoid;
}

bool OpenElements::isRawText(GumboTag tag)
{
    return classOf(tag) & kRawText;
}

bool OpenElements::isRcData(GumboTag tag)
{
    return classOf(tag) & kRcData;
}

bool OpenElements::anyOpen(std::initializer_list<GumboTag> tags) const
{
    return std::any_of(tags.begin(), tags.end(), [this](GumboTag tag) { return m_count[tag] > 0; });
}

// Pops up to and including the nearest open element of one of the tags,
// unless stop accepts an element first. Most searches are for an element
// that is not open at all, and end at once.
template <typename Stop> void OpenElements::closeNearest(std::initializer_list<GumboTag> tags, Stop stop)
{
    if (!anyOpen(tags))
        return;
    const auto match = isOneOf(tags);
    for (size_t i = m_open.size(); i-- > 0;) {
        ++m_steps;
        if (match(m_open[i])) {
            truncate(i);
            return;
        }
        if (stop(m_open[i]))
            return;
    }
}

void OpenElements::push(const OpenElement& element)
{
    ++m_count[element.tag];
    m_tables += element.tag == GUMBO_TAG_TABLE;
    m_foreign += element.tag == GUMBO_TAG_SVG || element.tag == GUMBO_TAG_MATH;
    m_renamed += element.renamed;
    m_open.push_back(element);
}

bool OpenElements::inTableStructure() const
{
    if (m_open.empty())
        return false;
    switch (m_open.back().tag) {
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
        return true;
    default:
        return false;
    }
}

void OpenElements::truncate(size_t size)
{
    for (size_t i = size; i < m_open.size(); ++i) {
        ++m_steps;
        --m_count[m_open[i].tag];
        m_tables -= m_open[i].tag == GUMBO_TAG_TABLE;
        m_foreign -= m_open[i].tag == GUMBO_TAG_SVG || m_open[i].tag == GUMBO_TAG_MATH;
        m_renamed -= m_open[i].renamed;
    }
    m_open.resize(size);
}

void OpenElements::popIfTop(std::initializer_list<GumboTag> tags)
{
    if (!m_open.empty() && std::find(tags.begin(), tags.end(), m_open.back().tag) != tags.end())
        truncate(m_open.size() - 1);
}

void OpenElements::closeImplied(GumboTag tag)
{
    if (classOf(tag) & kClosesP)
        closeNearest({GUMBO_TAG_P},
                     [](const OpenElement& e) { return isScopeBoundary(e) || e.tag == GUMBO_TAG_BUTTON; });
    auto listBoundary = [](const OpenElement& e) {
        return (classOf(e.tag) & kSpecial) && e.tag != GUMBO_TAG_ADDRESS && e.tag != GUMBO_TAG_DIV &&
               e.tag != GUMBO_TAG_P;
    };
    static const auto tableBoundary = isOneOf({GUMBO_TAG_TABLE, GUMBO_TAG_TEMPLATE});
    static const auto rowBoundary =
        isOneOf({GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT, GUMBO_TAG_TABLE, GUMBO_TAG_TEMPLATE});
    static const auto cellBoundary = isOneOf({GUMBO_TAG_TR, GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT,
                                              GUMBO_TAG_TABLE, GUMBO_TAG_TEMPLATE});
    switch (tag) {
    case GUMBO_TAG_LI:
        return closeNearest({GUMBO_TAG_LI}, listBoundary);
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DT:
        return closeNearest({GUMBO_TAG_DD, GUMBO_TAG_DT}, listBoundary);
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
        return popIfTop({GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5, GUMBO_TAG_H6});
    case GUMBO_TAG_OPTION:
        return popIfTop({GUMBO_TAG_OPTION});
    case GUMBO_TAG_OPTGROUP:
        popIfTop({GUMBO_TAG_OPTION});
        return popIfTop({GUMBO_TAG_OPTGROUP});
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return closeNearest({GUMBO_TAG_TD, GUMBO_TAG_TH}, cellBoundary);
    case GUMBO_TAG_TR:
        return closeNearest({GUMBO_TAG_TR}, rowBoundary);
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
        return closeNearest({GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT}, tableBoundary);
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RP:
        return popIfTop({GUMBO_TAG_RB, GUMBO_TAG_RT, GUMBO_TAG_RP, GUMBO_TAG_RTC});
    case GUMBO_TAG_BUTTON:
        return closeNearest({GUMBO_TAG_BUTTON}, isScopeBoundary);
    // A new link closes one still open since the last marker; a new nobr
    // one still in scope (the adoption agency steps).
    case GUMBO_TAG_A:
        return closeNearest({GUMBO_TAG_A}, [](const OpenElement& e) { return classOf(e.tag) & kMarker; });
    case GUMBO_TAG_NOBR:
        return closeNearest({GUMBO_TAG_NOBR}, isScopeBoundary);
    default:
        return;
    }
}

void OpenElements::endTag(GumboTag tag)
{
    if (tag == GUMBO_TAG_HTML || tag == GUMBO_TAG_BODY || tag == GUMBO_TAG_HEAD)
        return;
    if (m_count[tag] == 0)
        return;
    const uint16_t cls = classOf(tag);
    for (size_t i = m_open.size(); i-- > 0;) {
        ++m_steps;
        const OpenElement& e = m_open[i];
        if (e.tag == tag) {
            truncate(i);
            return;
        }
        const uint16_t ecls = classOf(e.tag);
        if (cls & kTableFamily) {
            if (e.tag == GUMBO_TAG_TABLE || e.tag == GUMBO_TAG_TEMPLATE)
                return;
        } else if (cls & kSpecial) {
            if ((ecls & kScopeBoundary) ||
                (tag == GUMBO_TAG_LI && (e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_OL)) ||
                (tag == GUMBO_TAG_P && e.tag == GUMBO_TAG_BUTTON))
                return;
        } else if (ecls & kSpecial) {
            return;
        }
    }
}

} // namespace parlowen
