#pragma once
// Internals of the page-text renderer that its tests look into.

#include "html/htmlprepass.h"
#include "html/pagetext.h"

#include <QByteArrayView>
#include <QString>

namespace parlowen {

struct InnerTextTrace {
    // Runs of text gumbo saw as placeholders.
    qsizetype placeholders = 0;
    // False when gumbo put a placeholder where plain text cannot be, and the
    // page was parsed again without them.
    bool placeholdersAccepted = false;
};

// innerTextOfHtml, with the text-run placeholders switched on or off.
Result<QString, PageTextError> innerTextOfHtml(QByteArrayView utf8Html, TextPlaceholders placeholders,
                                               InnerTextTrace* trace);

} // namespace parlowen
