// The style pages whose text differs from Chromium's today, each with the
// construct the cascade does not read yet. Whoever teaches it one removes
// its pages here; a page that starts to match fails its test until then.
#include "stylepages.h"

namespace parlowen::testing {

namespace {

struct Known {
    const char* page; // a page's name, or a construct's for all its layouts
    const char* construct;
};

const Known kDifferent[] = {
    {"var() as display", "custom properties"},
    {"var() missing, with a fallback", "custom properties"},
    {"var() inherited from the log", "custom properties"},
    {"var() fallback naming another var()", "custom properties"},
    {"var() invalid at computed time is initial (reverse)", "custom properties"},
    {"var() fallback shows (reverse)", "custom properties"},
    {"all: revert (reverse)", "the all shorthand"},
    {"all: unset (reverse)", "the all shorthand"},
    {"all: initial (reverse)", "the all shorthand"},
    {"all: unset inherits visibility", "the all shorthand"},
    {"nesting with &", "nesting"},
    {"nesting without &", "nesting"},
    {"nesting with & after its context", "nesting"},
    {"nesting a @media", "nesting"},
    {"nesting shows (reverse)", "nesting"},
    {"@layer block", "cascade layers"},
    {"@layer statement sets the order", "cascade layers"},
    {"@layer: !important reversed", "cascade layers"},
    {"@layer: layered !important beats unlayered", "cascade layers"},
    {"@layer: revert-layer", "cascade layers"},
    {"@layer: nested layer names", "cascade layers"},
    {"utility framework: every rule in a layer", "cascade layers"},
    {"@supports true", "@supports"},
    {"@supports not", "@supports"},
    {"@supports and, or", "@supports"},
    {"@supports selector()", "@supports"},
    {"@scope", "@scope"},
    {"@scope :scope", "@scope"},
    {"@container", "@container"},
    {"@container named", "@container"},
    {"@import into a later layer", "@import conditions"},
    {"@import anonymous layer", "@import conditions"},
    {"@import supports()", "@import conditions"},
    {"second <style title> is an alternate (reverse)", "style sets"},
    {"Default-Style names the set", "style sets"},
    {":has() descendant", ":has()"},
    {":has() sibling", ":has()"},
    {":first-of-type", ":first-of-type"},
    {":last-of-type", ":last-of-type"},
    {":nth-of-type()", ":nth-of-type()"},
    {":nth-last-of-type()", ":nth-last-of-type()"},
    {":only-of-type", ":only-of-type"},
    {":not(:defined) custom element", ":defined"},
    {":disabled", ":disabled"},
    {":enabled", ":enabled"},
    {":checked tab strip", ":checked"},
    {":placeholder-shown", ":placeholder-shown"},
    {":lang() prefix", ":lang()"},
    {":lang() inherited, in any case", ":lang()"},
    {":is() forgiving", ":is()"},
    {":where() forgiving", ":where()"},
    {"list with ::-webkit-scrollbar", "selector lists with vendor pseudo-elements"},
    {"list with an unknown ::-webkit- pseudo-element", "selector lists with vendor pseudo-elements"},
    {"device-width", "media features"},
    {"device-height", "media features"},
    {"scripting", "media features"},
    {"prefers-color-scheme", "media features"},
    {"prefers-reduced-motion", "media features"},
    {"forced-colors", "media features"},
    {"resolution", "media features"},
    {"update", "media features"},
    {"hover and pointer", "media features"},
    {"calc() in a query", "media features"},
    {"float", "blockification"},
    {"position absolute", "blockification"},
    {"position fixed", "blockification"},
    {"flex items", "blockification"},
    {"grid items", "blockification"},
    {"inline-flex items", "blockification"},
    {"display table-row and table-cell", "blockification"},
    {"display table-cell alone", "blockification"},
    {"sheet's @charset", "sheet encodings"},
    {"sheet in the page's encoding", "sheet encodings"},
    {"sheet in UTF-16 with a BOM", "sheet encodings"},
    {"uppercase in Turkish", "text-transform by language"},
    {"lowercase in Turkish", "text-transform by language"},
    {"lowercase Greek final sigma", "text-transform casing rules"},
    {"::first-line uppercase / pre", "::first-line and ::first-letter"},
    {"::first-line uppercase / div lines", "::first-line and ::first-letter"},
    {"::first-letter lowercase / pre", "::first-line and ::first-letter"},
    {"::first-letter lowercase / div lines", "::first-line and ::first-letter"},
};

// Of those, the pages where the address we read is not Chromium's: where the
// check would send the stale one, or none.
const Known kWrongAddress[] = {
    {"var() as display", "custom properties"},
    {"var() missing, with a fallback", "custom properties"},
    {"var() inherited from the log", "custom properties"},
    {"var() fallback naming another var()", "custom properties"},
    {"var() invalid at computed time is initial (reverse) / pre", "custom properties"},
    {"var() invalid at computed time is initial (reverse) / div lines", "custom properties"},
    {"var() fallback shows (reverse)", "custom properties"},
    {"all: revert (reverse)", "the all shorthand"},
    {"all: unset (reverse) / pre", "the all shorthand"},
    {"all: unset (reverse) / div lines", "the all shorthand"},
    {"all: initial (reverse) / pre", "the all shorthand"},
    {"all: initial (reverse) / div lines", "the all shorthand"},
    {"all: unset inherits visibility / table rows", "the all shorthand"},
    {"all: unset inherits visibility / div lines", "the all shorthand"},
    {"nesting with &", "nesting"},
    {"nesting without &", "nesting"},
    {"nesting with & after its context", "nesting"},
    {"nesting a @media", "nesting"},
    {"nesting shows (reverse)", "nesting"},
    {"@layer block", "cascade layers"},
    {"@layer statement sets the order", "cascade layers"},
    {"@layer: !important reversed", "cascade layers"},
    {"@layer: layered !important beats unlayered", "cascade layers"},
    {"@layer: revert-layer", "cascade layers"},
    {"@layer: nested layer names", "cascade layers"},
    {"utility framework: every rule in a layer", "cascade layers"},
    {"@supports true", "@supports"},
    {"@supports not", "@supports"},
    {"@supports and, or", "@supports"},
    {"@supports selector()", "@supports"},
    {"@scope", "@scope"},
    {"@scope :scope", "@scope"},
    {"@container", "@container"},
    {"@container named", "@container"},
    {"@import into a later layer", "@import conditions"},
    {"@import anonymous layer", "@import conditions"},
    {"@import supports()", "@import conditions"},
    {"second <style title> is an alternate (reverse)", "style sets"},
    {"Default-Style names the set", "style sets"},
    {":has() descendant", ":has()"},
    {":has() sibling", ":has()"},
    {":first-of-type", ":first-of-type"},
    {":last-of-type", ":last-of-type"},
    {":nth-of-type()", ":nth-of-type()"},
    {":nth-last-of-type()", ":nth-last-of-type()"},
    {":only-of-type", ":only-of-type"},
    {":not(:defined) custom element", ":defined"},
    {":disabled", ":disabled"},
    {":enabled", ":enabled"},
    {":checked tab strip", ":checked"},
    {":placeholder-shown", ":placeholder-shown"},
    {":lang() prefix", ":lang()"},
    {":lang() inherited, in any case", ":lang()"},
    {":is() forgiving", ":is()"},
    {":where() forgiving", ":where()"},
    {"list with ::-webkit-scrollbar", "selector lists with vendor pseudo-elements"},
    {"list with an unknown ::-webkit- pseudo-element", "selector lists with vendor pseudo-elements"},
    {"device-width", "media features"},
    {"device-height", "media features"},
    {"scripting", "media features"},
    {"prefers-color-scheme", "media features"},
    {"prefers-reduced-motion", "media features"},
    {"forced-colors", "media features"},
    {"resolution", "media features"},
    {"update", "media features"},
    {"hover and pointer", "media features"},
    {"calc() in a query", "media features"},
    {"float", "blockification"},
    {"position absolute", "blockification"},
    {"position fixed", "blockification"},
    {"flex items", "blockification"},
    {"grid items", "blockification"},
    {"inline-flex items", "blockification"},
    {"display table-row and table-cell", "blockification"},
    {"sheet's @charset", "sheet encodings"},
    {"sheet in the page's encoding", "sheet encodings"},
    {"sheet in UTF-16 with a BOM", "sheet encodings"},
    {"uppercase in Turkish", "text-transform by language"},
    {"lowercase in Turkish", "text-transform by language"},
};

template <size_t N> QString reasonFor(const Known (&known)[N], const QString& pageName)
{
    for (const Known& entry : known) {
        const QString name = QString::fromUtf8(entry.page);
        if (pageName == name || pageName.startsWith(name + QStringLiteral(" / ")))
            return QString::fromUtf8(entry.construct);
    }
    return {};
}

} // namespace

QString knownDifference(const QString& pageName)
{
    return reasonFor(kDifferent, pageName);
}

QString knownWrongAddress(const QString& pageName)
{
    return reasonFor(kWrongAddress, pageName);
}

} // namespace parlowen::testing
