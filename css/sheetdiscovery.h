#pragma once
// Which style sheets a page has: its <style> elements and the sheets it
// links to, in document order, and the sheets they import.

#include "common/workbudget.h"

#include <gumbo.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

namespace parlowen {

// Calls visit with every <style> and <link> of the document, in document
// order, wherever it is, until visit says false; none inside a template,
// whose content is not part of the page, nor in noscript, which a browser
// that runs scripts reads as text. False when cancelled first.
bool visitSheetElements(const GumboOutput& tree, WorkBudget& work,
                        const std::function<bool(const GumboNode*)>& visit);

// The page's address, or where its first <base href> points.
QUrl documentBase(const GumboOutput& tree, const QUrl& pageUrl);

// Where a <link rel=stylesheet> points, when it is a sheet of the page's
// own origin for a screen.
std::optional<QUrl> linkedSheetUrl(const GumboNode* link, const QUrl& base, const QUrl& pageUrl);

// The text of a <style> element that applies, or nullopt.
std::optional<QByteArray> styleElementText(const GumboNode* element);

// The sheets the page links to, or imports from a <style> element, from its
// own origin (scheme, host and port), each once, in document order.
std::vector<QUrl> linkedStyleSheets(const GumboOutput& tree, const QUrl& pageUrl, WorkBudget& work);

// The sheets a sheet at sheetUrl imports from the page's origin.
std::vector<QUrl> importedStyleSheets(QByteArrayView sheet, const QUrl& sheetUrl, const QUrl& pageUrl);

} // namespace parlowen
