#include "stylepages.h"

#include "css/sheetdiscovery.h"

#include <QFile>

namespace parlowen::testing {

namespace {

// How a front end lays out its log: each construct is tried in the layouts
// its row names.
enum Layout : unsigned { Pre = 1, Table = 2, Divs = 4, Spans = 8 };
constexpr unsigned kLogLayouts = Pre | Table | Divs;
// A wrapper around a line would leave the table (the parser moves it out).
constexpr unsigned kNoTable = Pre | Divs;

// One construct in one page. The log's container has class "log", its plain
// lines "l". stale and current are the attributes of those lines, or
// "open|close" markup put around them; null leaves the stale line out.
struct Construct {
    const char* name;
    const char* head; // sheets and markup before the log
    const char* stale;
    const char* current = "class=c";
    unsigned layouts = kLogLayouts;
    const char* contentType = "text/html; charset=utf-8";
    const char* tail = "";
};

// Hidden whatever display the page's rules give the other lines.
const char kHiddenWhateverDisplay[] = "style=display:none";

// "Reverse" rows show the current line with a construct that a reader who
// skips it would take for hiding it; their stale line is simply hidden.
const Construct kConstructs[] = {
    // Custom properties
    {"var() as display", "<style>:root{--gone:none}.s{display:var(--gone)}</style>", "class=s"},
    {"var() missing, with a fallback", "<style>.s{display:var(--missing, none)}</style>", "class=s"},
    {"var() inherited from the log", "<style>.log{--gone:none}.s{display:var(--gone)}</style>", "class=s"},
    {"var() fallback naming another var()", "<style>.log{--g:none}.s{display:var(--x, var(--g))}</style>",
     "class=s"},
    {"var() invalid at computed time is initial (reverse)",
     "<style>.c{display:none}.c{display:var(--nothing)}</style>", "hidden"},
    {"var() fallback shows (reverse)", "<style>.c{display:none;display:var(--missing, revert)}</style>",
     "hidden"},
    {"all: revert (reverse)", "<style>.c{display:none}.c{all:revert}</style>", "hidden"},
    {"all: unset (reverse)", "<style>.c{display:none}.c{all:unset}</style>", "hidden"},
    {"all: initial (reverse)", "<style>.c{display:none}.c{all:initial}</style>", "hidden"},
    {"all: unset inherits visibility",
     "<style>.log{visibility:hidden}.l,.c{visibility:visible}.s{visibility:visible}.s{all:unset}</style>",
     "class=s"},
    // Nesting
    {"nesting with &", "<style>.log{& .s{display:none}}</style>", "class=s"},
    {"nesting without &", "<style>.log{.s{display:none}}</style>", "class=s"},
    {"nesting with & after its context", "<style>.s{.log &{display:none}}</style>", "class=s"},
    {"nesting a @media", "<style>.s{color:red;@media screen{display:none}}</style>", "class=s"},
    {"nesting: declarations after a nested rule", "<style>.s{.x{color:red}display:none}</style>", "class=s"},
    {"nesting shows (reverse)", "<style>.c{display:none;.log &{display:revert}}</style>", "hidden"},
    // Cascade layers
    {"@layer block", "<style>@layer base{.s{display:none}}</style>", "class=s"},
    {"@layer: unlayered beats a later layer",
     "<style>.s{display:none}@layer base{.s{display:revert}}</style>", "class=s"},
    {"@layer statement sets the order",
     "<style>@layer a, b;@layer b{.s{display:none}}@layer a{.s{display:revert}}</style>", "class=s"},
    {"@layer: !important reversed",
     "<style>@layer a, b;@layer a{.s{display:none!important}}@layer b{.s{display:revert!important}}</style>",
     "class=s"},
    {"@layer: layered !important beats unlayered",
     "<style>@layer a{.s{display:none!important}}.s{display:revert!important}</style>", "class=s"},
    {"@layer: revert-layer", "<style>@layer a{.s{display:none}}@layer b{.s{display:revert-layer}}</style>",
     "class=s"},
    {"@layer: nested layer names",
     "<style>@layer a{@layer x{.s{display:revert}}}@layer a.x{.s{display:none}}</style>", "class=s"},
    {"utility framework: every rule in a layer",
     "<style>@layer theme,base,components,utilities;@layer utilities{.hidden{display:none}"
     "@media (width>=48rem){.md\\:block{display:block}}}@layer components{.line{display:block}}"
     "@layer base{[hidden]:where(:not([hidden=until-found])){display:none!important}}</style>",
     "class=\"line hidden\"", "class=\"line hidden md:block\"", kNoTable},
    // Conditions
    {"@supports true", "<style>@supports (display:grid){.s{display:none}}</style>", "class=s"},
    {"@supports not", "<style>@supports not (display:bogus){.s{display:none}}</style>", "class=s"},
    {"@supports and, or",
     "<style>@supports (display:flex) and ((color:red) or (x:y)){.s{display:none}}</style>", "class=s"},
    {"@supports false (reverse)", "<style>@supports (display:bogus){.c{display:none}}</style>", "hidden"},
    {"@supports selector()", "<style>@supports selector(:has(a)){.s{display:none}}</style>", "class=s"},
    {"@supports selector() false (reverse)", "<style>@supports selector(:nosuch){.c{display:none}}</style>",
     "hidden"},
    {"@scope", "<style>@scope (.log){.s{display:none}}</style>", "class=s"},
    {"@scope :scope", "<style>@scope (.log){:scope .s{display:none}}</style>", "class=s"},
    {"@scope limit (reverse)", "<style>@scope (.log) to (.c){.c{display:none}}</style>", "hidden"},
    {"@container",
     "<style>.box{container-type:inline-size}@container (min-width:500px){.s{display:none}}</style>"
     "<div class=box>",
     "class=s", "class=c", kLogLayouts, "text/html; charset=utf-8", "</div>"},
    {"@container named",
     "<style>.box{container:panel/inline-size}@container panel (width>40em){.s{display:none}}"
     "</style><div class=box>",
     "class=s", "class=c", kLogLayouts, "text/html; charset=utf-8", "</div>"},
    {"@container too narrow (reverse)",
     "<style>.box{container-type:inline-size}@container (min-width:5000px)"
     "{.c{display:none}}</style><div class=box>",
     "hidden", "class=c", kLogLayouts, "text/html; charset=utf-8", "</div>"},
    {"@container without a container (reverse)",
     "<style>@container (min-width:1px){.c{display:none}}</style>", "hidden"},
    // Imports
    {"@import into a later layer",
     "<style>@layer base,late;@import url(/style/hide-stale.css) layer(late);"
     "@import url(/style/show-stale.css) layer(base);</style>",
     "class=s"},
    {"@import unlayered beats a later layer",
     "<style>@import url(/style/hide-stale.css);</style>"
     "<style>@layer x{.s{display:revert}}</style>",
     "class=s"},
    {"@import anonymous layer", "<style>@import url(/style/hide-stale.css) layer;</style>", "class=s"},
    {"@import supports()", "<style>@import url(/style/hide-stale.css) supports(display:grid);</style>",
     "class=s"},
    {"@import supports() false (reverse)",
     "<style>@import url(/style/hide-current.css) supports(display:bogus);</style>", "hidden"},
    {"@import layer() supports() media (reverse)",
     "<style>@import url(/style/hide-current.css) layer(x) supports(display:flex) print;</style>", "hidden"},
    // Style sets
    {"<style title>", "<style title=Main>.s{display:none}</style>", "class=s"},
    {"second <style title> is an alternate (reverse)",
     "<style title=A>.s{display:none}</style><style title=B>.c{display:none}</style>", "class=s"},
    {"titled link", "<link rel=stylesheet title=Log href=/style/hide-stale.css>", "class=s"},
    {"alternate link (reverse)", "<link rel=\"alternate stylesheet\" title=Old href=/style/hide-current.css>",
     "hidden"},
    {"Default-Style names the set",
     "<meta http-equiv=Default-Style content=B><style title=A>.c{display:none}</style>"
     "<style title=B>.s{display:none}</style>",
     "class=s"},
    // Selectors
    {":has() descendant", "<style>.log:has(.c) .s{display:none}</style>", "class=s"},
    {":has() sibling", "<style>.s:has(~ .c){display:none}</style>", "class=s"},
    {":has() unmatched (reverse)", "<style>.log:has(.nosuch) .c{display:none}</style>", "hidden"},
    {":first-of-type", "<style>.log :first-of-type + .s{display:none}</style>", "class=s"},
    {":last-of-type", "<style>.s:not(:last-of-type){display:none}</style>", "class=s"},
    {":nth-of-type()", "<style>.log .s:nth-of-type(2){display:none}</style>", "class=s"},
    {":nth-last-of-type()", "<style>.log .s:nth-last-of-type(4){display:none}</style>", "class=s"},
    {":only-of-type", "<style>.s:not(:only-of-type){display:none}</style>", "class=s"},
    {":not(:defined) custom element", "<style>x-log:not(:defined){display:none}</style>", "<x-log>|</x-log>",
     "class=c", kNoTable},
    {":defined built-in (reverse)", "<style>.c:not(:defined){display:none}</style>", "hidden"},
    {":disabled", "<style>fieldset:disabled{display:none}</style>", "<fieldset disabled>|</fieldset>",
     "class=c", kNoTable},
    {":enabled", "<style>fieldset:enabled{display:none}</style>", "<fieldset>|</fieldset>", "class=c",
     kNoTable},
    {":checked tab strip",
     "<style>#t1:checked~.log .c,#t2:checked~.log .s{display:none}</style>"
     "<input type=radio name=tab id=t1><input type=radio name=tab id=t2 checked>",
     "class=s"},
    {":placeholder-shown",
     "<style>input:placeholder-shown~.log .s{display:none}</style><input placeholder=filter>", "class=s"},
    {":placeholder-shown with a value (reverse)",
     "<style>input:placeholder-shown~.log .c{display:none}</style><input placeholder=filter value=wan>",
     "hidden"},
    {":lang() prefix", "<style>:lang(de){display:none}</style>", "class=s lang=de-AT"},
    {":lang() inherited, in any case", "<style>.log :lang(de):not([lang]){display:none}</style>",
     "<div lang=DE-at>|</div>", "class=c", kNoTable},
    {":is() forgiving", "<style>:is(.s, :nosuch(x)){display:none}</style>", "class=s"},
    {":where() forgiving", "<style>.log :where(:nosuch, .s){display:none}</style>", "class=s"},
    {"list with ::-webkit-scrollbar", "<style>.s, ::-webkit-scrollbar{display:none}</style>", "class=s"},
    {"list with an unknown ::-webkit- pseudo-element", "<style>.s, ::-webkit-nosuch{display:none}</style>",
     "class=s"},
    {"list with ::-moz-selection (reverse)", "<style>.c, ::-moz-selection{display:none}</style>", "hidden"},
    // Media queries
    {"device-width", "<style>@media (min-device-width:100px){.s{display:none}}</style>", "class=s"},
    {"device-width too narrow (reverse)", "<style>@media (max-device-width:10px){.c{display:none}}</style>",
     "hidden"},
    {"device-width is the screen's, not the frame's (reverse)",
     "<style>@media (min-device-width:1000px){.c{display:none}}</style>", "hidden"},
    {"device-height", "<style>@media (min-device-height:100px){.s{display:none}}</style>", "class=s"},
    {"scripting", "<style>@media (scripting:enabled){.s{display:none}}</style>", "class=s"},
    {"scripting none (reverse)", "<style>@media (scripting:none){.c{display:none}}</style>", "hidden"},
    {"prefers-color-scheme", "<style>@media (prefers-color-scheme:light){.s{display:none}}</style>",
     "class=s"},
    {"prefers-color-scheme dark (reverse)",
     "<style>@media (prefers-color-scheme:dark){.c{display:none}}</style>", "hidden"},
    {"prefers-reduced-motion",
     "<style>@media (prefers-reduced-motion:no-preference){.s{display:none}}</style>", "class=s"},
    {"prefers-reduced-motion reduce (reverse)",
     "<style>@media (prefers-reduced-motion:reduce){.c{display:none}}</style>", "hidden"},
    {"forced-colors", "<style>@media (forced-colors:none){.s{display:none}}</style>", "class=s"},
    {"forced-colors active (reverse)", "<style>@media (forced-colors:active){.c{display:none}}</style>",
     "hidden"},
    {"resolution", "<style>@media (min-resolution:1dppx){.s{display:none}}</style>", "class=s"},
    {"resolution 2dppx (reverse)", "<style>@media (min-resolution:2dppx){.c{display:none}}</style>",
     "hidden"},
    {"update", "<style>@media (update:fast){.s{display:none}}</style>", "class=s"},
    {"update none (reverse)", "<style>@media (update:none){.c{display:none}}</style>", "hidden"},
    // A headless browser has neither.
    {"hover and pointer", "<style>@media (hover:none) and (pointer:none){.s{display:none}}</style>",
     "class=s"},
    {"any-pointer coarse (reverse)", "<style>@media (any-pointer:coarse){.c{display:none}}</style>",
     "hidden"},
    {"calc() in a query", "<style>@media (min-width:calc(500px + 10em)){.s{display:none}}</style>",
     "class=s"},
    {"calc() in a query, too wide (reverse)",
     "<style>@media (max-width:calc(100px * 2)){.c{display:none}}</style>", "hidden"},
    // Layout: what makes an inline element a block, or a table part
    {"float", "<style>.log>*{float:left}</style>", kHiddenWhateverDisplay, "class=c", Spans},
    {"position absolute", "<style>.log>*{position:absolute}</style>", kHiddenWhateverDisplay, "class=c",
     Spans},
    {"position fixed", "<style>.log>*{position:fixed}</style>", kHiddenWhateverDisplay, "class=c", Spans},
    {"flex items", "<style>.log{display:flex;flex-direction:column}</style>", kHiddenWhateverDisplay,
     "class=c", Spans},
    {"grid items", "<style>.log{display:grid}</style>", kHiddenWhateverDisplay, "class=c", Spans},
    {"inline-flex items", "<style>.log>*{display:inline-flex}</style>", kHiddenWhateverDisplay, "class=c",
     Spans},
    {"display table-row and table-cell",
     "<style>.log{display:table}.log>*{display:table-row}.log b,.log i{display:table-cell}</style>",
     kHiddenWhateverDisplay, "class=c", Spans},
    {"display table-cell alone", "<style>.log b,.log i{display:table-cell}</style>", kHiddenWhateverDisplay,
     "class=c", Spans},
    // Sheets in other encodings
    {"sheet's @charset", "<link rel=stylesheet href=/style/latin1.css>", "class=caf\xc3\xa9"},
    {"sheet's BOM beats its @charset", "<link rel=stylesheet href=/style/bom.css>", "class=caf\xe9",
     "class=c", kLogLayouts, "text/html; charset=windows-1252"},
    {"sheet in the page's encoding", "<link rel=stylesheet href=/style/unlabelled.css>", "class=caf\xe9",
     "class=c", kLogLayouts, "text/html; charset=windows-1252"},
    {"sheet not in the page's encoding (reverse)", "<link rel=stylesheet href=/style/unlabelled.css>",
     "hidden", "class=caf\xc3\xa9"},
    {"sheet in UTF-16 with a BOM", "<link rel=stylesheet href=/style/utf16.css>", "class=caf\xc3\xa9"},
    // Letter case
    {"uppercase in Turkish", "<html lang=tr><style>.log{text-transform:uppercase}</style>", "hidden"},
    {"lowercase in Turkish", "<html lang=tr><style>.log{text-transform:lowercase}</style>", "hidden"},
    {"lowercase Greek final sigma", "<style>.log{text-transform:lowercase}</style>", "hidden"},
    {"uppercase sharp s", "<style>.log{text-transform:uppercase}</style>", "hidden"},
    {"::first-line uppercase",
     "<style>.log::first-line,.log>div::first-line{text-transform:uppercase}</style>", "hidden"},
    {"::first-letter lowercase",
     "<style>.log::first-letter,.log>div::first-letter{text-transform:lowercase}</style>", "hidden"},
};

struct LayoutShape {
    Layout layout;
    const char* name;
    const char* open;
    const char* close;
};
const LayoutShape kLayouts[] = {
    {Pre, "pre", "<pre class=log>", "</pre>"},
    {Table, "table rows", "<table class=log>", "</table>"},
    {Divs, "div lines", "<div class=log>", "</div>"},
    {Spans, "span lines", "<div class=log>", "</div>"},
};

// The log, oldest first: the stale address comes before the current one, so
// that a reader who fails to hide it finds it first.
const char* const kStamps[] = {"Jan  1 00:00:01", "Dec 31 23:59:59", "Jan  1 00:00:02", "Jan  1 01:00:00",
                               "Jan  1 01:00:01"};
const char* const kMessages[] = {"kernel: eth0: link up, 100Mbps", "pppd[1024]: WAN IP is 198.51.100.9",
                                 "dnsmasq: DHCPACK(br0) 192.0.2.23 laptop",
                                 "pppd[1024]: WAN IP is 203.0.113.7",
                                 "syslogd: Stra\xc3\x9f"
                                 "e \xce\x9f\xce\x94\xce\x9f\xce\xa3 istanbul fine"};

QByteArray lineElement(Layout layout, QByteArray attributes, int line)
{
    QByteArray open;
    QByteArray close;
    if (const qsizetype bar = attributes.indexOf('|'); bar >= 0) {
        open = attributes.left(bar);
        close = attributes.mid(bar + 1);
        attributes.clear();
    }
    if (!attributes.isEmpty())
        attributes.prepend(' ');
    const QByteArray stamp = kStamps[line];
    const QByteArray message = kMessages[line];
    QByteArray element;
    switch (layout) {
    case Pre:
        element = "<span" + attributes + '>' + stamp + ' ' + message + "</span>\n";
        break;
    case Table:
        element = "<tr" + attributes + "><td>" + stamp + "<td>" + message + "</tr>";
        break;
    case Divs:
        element = "<div" + attributes + '>' + stamp + ' ' + message + "</div>";
        break;
    case Spans:
        element = "<span" + attributes + "><b>" + stamp + "</b> <i>" + message + "</i></span> ";
        break;
    }
    return open + element + close;
}

QByteArray page(const Construct& construct, const LayoutShape& shape)
{
    QByteArray body = construct.head + QByteArray(shape.open);
    for (int line = 0; line < 5; ++line) {
        const char* attributes = line == 1 ? construct.stale : line == 3 ? construct.current : "class=l";
        if (attributes)
            body += lineElement(shape.layout, attributes, line);
    }
    return body + shape.close + construct.tail;
}

QByteArray utf16WithBom(const QString& text)
{
    QByteArray bytes("\xff\xfe");
    for (const QChar c : text)
        bytes += char(c.unicode() & 0xff), bytes += char(c.unicode() >> 8);
    return bytes;
}

} // namespace

QList<GeneratedPage> stylePages()
{
    QList<GeneratedPage> pages;
    for (const Construct& construct : kConstructs) {
        for (const LayoutShape& shape : kLayouts) {
            if (construct.layouts & shape.layout)
                pages.append(
                    {QString::fromUtf8(construct.name) + QStringLiteral(" / ") + QLatin1String(shape.name),
                     construct.contentType, page(construct, shape)});
        }
    }
    return pages;
}

QList<ServedSheet> stylePageSheets()
{
    return {
        {"/style/hide-stale.css", "text/css", ".s{display:none}"},
        {"/style/hide-current.css", "text/css", ".c{display:none}"},
        {"/style/show-stale.css", "text/css", ".s{display:revert}"},
        {"/style/latin1.css", "text/css", "@charset \"iso-8859-1\";.caf\xe9{display:none}"},
        {"/style/bom.css", "text/css", "\xef\xbb\xbf@charset \"iso-8859-1\";.caf\xc3\xa9{display:none}"},
        {"/style/unlabelled.css", "text/css", ".caf\xe9{display:none}"},
        {"/style/utf16.css", "text/css", utf16WithBom(QStringLiteral(".caf\u00e9{display:none}"))},
    };
}

PageStyleSheets fetchedStyleSheets(const GeneratedPage& page, const QUrl& pageUrl,
                                   const QList<ServedSheet>& served)
{
    PageStyleSheets sheets;
    sheets.pageUrl = pageUrl;
    std::vector<QUrl> wanted = linkedStyleSheets(page.body, page.contentType, pageUrl);
    for (size_t i = 0; i < wanted.size(); ++i) {
        for (const ServedSheet& sheet : served) {
            if (pageUrl.resolved(QUrl(sheet.path)) != wanted[i] || sheets.sheets.contains(wanted[i]))
                continue;
            sheets.sheets.insert(wanted[i], sheet.body);
            if (!isStyleSheetType(sheet.contentType))
                sheets.otherTypes.insert(wanted[i]);
            for (const QUrl& imported : importedStyleSheets(sheet.body, wanted[i], pageUrl))
                wanted.push_back(imported);
        }
    }
    return sheets;
}

namespace {
const QByteArray kSectionMark = "=== ";
}

QHash<QString, QByteArray> readRecordedTexts(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QHash<QString, QByteArray> texts;
    QString name;
    QByteArray text;
    const auto keep = [&] {
        if (!name.isEmpty())
            texts.insert(name, text.chopped(1).replace("\n", "\r\n"));
    };
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.startsWith(kSectionMark)) {
            text += line;
            continue;
        }
        keep();
        name = QString::fromUtf8(line.mid(kSectionMark.size()).chopped(1));
        text.clear();
    }
    keep();
    return texts;
}

QByteArray recordedTextsFile(const QByteArray& recordedBy, const QList<QPair<QString, QByteArray>>& texts)
{
    QByteArray file = "innerText of the pages of tests/stylepages.cpp, from " + recordedBy.trimmed() +
                      "\nWritten by tst_innertext_chromium with PARLOWEN_RECORD_CHROMIUM set to this file.\n";
    for (const auto& [name, text] : texts)
        file += kSectionMark + name.toUtf8() + '\n' + QByteArray(text).replace("\r\n", "\n") + '\n';
    return file;
}

} // namespace parlowen::testing
