#include "html/openelements.h"

#include "html/tagtraits.h"

#include <algorithm>
#include <cstdint>

namespace parlowen {

namespace {

auto withTrait(uint32_t traits)
{
    return [traits](const OpenElement& e) {
        return hasTrait(e.tag, traits);
    };
}

bool isScopeBoundary(const OpenElement& e)
{
    return hasTrait(e.tag, kScopeBoundary);
}

} // namespace

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
    const auto match = [tags](const OpenElement& e) {
        return std::find(tags.begin(), tags.end(), e.tag) != tags.end();
    };
    for (size_t i = m_open.size(); i-- > 0;) {
        m_work.count();
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
    return !m_open.empty() &&
           (m_open.back().tag == GUMBO_TAG_TABLE || hasTrait(m_open.back().tag, kRow | kRowGroup));
}

void OpenElements::truncate(size_t size)
{
    for (size_t i = size; i < m_open.size(); ++i) {
        m_work.count();
        --m_count[m_open[i].tag];
        m_tables -= m_open[i].tag == GUMBO_TAG_TABLE;
        m_foreign -= m_open[i].tag == GUMBO_TAG_SVG || m_open[i].tag == GUMBO_TAG_MATH;
        m_renamed -= m_open[i].renamed;
    }
    m_open.resize(size);
}

template <typename Match> void OpenElements::popIfTop(Match match)
{
    if (!m_open.empty() && match(m_open.back()))
        truncate(m_open.size() - 1);
}

void OpenElements::closeImplied(GumboTag tag)
{
    if (hasTrait(tag, kClosesP))
        closeNearest({GUMBO_TAG_P},
                     [](const OpenElement& e) { return isScopeBoundary(e) || e.tag == GUMBO_TAG_BUTTON; });
    auto listBoundary = [](const OpenElement& e) {
        return hasTrait(e.tag, kSpecial) && e.tag != GUMBO_TAG_ADDRESS && e.tag != GUMBO_TAG_DIV &&
               e.tag != GUMBO_TAG_P;
    };
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
        return popIfTop(withTrait(kHeading));
    case GUMBO_TAG_OPTION:
        return popIfTop([](const OpenElement& e) { return e.tag == GUMBO_TAG_OPTION; });
    case GUMBO_TAG_OPTGROUP:
        popIfTop([](const OpenElement& e) { return e.tag == GUMBO_TAG_OPTION; });
        return popIfTop([](const OpenElement& e) { return e.tag == GUMBO_TAG_OPTGROUP; });
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return closeNearest({GUMBO_TAG_TD, GUMBO_TAG_TH}, withTrait(kRow | kRowGroup | kTableBoundary));
    case GUMBO_TAG_TR:
        return closeNearest({GUMBO_TAG_TR}, withTrait(kRowGroup | kTableBoundary));
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
        return closeNearest({GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT}, withTrait(kTableBoundary));
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RP:
        return popIfTop(withTrait(kRubyText));
    case GUMBO_TAG_BUTTON:
        return closeNearest({GUMBO_TAG_BUTTON}, isScopeBoundary);
    // A new link closes one still open since the last marker; a new nobr
    // one still in scope (the adoption agency steps).
    case GUMBO_TAG_A:
        return closeNearest({GUMBO_TAG_A}, withTrait(kMarker));
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
    const uint32_t traits = kTagTraits[tag];
    for (size_t i = m_open.size(); i-- > 0;) {
        m_work.count();
        const OpenElement& e = m_open[i];
        if (e.tag == tag) {
            truncate(i);
            return;
        }
        if (traits & kTableFamily) {
            if (e.tag == GUMBO_TAG_TABLE || e.tag == GUMBO_TAG_TEMPLATE)
                return;
        } else if (traits & kSpecial) {
            if (isScopeBoundary(e) ||
                (tag == GUMBO_TAG_LI && (e.tag == GUMBO_TAG_UL || e.tag == GUMBO_TAG_OL)) ||
                (tag == GUMBO_TAG_P && e.tag == GUMBO_TAG_BUTTON))
                return;
        } else if (hasTrait(e.tag, kSpecial)) {
            return;
        }
    }
}

} // namespace parlowen
