#pragma once
// Whether a document is in quirks mode, as the HTML standard decides it
// from its doctype: a page in that mode matches class and id selectors in
// any letter case and reads a sheet served as another type than text/css.

#include <gumbo.h>

namespace parlowen {

bool inQuirksMode(const GumboDocument& document);

} // namespace parlowen
