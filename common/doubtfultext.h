#pragma once
// Where a page's text may differ from what a browser shows: the parts that
// a style rule the cascade could not read might hide. A line found there
// may be one the page does not show at all.

#include <QtGlobal>

#include <utility>
#include <vector>

namespace parlowen {

struct DoubtfulText {
    // [start, end) in the text, in order, none overlapping.
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    // A rule that could not be read applies to elements unknown: any part
    // of the text may be hidden.
    bool wholePage = false;

    // Whether any of [start, end) lies where a rule might hide it.
    bool covers(qsizetype start, qsizetype end) const
    {
        if (wholePage)
            return true;
        for (const auto& [from, to] : ranges) {
            if (from < end && start < to)
                return true;
        }
        return false;
    }
};

} // namespace parlowen
