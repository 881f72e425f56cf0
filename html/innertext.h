#pragma once
// The HTML standard's innerText ("rendered text collection steps") over
// gumbo's tree, with the default style sheet's and the page's cascade's idea
// of what is hidden, what is a block and what is an atomic inline box.

#include "css/cascade.h"
#include "html/htmlprepass.h"
#include "html/textcollector.h"

#include <gumbo.h>

#include <vector>

namespace parlowen {

// innerText of the body. With runs, text nodes may hold placeholders for
// runs of source. Once the reading is cancelled the walk stops, leaving
// text that nobody will read. The walk spends nothing: its work is a step
// a node, which the parse has paid for already.
Utf8Chunks renderInnerText(const GumboOutput& tree, const Cascade& cascade, const char* source,
                           const std::vector<TextRun>* runs, const WorkBudget& reading);

} // namespace parlowen
