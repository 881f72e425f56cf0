#pragma once
// The words for a style sheet the router's page was read without: a step
// line that both front ends show, so that a hidden line read as a shown one
// can be traced to the sheet that would have hidden it.

#include "common/skippedsheet.h"

#include <QString>

namespace parlowen {

// "Router page: style sheet http://192.0.2.1/log.css not read: ..."; the
// address as the caller shows it, masked.
QString skippedSheetStep(const QString& shownUrl, SheetSkip why);

} // namespace parlowen
