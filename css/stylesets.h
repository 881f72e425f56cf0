#pragma once
// Which titled sheets apply: a page's sheets with a title form named sets,
// of which only the preferred one applies, beside the sheets with none.

#include "common/workbudget.h"

#include <gumbo.h>

#include <QByteArray>

namespace parlowen {

// The preferred set: whichever comes first in document order, a
// <meta http-equiv="Default-Style"> that names one, or a titled <style> or
// <link rel=stylesheet>'s title. Empty when the page has neither.
QByteArray preferredStyleSet(const GumboOutput& tree, WorkBudget& work);

// Whether a <style> or <link> element's sheet is in no set or the preferred one.
bool inPreferredStyleSet(const GumboNode* element, const QByteArray& preferred);

} // namespace parlowen
