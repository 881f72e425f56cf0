#pragma once
// Internals of the page-text renderer that its tests look into.

#include "html/htmlprepass.h"
#include "html/pagetext.h"

#include <QByteArrayView>
#include <QString>

#include <cstddef>

namespace parlowen {

struct InnerTextTrace {
    // Runs of text gumbo saw as placeholders.
    qsizetype placeholders = 0;
    // False when gumbo put a placeholder where plain text cannot be, and the
    // page was parsed again without them.
    bool placeholdersAccepted = false;
    // End tags the pre-pass put in to keep the tree within a browser's depth.
    qsizetype closedForDepth = 0;
    // The most memory gumbo's tree took.
    std::size_t treeBytes = 0;
};

// innerTextOfHtml, with the text-run placeholders switched on or off.
Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html, TextPlaceholders placeholders,
                                               InnerTextTrace* trace);

// The memory gumbo's tree may take for a page of this many bytes.
std::size_t treeBudget(qsizetype pageBytes);

} // namespace parlowen
