#pragma once
// A model of gumbo's stack of open elements, good enough to bound its depth:
// it knows the end tags HTML lets a page leave out, how far an end tag
// searches, and two quirks of the parser (gumbo 0.10.1 matches an unknown
// end tag to the innermost unknown element, whatever its name; <a> and
// <nobr> close an open one of their kind). It does not follow formatting
// elements the parser reopens, which can make the real stack deeper than the
// model without bound (<a><b></a> reopens one more <b> each time); gumbo's
// work budget stops such a page.

#include "common/workbudget.h"

#include <gumbo.h>

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace parlowen {

struct OpenElement {
    GumboTag tag = GUMBO_TAG_UNKNOWN;
    // Renamed by the pre-pass to an unknown element.
    bool renamed = false;
    // Where the element's name is in the page, to write its end tag.
    qsizetype nameStart = 0;
    qsizetype nameLength = 0;
};

class OpenElements {
public:
    // Each element a search or a pop passes is a step spent from work.
    explicit OpenElements(WorkBudget& work) : m_work(work) {}

    // The end tags HTML lets a page leave out, for the start tag about to open.
    void closeImplied(GumboTag tag);
    void push(const OpenElement& element);
    void endTag(GumboTag tag);

    bool empty() const { return m_open.empty(); }
    qsizetype depth() const { return qsizetype(m_open.size()); }
    const OpenElement& top() const { return m_open.back(); }
    void pop() { truncate(m_open.size() - 1); }

    // How many tables, svg or math elements, and renamed elements are open.
    qsizetype tablesOpen() const { return m_tables; }
    qsizetype foreignOpen() const { return m_foreign; }
    qsizetype renamedOpen() const { return m_renamed; }
    // True where white space is not rendered: directly in a table, a row
    // group or a row.
    bool inTableStructure() const;

private:
    bool anyOpen(std::initializer_list<GumboTag> tags) const;
    template <typename Stop> void closeNearest(std::initializer_list<GumboTag> tags, Stop stop);
    template <typename Match> void popIfTop(Match match);
    void truncate(size_t size);

    std::vector<OpenElement> m_open;
    std::array<std::uint32_t, GUMBO_TAG_LAST + 1> m_count{}; // open elements of each tag
    WorkBudget& m_work;
    qsizetype m_tables = 0;
    qsizetype m_foreign = 0;
    qsizetype m_renamed = 0;
};

} // namespace parlowen
