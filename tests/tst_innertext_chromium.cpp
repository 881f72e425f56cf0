// Our page text against a real browser's: Chromium's document.body.innerText
// for every page of a corpus (the test pages we have, and generated router
// log pages), byte for byte once its line breaks are written "\r\n".
//
// One browser process loads the whole corpus: a driver page served with the
// corpus from this test's own server loads each page into an iframe in turn,
// reads its innerText and, once all are read, writes them into the driver
// page, which --dump-dom prints. The test runs in a private network
// namespace (see tests/CMakeLists.txt), where nothing but loopback exists.
//
// The browser's texts of the style pages (stylepages.h) are kept in the
// tree for tst_pagetext_recorded; with PARLOWEN_RECORD_CHROMIUM naming a
// file, this test writes them there.

#include "css/sheetset.h"
#include "html/charset.h"
#include "html/pagetext.h"
#include "html/parsedpage.h"
#include "logpagegenerator.h"
#include "sim/fakehttpserver.h"
#include "stylepages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

using namespace parlowen;
using parlowen::sim::FakeHttpServer;
using parlowen::testing::GeneratedPage;
using parlowen::testing::ServedSheet;

namespace {

// What we show differently from a browser on purpose, each with its reason.
// They are the only differences the comparison allows.
//
// 1. A page that names no encoding is read as UTF-8 where its bytes are
//    valid UTF-8: routers send UTF-8 without saying so. Chromium guesses
//    from its locale (Windows-1252 here), so it gets such a page with
//    "charset=utf-8" added to its Content-Type (servedToBrowser below),
//    unless the page is ASCII, which every guess reads alike.
// 2. The rest are rewrites of the browser's page, made before its text is
//    read (kDeclaredDifferences, in the driver page).
QByteArray servedToBrowser(const GeneratedPage& page)
{
    const bool declared = !charsetParameter(page.contentType).isEmpty() || prescanMetaCharset(page.body);
    const bool ascii =
        std::all_of(page.body.begin(), page.body.end(), [](char c) { return uchar(c) < 0x80; });
    if (declared || ascii || !page.body.isValidUtf8())
        return page.contentType;
    return page.contentType + "; charset=utf-8";
}

const char kDeclaredDifferences[] = R"js(
const declaredDifferences = [
  {
    // Routers often show their log in a text area, and the check must read
    // it: we show a text area's text as a preformatted block, where a
    // browser's innerText leaves form controls out.
    reason: "text area content is page text",
    apply(doc) {
      for (const area of Array.from(doc.querySelectorAll("textarea"))) {
        const pre = doc.createElement("pre");
        pre.textContent = area.defaultValue;
        for (const name of ["hidden", "style"])
          if (area.hasAttribute(name)) pre.setAttribute(name, area.getAttribute(name));
        // As the text area shows it: browsers transform no control's text.
        pre.style.textTransform = getComputedStyle(area).textTransform;
        area.replaceWith(pre);
      }
    },
  },
];
)js";

const char kDriver[] = R"js(
const out = [];
const frame = document.createElement("iframe");
// The screen media queries are read for.
frame.style.cssText = "width:1024px;height:768px;border:0";
document.body.appendChild(frame);
function utf8Base64(text) {
  let binary = "";
  for (const byte of new TextEncoder().encode(text)) binary += String.fromCharCode(byte);
  return btoa(binary);
}
function next(i) {
  if (i === pageCount) {
    document.getElementById("out").textContent = out.join("\n");
    return;
  }
  frame.onload = () => {
    const doc = frame.contentDocument;
    for (const difference of declaredDifferences) difference.apply(doc);
    out.push(doc.body ? utf8Base64(doc.body.innerText) : "-");
    next(i + 1);
  };
  frame.src = "/page/" + i;
}
next(0);
)js";

// The rendering rules one at a time, in pages of their own.
const char* const kRulePages[] = {
    "abc <img> def",
    "x <canvas></canvas> y",
    "WAN IP is <input value=x>",
    "a <input type=HIDDEN value=x> b <input value=y> <input type=hidden>",
    "<div><img> x</div><img><div>x</div>",
    "a <button> Go </button> b<button>c</button>d",
    "a <select><option>one<option>two</select> b",
    "a <meter>m</meter> <progress>p</progress> b <video>v</video> c <iframe></iframe> d",
    "a <dialog>d</dialog> b <audio>x</audio> c",
    "a <object>fallback</object> b",
    "a <svg><text>b</text><path/></svg> c",
    "a <svg><title>t</title><desc>e</desc>loose<text>b</text><rect/></svg> c",
    "<table><tr><td>a<svg><text>b</text></svg></td></tr></table>",
    "<p>x<b hidden>internal<p>WAN IP is 10.1.1.1</p><pre>WAN IP is 203.0.113.7</pre>",
    "<p>x<font style=\"display:none\">internal<p>WAN IP is 10.1.1.1</p>",
    "<foo><li>x",
    "a<br>b<isindex>c",
    "<details><summary>More</summary>hid</details><details open><summary>S</summary>shown</details>",
    "<table><tr><td> a </td><td>b</td></tr><tr><td>c</td><td hidden>d</td></tr></table>x",
    "<ul><li>one<li>two</ul><h1>t</h1><dl><dt>k<dd>v</dl><p>a</p><p>b</p>",
    "<div style=\"white-space:pre-line\">a   b\n  c</div><span style=\"display:block\">d</span>",
    // Capitalize starts a word after whatever ended the text before it.
    "<p>abcd&gt;<span style=text-transform:capitalize>jan up</span> 2x<b style=text-transform:capitalize>"
    "y</b> \xc3\xa9t\xc3\xa9\xc2\xa0<i style=text-transform:capitalize>jan</i>",
    // The page's style sheets: a stale line hidden by a rule of each kind.
    "<style>.old{display:none}</style><p class=old>WAN IP is 198.51.100.1</p><p>WAN IP is 203.0.113.7</p>",
    "<style>#stale{display:none}</style><p id=stale>WAN IP is 198.51.100.1<p id=Stale>WAN IP is 203.0.113.7",
    "<!DOCTYPE html><style>.Old{display:none}#A{display:none}</style><p class=old>a<p id=a>b<p class=Old>c",
    "<style>[data-state=stale]{display:none}[title~=old]{display:none}[lang|=en]{display:none}"
    "[class^=x]{display:none}[class$=y]{display:none}[class*=mid]{display:none}[name=\"A\" i]{display:none}"
    "[hidden-not]{display:none}[type=hidden]{display:none}[type=Q s]{display:none}</style>"
    "<p data-state=stale>1<p data-state=Stale>2<p title=\"new old\">3<p title=older>4<p lang=en-GB>5<p "
    "lang=e>6"
    "<p class=xa>7<p class=ay>8<p class=amidb>9<p name=a>10<p name=b>11<p hidden-not=''>12"
    "<p type=HIDDEN>13<p type=q>14<p>15",
    "<style>div .log p{display:none} ul>li{display:none} h1+p{display:none} h2~p{display:none}</style>"
    "<div class=log><section><p>gone</section></div><p>kept<ul><li>a<li><b>b</b></ul><ol><li>c</ol>"
    "<h1>t</h1><p>x<p>y<h2>u</h2><span>s</span><p>z<p>w",
    "<style>.v{visibility:hidden}.s{visibility:visible}.cv{content-visibility:hidden}</style>"
    "<div class=v>a<p>b</p>c<span class=s>V</span></div>x<br><b class=v>d</b><p class=cv>e</p>"
    "<span class=cv>f</span><table><tr><td class=v>1<td>2<tr class=v><td>3<td>4<tr><td>5</table>",
    "<p class=old>WAN IP is 198.51.100.1</p><p>WAN IP is 203.0.113.7</p><style>.old{display:none}</style>",
    "<style>p.imp{display:none!important} .keep{display:block !important} #i{display:none}</style>"
    "<p class=imp style=\"display:block\">a<p>b<span id=i class=keep style=\"display:none\">c</span>"
    "<span id=i style=\"display:inline!important\">d</span>",
    "<style>@media print{.scr{display:none}} @media screen and (min-width:800px){.w{display:none}}"
    "@media (max-width:600px){.n{display:none}} @media not print{.np{display:none}}"
    "@media (width >= 1000px) and (height < 800px){.r{display:none}} @media (hover:hover){.h{display:none}}"
    "@media print, (orientation:landscape){.o{display:none}} @media tv{.t{display:none}}"
    "@media only screen and (min-width:40em){.e{display:none}} @media (400px <= width <= "
    "700px){.b{display:none}}"
    "@media screen and (color), print{.c{display:none}} @media (min-width:600px) or "
    "(max-width:400px){.or{display:none}}"
    "@media not (max-width:2000px){.nn{display:none}}</style>"
    "<p class=scr>1<p class=w>2<p class=n>3<p class=np>4<p class=r>5<p class=h>6<p class=o>7<p class=t>8"
    "<p class=e>9<p class=b>10<p class=c>11<p class=or>12<p class=nn>13",
    "<style media=print>.a{display:none}</style><style media=\"screen and "
    "(max-width:2000px)\">.b{display:none}"
    "</style><style type=text/plain>.c{display:none}</style><style type=TEXT/CSS>.d{display:none}</style>"
    "<template><style>.e{display:none}</style></template><noscript><style>.f{display:none}</style></noscript>"
    "<p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f",
    "<style>.l{display:block}</style><div id=log><span class=l>Jan  1 00:00:01 pppd: link up</span>"
    "<span class=l>Jan  1 00:00:02 pppd: WAN IP is 203.0.113.7</span> <span class=l> x </span></div>",
    "<style>div.c{display:inline} .ib{display:inline-block} .ct{display:contents} p.i{display:inline}"
    "img.ct{display:contents} .two{display:inline flow-root} .bf{display:block flow}</style>"
    "<div class=c>a</div><div class=c>b</div><div>c</div><div class=ib> d </div>e<div class=ct>f</div>g"
    "<p class=i>h</p>i<img class=ct>j<div class=two>k</div>l<span class=bf>m</span>n",
    "<style>.p{white-space:pre}.pl{white-space:pre-line}.n{white-space:normal}.pw{white-space-collapse:"
    "preserve}"
    "</style><div class=p>a   b\n c</div><div class=pl>d   e\n f</div><pre class=n>g   h\n i</pre>"
    "<div class=pw>j   k</div><div class=p><span class=n>l   m</span> n  o</div>",
    "<style>.u{text-transform:uppercase}.l{text-transform:lowercase}.c{text-transform:capitalize}"
    ".n{text-transform:none}</style><p class=u>stra\xc3\x9f"
    "e \xc3\xa9t\xc3\xa9 <b class=n>not</b> x"
    "<p class=l>LOUD \xc3\x89T\xc3\x89<p class=c>hello wo<b>rld</b> x-y 3d don't \xc3\xa9"
    "cole"
    "<p>ab<span class=c>cd</span> <span class=c>ef</span>",
    "<style>li:first-child{display:none} li:last-child{display:none} tr:nth-child(2n+1){display:none}"
    "td:nth-last-child(2){display:none} p:not(.keep){display:none} b:only-child{display:none}"
    "i:nth-child(odd):not(:first-child){display:none} s:nth-child(-n+2){display:none}"
    "u:is(.a,.b){display:none} em:where(.c){display:none} :root body q:empty{display:none}</style>"
    "<ul><li>1<li>2<li>3</ul><table><tr><td>a<td>b<td>c<tr><td>d<td>e<td>f<tr><td>g</table>"
    "<p class=keep>p<span><b>only</b></span><span><b>x</b><b>y</b></span><p>gone"
    "<div class=keep><i>1</i><i>2</i><i>3</i><s>4</s><s>5</s><s>6</s><u class=b>7</u><u>8</u>"
    "<em class=c>9</em><q></q><q>10</q></div>",
    "<style>.x .a + .b{display:none} .a + .b .c{display:none} div > .k ~ .m i{display:none} "
    ".y>.z{display:none}"
    "</style><div class=x><p class=a>1<p class=b>2</div><p class=a>3<p class=b>4<div class=a></div>"
    "<div class=b><span class=c>5</span>7</div><div><b class=k></b><b class=m><i>6</i>8</b></div>"
    "<div class=y><p><span class=z>9</span></div>",
    "<style>.a{display:none} p.a{display:block} #k{display:none} .b.c{display:block} p{display:none}"
    "p{display:block} .z{display:block} .z{display:none}</style>"
    "<p class=a>1<span class=a>2</span><span id=k class=\"b c\">3</span><p>4<p class=z>5",
    "<style>.x, p:hover, .y{display:none} .m, p::before{display:none} .q, p:nosuch{display:none}"
    ".r, a|b{display:none} @font-face{font-family:x} @unknown junk{.s{display:none}} "
    ".t{colour:red;display:none}"
    ".u{display:bogus} .u{display:nonsense;visibility:hidden} .w{display:none;display:flex}"
    ".v{nested: stuff; .inner{x:y} display:none}</style>"
    "<p class=x>1<p class=y>2<p class=m>3<p class=q>4<p class=r>5<p class=s>6<p class=t>7<p class=u>8<p "
    "class=w>9"
    "<p class=v>10<p>11",
    "<style><!-- .a\\:b{display:none} .\\31 23{display:none} /* .c{display:none} */ .d{dis\\play:none}"
    "[title=\"x\\\"y\"]{display:none} .e{display:'none'} --></style>"
    "<p class=a:b>1<p class=123>2<p class=c>3<p class=d>4<p title='x\"y'>5<p class=e>6",
    // The tokenizer: escapes, strings, url(), numbers and what ends a rule.
    "<style>.a\\20 b{display:none} .\\E9t\\E9{display:none} #\\31 0{display:none} .c{display:'none'}"
    ".d{background:url(x.png) ;display:none} .e{background:url( bad\"x );display:none} .f{display:none"
    "</style><p class='a b'>1<p class=\xc3\xa9t\xc3\xa9>2<p id=10>3<p class=c>4<p class=d>5<p class=e>6"
    "<p class=f>7<p>8",
    "<style>.g{display:none;\n.h{display:none}\n.i{display:none} .j{display:\"none} .k{display:none}\n"
    ".l{display:none} @media screen{.m{display:none} .n{display:none}</style><p class=g>1<p class=h>2"
    "<p class=i>3<p class=j>4<p class=k>5<p class=l>6<p class=m>7<p class=n>8",
    // An+B and position.
    "<style>li:nth-child(-n+2){display:none} li:nth-child(+5){display:none} li:nth-last-child(odd)"
    "{visibility:hidden} li:nth-child(0n+0){display:none} li:nth-child(2n -1){display:none}"
    "li:nth-child(3 n){display:none} li:NTH-CHILD(EVEN):not(:last-child)::after{display:none}</style>"
    "<ol><li>1<li>2<li>3<li>4<li>5<li>6<li>7</ol>",
    // The root element is its document's only child.
    "<style>:first-child > body .a{display:none} :only-child .b{display:none} :nth-last-child(1) > * > .c"
    "{display:none} :nth-child(odd) > * > .d{display:none} :nth-child(2) > .e{display:none}</style>"
    "<p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p>f",
    // Hidden text still holds its place on the line, a hidden block still
    // ends it, and a cell whose content is skipped loses its tab; a table's
    // content and its caption's are never skipped.
    "<style>.v{visibility:hidden}.cv{content-visibility:hidden}</style><div>a <span class=v>b</span> c <div "
    "class=v>d</div> e <p class=cv>f</p> g</div><table><tr><td class=cv>1<td>2<td class=cv>3<tr><td>4<td>5"
    "</table><table class=cv><caption class=cv>6</caption><tr><td>7<td>8</table>",
    // A control's label, options and text are never transformed.
    "<div style=\"text-transform:uppercase\">wan <button>go on</button> <select><option>dhcp</select> "
    "<textarea>log</textarea> <b>ip</b></div>",
    // Attribute values: empty, quoted, case.
    "<style>[title=\"\"]{display:none} [lang^=\"\"]{display:none} [class*=\"\"]{display:none}"
    "[dir=RTL]{display:none} [data-x=Y]{display:none} [align=Center s]{display:none}"
    "[data-y=z i]{display:none}</style><p title=''>1<p title=x>2<p lang=en>3<p class=x>4<p dir=rtl>5"
    "<p data-x=y>6<p align=center>7<p data-y=Z>8",
    // Keywords of every kind, inherited or not.
    "<style>.ws{white-space:pre} .ws .i{white-space:inherit} .ws .u{white-space:unset} .ws "
    ".n{white-space:initial}"
    "pre .r{white-space:revert} .v{visibility:hidden} .v .i{visibility:inherit} .v .s{visibility:visible}"
    ".v .u{visibility:unset} .v .n{visibility:initial} .t{text-transform:uppercase} .t "
    ".i{text-transform:inherit}"
    ".t .n{text-transform:initial} .t .u{text-transform:unset} div.d{display:initial} p.d{display:revert}"
    "span.d{display:unset} b.d{display:inherit}</style>"
    "<div class=ws>a  b<span class=i>c  d</span><span class=u>e  f</span><span class=n>g  h</span></div>"
    "<pre>i  j<span class=r>k  l</span></pre><div class=v>m<span class=i>n</span><span class=s>o</span>"
    "<span class=u>p</span><span class=n>q</span></div><div class=t>r<span class=i>s</span><span class=n>t"
    "</span><span class=u>u</span></div><div class=d>v</div><p class=d>w<span class=d>x</span><b "
    "class=d>y</b>",
    // Specificity and order, with !important on both sides.
    "<style>#a.b{display:none} .b.c.d{display:block} #a{display:block} p#a.b{display:none}"
    ".x{display:none!important} #y{display:block} .z{display:block!important} .z{display:none!important}"
    "span{display:block} *{display:inline}</style><p id=a class='b c d'>1<p class=x id=y>2<p class=z>3"
    "<span>4</span><span>5</span>",
    // Quirks: no doctype, so class and id ignore case.
    "<style>.OLD{display:none}#Mid{display:none} P.X{display:none}</style><p class=old>1<p id=mid>2<p "
    "class=x>3<p>4",
    // Selector lists where one part is unknown, and rules of other at-rules.
    "<style>.a, .b:unknown(x){display:none} .c,,.d{display:none} .e, {display:none} , .f{display:none}"
    "@supports (display:grid){.g{display:none}} @layer x{.h{display:none}} @layer y; .i{display:none}"
    "@page{.j{display:none}} @font-face{src:url(x)} .k{display:none} @media{.l{display:none}}"
    "@media screen, {.m{display:none}} @media (unknown-feature){.n{display:none}}</style>"
    "<p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f<p class=i>i<p class=j>j"
    "<p class=k>k<p class=l>l<p class=m>m<p class=n>n",
    "<style>.log{white-space:pre-line} .log b{text-transform:uppercase} .log .t:first-child{display:none}"
    "</style><div class=log>  <span class=t>00:01</span> wan ip is <b>up</b>\n<span>x</span><span class=t>"
    "00:02</span>   WAN IP is 203.0.113.7\n  </div>",
    "<style>.log td.old{visibility:hidden} .log tr.stale{display:none} .log .msg{text-transform:uppercase}"
    "</style><table class=log><tr><th>Time<th>Message<tr class=stale><td>00:01<td class=msg>WAN IP is "
    "198.51.100.1"
    "<tr><td>00:02<td class=msg>wan ip is now up<tr><td class=old>00:03<td>WAN IP is 203.0.113.7</table>",
    // How a sheet is read: case, comments, escapes and CDO/CDC where they may stand.
    "<style>.a{DISPLAY:NONE} .b{display:/**/none} .c/**/{display:none} .d{display:none ! important}"
    ".e{display:none!IMPORTANT} .f{display:none !/**/important} .g{display:none}!x .h{display:none}"
    "<!-- .i{display:none} --> .j{-webkit-display:none} .k{display:none;;;} .l{;display:none}"
    ".m{display:\\6eone} .n{dis\\70lay:none} .o{display:no\\\nne} .\\70 {display:none}"
    "</style><p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f<p class=g>g<p class=h>h"
    "<p class=i>i<p class=j>j<p class=k>k<p class=l>l<p class=m>m<p class=n>n<p class=o>o<p class=p>p",
    "<style>.a{display:none}} .b{display:none} .c{display:none]} .d{display:none} .e{x:[;display:none]}"
    ".f{display:none} .g{x:\"a;display:none} .h{display:none} .i{x:url(a;b);display:none} .j{display:none}"
    "</style><p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f<p class=g>g<p class=h>h"
    "<p class=i>i<p class=j>j",
    // Media queries: units, calc, case and the ones a screen never meets.
    "<style>@media (min-width:60em){.a{display:none}} @media (max-width:48em){.b{display:none}}"
    "@media SCREEN AND "
    "(MIN-WIDTH:1px){.d{display:none}}"
    "@media (min-aspect-ratio:4/3){.e{display:none}} @media (max-aspect-ratio:1/1){.f{display:none}}"
    "@media (prefers-color-scheme:dark){.g{display:none}} @media (min-resolution:2dppx){.h{display:none}}"
    "@media (pointer:fine){.i{display:none}} @media (width:1024px){.j{display:none}}"
    "@media (1023px < width){.k{display:none}} @media (min-width:1025px){.l{display:none}}"
    "@media (min-width:100vw){.m{display:none}} @media speech{.n{display:none}} @media all{.o{display:none}}"
    "</style><p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f<p class=g>g<p class=h>h"
    "<p class=i>i<p class=j>j<p class=k>k<p class=l>l<p class=m>m<p class=n>n<p class=o>o<p>p",
    // Selectors a log's markup meets: numbers, case of type and attribute names, namespaces.
    "<style>TD.x{display:none} [DATA-A]{display:none} [data-b=\"1\"]{display:none} *|p.c{display:none}"
    "|p.d{display:none} p:FIRST-CHILD{color:red} .e:not(p, span){display:none} .f:not(){display:none}"
    ".g:nth-child(n+2 of .g){display:none} :is(){display:none} .h:is(p){display:none}</style>"
    "<table><tr><td class=x>1<td>2</table><p data-a>3<p data-b=1>4<p class=c>5<p class=d>6<p class=e>7"
    "<div class=e>8</div><p class=f>9<p class=g>10<p class=g>11<p class=h>12",
    // Floats and absolutely positioned boxes are blocks, out of the line
    // around them: a space before one stays if the line goes on after it.
    "<div>a <span style=float:left> b </span> c</div><div>a<span style=float:right>b</span> c</div>"
    "<div>a <span style=float:left>b</span></div><div>a <b style=float:left>b</b> <i style=float:left>c</i>"
    " d</div><div>a <span style=float:left>b <i style=float:left>c</i> d</span> e</div><div>x<span "
    "style=float:left></span>y<img style=float:left>z</div><div>a <span style=float:left>b</span><br>c</div>"
    "<div>a <span style=\"float:left;visibility:hidden\">b</span> c</div><pre>a <span style=float:left>b"
    "</span> c</pre>",
    "<style>.a{position:absolute}.f{position:fixed}.r{position:relative}.s{position:sticky}"
    ".c{float:left;display:contents}.ib{display:inline-block;float:right}.n{float:left;float:none}</style>"
    "<p>a <span class=a> b </span> c<p>a <span class=f>b</span> c<p>a <span class=r>b</span> c<p>a <span "
    "class=s>b</span> c<p>a <span class=c>b</span> c<p>a <span class=ib>b</span> c<p>a <span class=n>b</span>"
    " c<p>a <img style=display:block> b<p><b>a </b><span class=a>b</span><b> c</b>",
    // Flex and grid items are blocks, and so is a run of text among them.
    "<div style=display:flex>a<span>b</span><span>c</span> d <b>e</b></div><div style=display:inline-flex>"
    "a<span>b</span>c</div>x<div style=display:grid> a <span> b </span> c </div><div style=\"display:block "
    "flex\"><span style=display:contents>f<b>g</b></span>h</div><div style=display:flex><p>i</p><span>j"
    "</span><br><span>k</span><span style=float:left>l</span></div><span style=display:flex>m<b>n</b></span>"
    "o<span style=\"display:inline grid\">p<i>q</i></span>r",
    "<style>.log{display:flex;flex-direction:column}.log .stale{display:none}</style><div class=log>"
    "<span>Jan  1 00:00:01 pppd: link up</span><span class=stale>WAN IP is 198.51.100.1</span> <span>WAN "
    "IP is 203.0.113.7</span></div>",
    // Tables by display: cells apart by tabs, rows by line breaks, the
    // browser's own rows and tables around parts without theirs.
    "<div style=display:table><div style=display:table-row><span style=display:table-cell>a</span><span "
    "style=display:table-cell>b</span></div><div style=display:table-row><span style=display:table-cell>c"
    "</span><span style=display:table-cell>d</span></div></div>x<div><span style=display:table-cell>e</span>"
    " <span style=display:table-cell>f</span></div><div><span style=display:table-row>g</span><span "
    "style=display:table-row>h</span></div>y<span style=display:table>i</span>z<span "
    "style=display:inline-table>j</span>k<div style=display:table-cell>l</div>m<div "
    "style=display:table-cell>n</div>",
    "<table><tr style=display:block><td>a<td>b</tr><tr><td>c<td>d</table>x<table><tr><td "
    "style=display:block>e<td>f<td style=display:inline>g<td>h</table>y<table><tr><td>i<td "
    "style=display:block>j</table><table style=display:block><tr><td>k<td>l<tr><td>m</table><table><tbody "
    "style=display:block><tr><td>n<td>o<tr><td>p</tbody></table><div style=display:table-row-group><div "
    "style=display:table-row><div style=display:table-cell>q</div><div style=display:table-cell>r</div>"
    "</div><div style=display:table-row><div style=display:table-cell>s</div></div></div>t<table><tr><td>u"
    "<td style=display:table-row>v<td>w</table><ul style=display:table><li style=display:table-cell>1<li "
    "style=display:table-cell>2</ul><div style=display:table><div style=display:table-row><div "
    "style=display:table-cell>3</div>4<div style=display:table-cell>5</div></div></div>",
    "<style>.log{display:table}.log p{display:table-row;margin:0}.log span{display:table-cell}"
    ".log .old{display:none}</style><div class=log><p class=old><span>00:01</span><span>WAN IP is "
    "198.51.100.1</span><p><span>00:02</span><span>WAN IP is 203.0.113.7</span><p><span>00:03</span>"
    "<span>up</span></div>",
    "<style>label{float:left;width:8em}</style><div><label>Status</label> up</div><div><label>WAN IP is"
    "</label> 203.0.113.7</div><div>WAN IP is <span style=float:right>198.51.100.1</span></div>",
    // Case by the language: Turkish and Azeri i, Lithuanian dots, Greek
    // capitals without accents, the full mappings elsewhere.
    "<style>.u{text-transform:uppercase}.l{text-transform:lowercase}.c{text-transform:capitalize}</style>"
    "<p lang=tr class=u>wan ip is i \xc4\xb1<p lang=tr class=l>WAN IP IS I \xc4\xb0<p lang=az class=u>i"
    "<p lang=TR-tr class=u>i<p class=u>i \xc4\xb1<p lang=tur class=u>i<div lang=tr><p class=l>WAN IP is "
    "203.0.113.7</p><p lang=en class=l>IX</p><p lang=\"\" class=l>IY</p></div><p class=u>stra\xc3\x9f"
    "e \xc5\x89 \xc7\xb0 \xef\xac\x81 \xce\x90<p class=l>\xce\x9f\xce\x94\xce\x9f\xce\xa3 \xce\xa3 "
    "\xc4\xb0<p lang=el class=u>\xce\xac\xce\xbb\xcf\x86\xce\xb1 \xce\x90 \xcf\x8c\xce\xbb\xce\xb1<p "
    "lang=el class=l>\xce\x9f\xce\x94\xce\x9f\xce\xa3<p lang=lt class=l>\xc3\x8c I J \xc4\xae<p lang=lt "
    "class=u>i\xcc\x87\xcc\x80 i\xcc\x87<p lang=tr class=c>istanbul \xc4\xb1l\xc4\xb1k<p class=c>"
    "\xc7\x86"
    "emal \xc3\x9f \xef\xac\x81sh",
    "<html lang=tr><body style=text-transform:uppercase>i<span lang=en>i</span><p style=text-transform:"
    "lowercase>WAN IP IS 203.0.113.7</p></body></html>",
    // Out of the flow inside flex containers, tables and list items; controls as flex items.
    "<div style=display:flex><span style=position:absolute>a</span> b <span "
    "style=visibility:hidden>c</span>d</div>",
    "<div style=display:flex>a <span style=position:absolute>b</span> c</div>",
    "<table><tr><td>a<td style=float:left>b<td>c</table>",
    "<div style=\"display:flex;text-transform:uppercase\" lang=tr>i<b style=position:fixed>i</b></div>",
    "<p>a <img style=float:left> b<p>a <img style=position:absolute> b",
    "<div style=display:flex><button>x</button><select><option>y</select>z</div>",
    "<ul><li style=float:left>a<li style=float:left>b</ul>c",
    "<div>a <span style=float:left>b</span><span style=float:left>c</span> d</div>",
    "<div style=display:flex>  <!-- x -->  a<!-- y -->b  </div>",
    // Tables by display: rows and cells the browser makes, captions, columns, hidden groups.
    "<div style=display:grid><table><tr><td>a<td>b</table>c</div>",
    "<span style=float:left><span style=display:table-cell>a</span><span "
    "style=display:table-cell>b</span></span>",
    "<div style=display:table><span style=display:table-cell>a</span><span "
    "style=display:table-cell>b</span><div style=display:table-row><span "
    "style=display:table-cell>c</span></div></div>x",
    "<div style=display:table-row>a</div><div style=display:table-row>b</div>c",
    "<table><tr><td>a</td><td style=display:none>b</td></tr><tr "
    "style=display:table-cell><td>c</td></tr></table>",
    "<div style=display:inline-table><span style=display:table-cell>a</span><span "
    "style=display:table-cell>b</span></div>c",
    "<style>.l{display:table-row-group}</style><table><tbody "
    "class=l><tr><td>a</tbody><tbody><tr><td>b</tbody></table>",
    "<div style=display:table><div style=display:table-row>a</div><div>b</div></div>c<div "
    "style=display:table><div style=display:table-row>d</div><div style=display:table-caption>e</div></div>",
    "<table><colgroup><col></colgroup><tr><td>a<tr><td>b</table><table><tr><td>c</tr><caption>d</caption></"
    "table>",
    "<table><tbody><tr><td>a</tbody><tbody style=display:none><tr><td>b</tbody></table>x",
    "<meta http-equiv=Content-Language content=tr><p style=text-transform:uppercase>i<p lang=en "
    "style=text-transform:uppercase>i",
    // :has(), each relation, and :not() of it.
    "<style>tr:has(.stale){display:none} div:has(> .old){display:none} h3:has(+ p.x){display:none}"
    "b:has(~ i){display:none} li:not(:has(a)){display:none} section:has(.a .b){display:none}"
    "em:has(+ s ~ u){display:none} span:has(> q > .c){display:none}</style>"
    "<table><tr><td><b class=stale>WAN IP is 198.51.100.1</b><tr><td>WAN IP is 203.0.113.7</table>"
    "<div><p class=old>1</div><div><p><span class=old>2</span></div><h3>3</h3><p class=x>4<h3>5</h3><p>6"
    "<b>7</b><s></s><i>8</i><b>9</b><ul><li><a>10</a><li>11</ul><section class=a><p class=b>12</section>"
    "<div class=a><section><p class=b>13</section></div><em>14</em><s></s><u></u><em>15</em><u></u>"
    "<span><q><b class=c>16</b></q></span><span><q><i><b class=c>17</b></i></q></span>",
    // Of a type: the positions count only the siblings of the element's own name.
    "<style>p:first-of-type{display:none} p:last-of-type{visibility:hidden} b:only-of-type{display:none}"
    "li:nth-of-type(2n){display:none} li:nth-last-of-type(1){text-transform:uppercase}"
    "i:nth-of-type(2 of .x){display:none}</style><div><span>a</span><p>b<p>c<p>d</div>"
    "<div><b>e</b><i>f</i></div><div><b>g</b><b>h</b></div><ol><li>i<li>j<li>k<li>l</ol><i class=x>m</i>",
    // A component framework hides its elements until its script defines them.
    "<style>x-log:not(:defined){display:none} :defined.k{display:none} log-line:defined{display:none}"
    "</style><x-log>WAN IP is 198.51.100.1</x-log><p>WAN IP is 203.0.113.7<foo class=k>1</foo>"
    "<font-face class=k>2</font-face><log-line>3</log-line><a-b.c>4</a-b.c><svg><x-y class=k>5</x-y></svg>",
    // A tab strip driven by radio buttons: only the checked tab's panel is shown.
    "<style>.panel{display:none} #wan:checked ~ .wan, #lan:checked ~ .lan{display:block}"
    "input:checked + label{text-transform:uppercase} option:checked{display:none}</style>"
    "<input type=radio name=tab id=lan checked><label>lan</label><input type=radio name=tab id=wan checked>"
    "<label>wan</label><div class='panel lan'>WAN IP is 198.51.100.1</div>"
    "<div class='panel wan'>WAN IP is 203.0.113.7</div><input type=checkbox checked><label>box</label>"
    "<input type=text checked><label>text</label><form><input type=radio name=tab checked><label>own</label>"
    "</form>",
    // Which options a select shows as chosen, seen through the select.
    "<style>select:has(.s:checked) + b{display:none}</style>"
    "<select><option class=s>a<option>b</select><b>1</b><select><option selected class=s>c<option selected>d"
    "</select><b>2</b><select><option disabled class=s>e<option>f</select><b>3</b><select multiple><option>g"
    "<option selected class=s>h<option selected>i</select><b>4</b><select size=3><option class=s>j</select>"
    "<b>5</b><select><optgroup label=g><option class=s>k</optgroup></select><b>6</b>",
    // Controls disabled, by themselves or by a fieldset, but its first legend.
    "<style>:disabled + span{display:none} :enabled + b{display:none} select:has(:disabled) + i{display:none}"
    "</style><input disabled><span>1</span><input><span>2</span><button disabled></button><b>3"
    "</b><fieldset disabled><legend><input><span>4</span></legend><legend><input><span>5</span></legend>"
    "<button></button><span>6</span></fieldset><div disabled></div><span>7</span><a href=x></a><b>8</b>"
    "<select disabled><option>o</select><i>9</i><select><optgroup label=g disabled><option>p</optgroup>"
    "<option>q</select><i>10</i><select><option>r<option>s</select><i>11</i>",
    // A placeholder is shown while the control is empty.
    "<style>:placeholder-shown + i{display:none}</style><input placeholder=x><i>1</i>"
    "<input placeholder=x value=v><i>2</i><input placeholder=''><i>3</i><input type=checkbox "
    "placeholder=x><i>4</i><input type=number placeholder=x><i>5</i><input type=date placeholder=x><i>6</i>"
    "<input type=search placeholder=x><i>7</i><textarea placeholder=x>t</textarea><i>8</i>"
    "<input type=nosuch placeholder=x><i>9</i><input><i>10</i><div placeholder=x></div><i>11</i>",
    // Languages: inherited, a prefix of subtags, no wildcard.
    "<!DOCTYPE html><html lang=en-US><style>:lang(fr){display:none} :lang(en-us).a{display:none}"
    ":lang(\\*-CH){display:none} p:not(:lang(en)){text-transform:uppercase} :lang(de-ch){visibility:hidden}"
    "</style><p>WAN IP is 203.0.113.7<div lang=fr><p>WAN IP is 198.51.100.1<p lang=''>b</div>"
    "<p class=a>c<p lang=EN>d<p lang=de-CH>e<p lang=de-Latn-CH>f<p lang=english>g",
    // Forgiving :is() and :where(), :not() of complex selectors, and "of S".
    "<style>:is(.a, ..b){display:none} :where(.c, ::before){display:none} .d:not(div .e){display:none}"
    ".f:not(.g, ..h){display:none} li:nth-child(odd of .i .j, .k){display:none} :is(){display:none}"
    ":where(){color:red} .l:is(:not(.m)){display:none} :is(div > .n){display:none}</style>"
    "<p class=a>1<p class=c>2<div><p class=d>3</div><p class=d>4<p class=f>5"
    "<ul class=i><li class=j>6<li class=j>7<li class=k>8</ul><p class=l>9<p class='l m'>10"
    "<div><p class=n>11</div><p class=n>12",
    // Lists that name a vendor's pseudo-element or pseudo-class: the -webkit- ones are kept.
    "<style>.a, ::-webkit-scrollbar{display:none} .b, ::-moz-selection{display:none}"
    ".c, :-moz-focusring{display:none} .d, ::-webkit-input-placeholder{display:none}"
    ".e, ::-webkit-scrollbar-thumb:hover{display:none} .f, :-ms-input-placeholder{display:none}"
    ".g, ::-webkit-nosuch{display:none} .h, :-webkit-scrollbar{display:none} .i, :-webkit-autofill"
    "{display:none} .j, :-webkit-any-link{display:none} .k, ::-webkit-full-page-media{display:none}"
    ".l, ::-webkit-scrollbar:horizontal{display:none} .m, :is(::-webkit-scrollbar){display:none}"
    ".n, ::placeholder{display:none} .o, :has(::before){display:none} .p, :has(:has(q)){display:none}"
    ".q, :lang(en, fr){display:none} .r, :nth-of-type(1 of s){display:none}</style>"
    "<p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f<p class=g>g<p class=h>h"
    "<p class=i>i<p class=j>j<p class=k>k<p class=l>l<p class=m>m<p class=n>n<p class=o>o<p class=p>p"
    "<p class=q>q<p class=r>r",
    // Specificity: :is() and :not() take their most specific argument, :where() none.
    "<style>p:is(#x, .y){display:none} p.y.z{display:block} :where(#w){display:none} .w{display:block}"
    "p:not(#n){display:none} p.v.u{display:block} .s:nth-child(n of #t){display:none} .s.r.q{display:block}"
    "p:has(#h){display:none} .h.g.f{display:block}</style><p id=x class='y z'>1<p id=w class=w>2"
    "<p class='v u'>3<p id=t class='s r q'>4<p class='h g f'><b id=h>5</b>",
    // The screen's media features as the browser answers them.
    "<style>@media (device-width:1024px){.a{display:none}} @media (device-height:768px){.b{display:none}}"
    "@media (min-device-width:1025px){.c{display:none}} @media (scripting:enabled){.d{display:none}}"
    "@media (scripting:none){.e{display:none}} @media (prefers-color-scheme:light){.f{display:none}}"
    "@media (prefers-color-scheme:dark){.g{display:none}} @media (prefers-reduced-motion){.h{display:none}}"
    "@media (prefers-reduced-motion:no-preference){.i{display:none}} @media (forced-colors){.j{display:none}}"
    "@media (forced-colors:none){.k{display:none}} @media (resolution:1dppx){.l{display:none}}"
    "@media (min-resolution:2x){.m{display:none}} @media (max-resolution:96dpi){.n{display:none}}"
    "@media (min-resolution:38dpcm){.o{display:none}} @media (update:fast){.p{display:none}}"
    "@media (update){.q{display:none}} @media (hover:hover){.r{display:none}} @media (hover:none)"
    "{.s{display:none}} @media (pointer:fine){.t{display:none}} @media (any-pointer:none){.u{display:none}}"
    "@media (any-hover){.v{display:none}} @media (display-mode:browser){.w{display:none}}"
    "@media (display-mode:standalone){.x{display:none}} @media (pointer){.y{display:none}}</style>"
    "<p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f<p class=g>g<p class=h>h"
    "<p class=i>i<p class=j>j<p class=k>k<p class=l>l<p class=m>m<p class=n>n<p class=o>o<p class=p>p"
    "<p class=q>q<p class=r>r<p class=s>s<p class=t>t<p class=u>u<p class=v>v<p class=w>w<p class=x>x"
    "<p class=y>y<p>z",
    // calc() and ranges in queries, over the screen's features too.
    "<style>@media (width:calc(1000px + 24px)){.a{display:none}} @media (min-width:calc(100px*2))"
    "{.b{display:none}} @media (max-width:calc(50em)){.c{display:none}} @media (calc(1000px) < width)"
    "{.d{display:none}} @media (min-width:calc(2000px - 100%)){.e{display:none}} @media (1000px < "
    "device-width < 1100px){.f{display:none}} @media (device-height >= 769px){.g{display:none}}"
    "@media (0.5dppx < resolution < 2dppx){.h{display:none}} @media (resolution >= calc(2dppx))"
    "{.i{display:none}} @media (device-aspect-ratio:4/3){.j{display:none}} @media (min-width:calc(1px + "
    "1em)) and (scripting){.k{display:none}} @media (resolution:1){.l{display:none}} @media not "
    "(hover:hover){.m{display:none}} @media (monochrome:0){.n{display:none}} @media (color-gamut:srgb)"
    "{.o{display:none}}</style><p class=a>a<p class=b>b<p class=c>c<p class=d>d<p class=e>e<p class=f>f"
    "<p class=g>g<p class=h>h<p class=i>i<p class=j>j<p class=k>k<p class=l>l<p class=m>m<p class=n>n"
    "<p class=o>o<p>p",
    // Rules nested in a style rule: with & and without, relative, after
    // declarations and before them, in group rules; & counts as the most
    // specific of its parent's selectors, a later block as the parent.
    "<style>.log{.stale{display:none} & > .old{display:none} > p.gone{display:none} .box &{display:none}"
    "@media screen{.m{display:none}} @media print{.cur{display:none}} &.x{display:none} b:first-child"
    "{display:none} color:red; .q{x:y} visibility:visible} .tail{.zz{} display:none} .o{@supports "
    "(display:grid){display:none}} .specific{.q{display:none}} div.q{display:block} #i, .i{.zz{} display:none}"
    ".w .i{display:block} .broken{.a; display:none} .bad:nosuch{.x{display:none}}</style>"
    "<div class=log><p class=stale>WAN IP is 198.51.100.1<p class=old>WAN IP is 198.51.100.2<p class=gone>"
    "WAN IP is 198.51.100.3<p class=m>WAN IP is 198.51.100.4<p><b>WAN IP is 198.51.100.9</b> up<p class=cur>"
    "WAN IP is 203.0.113.7</div><div class=box><div class=log>WAN IP is 198.51.100.5</div></div><div "
    "class='log x'>WAN IP is 198.51.100.6</div><p class=tail>WAN IP is 198.51.100.10<p class=o>WAN IP is "
    "198.51.100.11<div class=specific><div class=q>WAN IP is 198.51.100.7</div></div><div class=w><p id=i>WAN "
    "IP is 198.51.100.8<p class=i>WAN IP is 203.0.113.8</div><p class=broken>WAN IP is 198.51.100.12<div "
    "class=bad><p class=x>WAN IP is 203.0.113.9</div>",
    // Layers: order fixed by a statement, later beats earlier and none
    // beats all for normal declarations, the reverse for important ones.
    "<style>@layer base, top; @layer top{.a{display:none}} @layer base{.a{display:block} .b{display:none"
    "!important}} @layer top{.b{display:block!important} .c{display:none!important}} .c{display:block"
    "!important} .d{display:block} @layer top{#d.d{display:none}} @layer{.e{display:none}} .e{display:block}"
    "@layer top.inner{.f{display:block}} @layer top{.f{display:none}} @layer x.y{.g{display:none}} @LAYER a,"
    "{.h{display:none}} @layer top.inner{.i{display:none!important}} @layer top{.i{display:block!important}}"
    "</style><p class=a>WAN IP is 198.51.100.1<p class=b>WAN IP is 198.51.100.2<p class=c>WAN IP is "
    "198.51.100.3<p class=d id=d>WAN IP is 203.0.113.1<p class=e>WAN IP is 203.0.113.2<p class=f>WAN IP is "
    "198.51.100.4<p class=g>WAN IP is 198.51.100.5<p class=h>WAN IP is 203.0.113.3<p class=i>WAN IP is "
    "198.51.100.6",
    // @supports: declarations, not/and/or, selector(), what is unknown.
    "<style>@supports (display:grid){.a{display:none}} @supports not (display:grid){.b{display:none}}"
    "@supports (display:flex) and (position:sticky){.c{display:none}} @supports (colour:red) or "
    "(display:block){.d{display:none}} @supports selector(p > .x){.e{display:none}} @supports "
    "selector(p:nosuch){.f{display:none}} @supports foo(bar){.g{display:none}} @supports not foo(bar)"
    "{.h{display:none}} @supports (--x: y){.i{display:none}} @supports display:grid{.j{display:none}}"
    "@supports (display:grid) and (display:flex) or (display:block){.k{display:none}} @supports "
    "((display:grid) or (display:nonsense)){.l{display:none}} @supports (display:nonsense){.m{display:none}}"
    "</style><p class=a>WAN IP is 198.51.100.1<p class=b>WAN IP is 203.0.113.1<p class=c>WAN IP is "
    "198.51.100.2<p class=d>WAN IP is 198.51.100.3<p class=e>WAN IP is 198.51.100.4<p class=f>WAN IP is "
    "203.0.113.2<p class=g>WAN IP is 203.0.113.3<p class=h>WAN IP is 198.51.100.5<p class=i>WAN IP is "
    "198.51.100.6<p class=j>WAN IP is 203.0.113.4<p class=k>WAN IP is 203.0.113.5<p class=l>WAN IP is "
    "198.51.100.7<p class=m>WAN IP is 203.0.113.6",
    // @scope with a limit and :scope; @container where nothing is a container.
    "<style>@scope (.log) to (.keep){.stale{display:none} :scope > .old{display:none} .log{display:none}}"
    "@scope (.card){& .x{display:none}} @container (min-width:1px){.c{display:none}} @container not "
    "(min-width:1px){.d{display:none}} @container box (width > 0){.e{display:none}} @container not "
    "style(--z: q){.f{display:none}} @container (width > 0) or not style(--z: q){.g{display:none}}</style><div class=log>"
    "<p class=stale>WAN IP is 198.51.100.1<p class=old>WAN IP is 198.51.100.2<div class=keep><p "
    "class=stale>WAN IP is 203.0.113.1</div></div><div class=card><p class=x>WAN IP is 198.51.100.3</div>"
    "<p class=x>WAN IP is 203.0.113.2<p class=c>WAN IP is 203.0.113.3<p class=d>WAN IP is 203.0.113.4<p "
    "class=e>WAN IP is 203.0.113.5<p class=f>WAN IP is 198.51.100.4<p class=g>WAN IP is 203.0.113.6",
    // Style sets: the first title met, or a Default-Style met before it,
    // is the preferred set; sheets without a title always apply.
    "<style>.a{display:none}</style><style title=one>.b{display:none}</style><style title=two>.c{display:"
    "none}</style><style title=\"\">.d{display:none}</style><p class=a>WAN IP is 198.51.100.1<p class=b>WAN "
    "IP is 198.51.100.2<p class=d>WAN IP is 198.51.100.3<p class=c>WAN IP is 203.0.113.7",
    "<meta http-equiv=Default-Style content=two><style title=one>.b{display:none}</style><style title=two>"
    ".c{display:none}</style><p class=c>WAN IP is 198.51.100.1<p class=b>WAN IP is 203.0.113.7",
    "<style title=one media=print>.b{display:none}</style><meta http-equiv=default-style content=two><style "
    "title=two>.c{display:none}</style><style title=ONE>.d{display:none}</style><style>.e{display:none}"
    "</style><p class=e>WAN IP is 198.51.100.1<p class=c>WAN IP is 203.0.113.7<p class=d>d<p class=b>b",
    "<meta http-equiv=Default-Style content=\" two \"><style title=two>.c{display:none}</style><style>.e"
    "{display:none}</style><p class=e>WAN IP is 198.51.100.1<p class=c>WAN IP is 203.0.113.7",
    // Custom properties: a stale line hidden through var(), from the root
    // down, a style attribute's own, and names that differ only in case.
    "<style>:root{--stale:none} .old{display:var(--stale)} .x{display:VAR( --stale )} "
    ".y{display:var(--Stale)}"
    "</style><p class=old>WAN IP is 198.51.100.1<p>WAN IP is 203.0.113.7<p class=x>x<div class=y>y</div>"
    "<div style=\"--gone:none\"><span style=\"display:var(--gone)\">a</span>b</div><i "
    "style=display:var(--gone)>c</i>",
    // Fallbacks: missing, nested, and a fallback of none beside a value.
    "<style>.a{display:var(--missing, none)} .b{display:var(--m1, var(--m2, none))} .c{--s:block;"
    "display:var(--s, none)} .d{display:var(--missing)} .e{visibility:var(--m, hidden)} .f{--w:pre;"
    "white-space:var(--w)} .g{text-transform:var(--t, uppercase)} .h{display:var(--m,)}</style>"
    "<div class=a>a</div><div class=b>b</div><span class=c>c</span><div class=d>d</div>x<span "
    "class=e>e</span>"
    "<div class=f>f   f</div><div class=g>g</div><div class=h>h</div>i",
    // Inherited: the nearest ancestor's value, declared where it applies.
    "<style>.box{--v:hidden} .box .in{--v:visible} .box span{visibility:var(--v)} .log{--d:none}"
    ".log .t{display:var(--d)} .late{display:var(--later)} .late b{--later:none}</style>"
    "<div class=box><span>1</span><div class=in><span>2</span></div></div><div class=log><p><b class=t>00:01"
    "</b> WAN IP is 203.0.113.7</div><div class=late>3<b>4</b></div><b class=t>5</b>",
    // Invalid at computed-value time: inherited properties inherit, others
    // take their initial value, and the declaration before it is lost.
    "<style>.v{visibility:hidden} .v span{--x:block; visibility:var(--x)} div.i{--y:hidden; display:var(--y)}"
    ".n{display:none; display:var(--z)} .p{--q:no; --r:ne; display:var(--q)var(--r)} "
    ".u{text-transform:uppercase}"
    ".u b{--k:42; text-transform:var(--k)} .s{display:var(--s2)} .s2{--s2:inline flex; display:var(--s2)}"
    "</style><div class=v>a<span>b</span></div><div class=i>c</div>d<div class=n>e</div><div class=p>f</div>"
    "<div class=u>g<b>h</b></div><div class=s2>i</div>j",
    // Cycles make every custom property in them invalid; others stay.
    "<style>.c{--a:var(--b); --b:var(--a); display:var(--a, none)} .s{--self:var(--self, block);"
    "display:var(--self, none)} .f{--a2:var(--b2, none); --b2:var(--a2, block); display:var(--a2, block)}"
    ".o{--ok:none; --uses:var(--ok); --c1:var(--c2); --c2:var(--c1); display:var(--uses)}</style>"
    "<div class=c>1</div><div class=s>2</div><div class=f>3</div><div class=o>4</div>5",
    // Which custom property wins: important, specificity, order, the style
    // attribute on top; the empty value; custom properties on the root.
    "<style>.a{--h:none !important} .a{--h:block} #b{--h:none} .b{--h:block} .c{--h:block} .c{--h:none}"
    ".d{--h:none !important} html{--r:none} .e{--e:; display:var(--e) none} div{display:var(--h)}"
    ".r{display:var(--r)}</style><div class=a>1</div><div id=b class=b>2</div><div class=c>3</div>"
    "<div class=c style=--h:block>4</div><div class=d style=--h:block>5</div><span class=e>6</span>"
    "<span class=r>7</span>8",
    // The CSS-wide keywords for every property, and all.
    "<style>.h{display:none} .h.u{all:unset} .vh{visibility:hidden} .vh .i{all:initial} .vh .n{all:inherit}"
    "div.r{all:revert} .t{text-transform:uppercase; white-space:pre} .t .u{all:unset} .cv{content-visibility:"
    "hidden} .cv.i{content-visibility:initial} .cv.rl{content-visibility:revert-layer} .w{white-space:pre}"
    ".w .l{white-space:revert-layer} .a{--all:unset} .h.a{all:var(--all)} p.d{display:initial}"
    ".x{all:unset bogus}</style>"
    "<div class='h u'>1</div><div class=vh>2<span class=i>3</span><span class=n>4</span></div>"
    "<div class=r style=\"display:inline\">5</div><div class=t>a  b<span class=u>c  d</span></div>"
    "<p class='cv i'>6<p class='cv rl'>7<div class=w>e  f<span class=l>g  h</span></div>"
    "<span class='h a'>8</span><p class=d>9<span class='h x'>10</span>",
    // Inherited on purpose: a control's transform from its parent, a cell's
    // content-visibility from its row, whose own is never skipped.
    "<style>.t{text-transform:uppercase} .t button{text-transform:inherit}"
    ".t select{text-transform:inherit} .t option{text-transform:inherit} .t textarea{text-transform:inherit}"
    "tr.cv{content-visibility:hidden} tr.cv td{content-visibility:inherit} .w{white-space:pre}"
    ".w span{white-space:unset} .w b{white-space:initial}</style><div class=t>a <button>go</button> "
    "<select><option>opt</select><select><option>q</select> <textarea>ta</textarea></div><table><tr "
    "class=cv><td>1<td>2<tr><td>3<td>4</table>"
    "<div class=w>x  y<span>z  z</span><b>w  w</b></div>",
    // var() in the style attribute, beside the sheets' and over them, in
    // every property, and a value that fills in to two words or to none.
    "<style>:root{--n:none; --two:inline flow-root; --ws:pre-line; --tt:capitalize} .s{display:var(--n)}"
    ".i{display:var(--n) !important}</style><div class=s style=display:block>1</div>"
    "<div class=i style=display:block>2</div><div style=\"display:var(--two)\">3</div>4"
    "<div style=\"white-space-collapse:var(--ws)\">5   5\n5</div><div style=\"text-transform:var(--tt)\">six "
    "ix</div>"
    "<div style=\"content-visibility:var(--h, hidden)\">7</div><span style=\"visibility:var(--vv, "
    "collapse)\">8</span>"
    "<div style=\"--n:block\"><div class=s>9</div></div><div style=\"display:var(--n\">10</div>11",
    // The CSS-wide keywords as a custom property's value, and all, which
    // leaves custom properties alone.
    "<style>:root{--h:none} .i{--h:initial} .n{--h:inherit} .u{--h:UNSET} .r{--h:revert} .k{--h:block}"
    ".k .n2{--h:inherit} span{display:var(--h, block)} .a{all:initial}</style><div class=i><span>1</span>"
    "</div><div class=n><span>2</span></div><div class=u><span>3</span></div><div class=r><span>4</span>"
    "</div><div class=k><b class=n2><span>5</span></b></div><div class=a><span>6</span></div>7",
    // Declarations dropped as they are read: var() not of its form, and a
    // custom property holding one; spaces and case of the name.
    "<style>.a{display:none} .a{display:var(x)} .b{display:none} .b{display:var(--q) junk(} .c{--bad:var(y);"
    "display:var(--bad, none)} .d{--D:block; display:var(--d, none)} .e{-- x:none; display:var(--x, block)}"
    ".f{--f :none; display:var(--f)}</style><div class=a>1</div><div class=b>2</div><div class=c>3</div>"
    "<div class=d>4</div><div class=e>5</div><div class=f>6</div>7",
    // A nested rule that starts with a name ends at its block: what follows
    // it is a declaration of the outer rule.
    "<style>p.n{color:red; span {color:blue} display:none}</style><p class=n>WAN IP is 198.51.100.1</p><p>b",
};

// Encoding labels, each in the header and in a meta element. The text is
// ASCII, so a label the browser passes over leaves it as it stands, and any
// decoder it wrongly applies shows.
const char* const kLabelsNamed[] = {
    "utf-7",      "UTF-32",          "utf-32le", "cp037",    "IBM037",      "ebcdic-cp-us",    "iso-2022-kr",
    "hz-gb-2312", "x-no-such-thing", " Latin1 ", "utf-16be", "iso-8859-16", "x-mac-ukrainian", "ksc5601",
};
const char kLabelledText[] = "<p>WAN IP is +ADEAMgAz-.4.5.6 and <b>203.0.113.7</b></p>";

QByteArray highBytesPage()
{
    QByteArray page = "<p>";
    for (int b = 0x80; b <= 0xFF; ++b)
        page.append(char(b)).append(b % 16 == 15 ? "<br>" : " ");
    return page;
}

// Pages whose bytes tell which decoder read them, and pages where a later
// source of the charset must be used once an earlier one is passed over.
const GeneratedPage kCharsetPages[] = {
    {"x-user-defined header", "text/html; charset=x-user-defined", "<p>a\x80\xc3\xa9\xff</p>"},
    {"x-user-defined meta", "text/html", "<meta charset=x-user-defined><p>a\x80\xc3\xa9\xff</p>"},
    {"utf-7 header, koi8-r meta", "text/html; charset=utf-7", "<meta charset=koi8-r><p>\xc1\xc2</p>"},
    {"cp037 meta, then windows-1251 meta", "text/html",
     "<meta charset=cp037><meta charset=windows-1251><p>\xe0\xe1</p>"},
    {"replacement header, empty page", "text/html; charset=iso-2022-cn", ""},
    // Multi-byte encodings, with characters of the extensions browsers read.
    {"GBK", "text/html; charset=gbk", "<p>\xb8\xf4\xd3\xc9\xc6\xf7 \x80 \x81\x40</p>"},
    {"gb18030", "text/html; charset=gb18030",
     "<p>\xc2\xb7\xd3\xc9\xc6\xf7 \xa2\xe3 \x81\x35\xf4\x37 \x95\x32\x82\x36</p>"},
    {"Big5", "text/html; charset=big5", "<p>\xb8\xf4\xa5\xd1\xbe\xb9 \xa3\x74 \x9d\xef \xf9\xfe</p>"},
    {"EUC-JP", "text/html; charset=euc-jp", "<p>\xa5\xeb\xa1\xbc\xa5\xbf\xa1\xbc \xad\xa1</p>"},
    {"ISO-2022-JP", "text/html; charset=iso-2022-jp", "<p>\x1b$B%k!<%?!<\x1b(B \x1b$BF|K\\\x1b(B</p>"},
    {"Shift_JIS", "text/html; charset=shift_jis",
     "<p>\x83\x8b\x81\x5b\x83\x5e\x81\x5b \x87\x40 \xee\xe0 \x81\x60</p>"},
    {"EUC-KR", "text/html; charset=euc-kr", "<p>\xb6\xf3\xbf\xec\xc5\xcd \x8c\x63 \xb6\xcb</p>"},
};

// Our decoder of each single-byte encoding against the browser's.
const char* const kSingleByteEncodings[] = {
    "IBM866",       "ISO-8859-2",   "ISO-8859-3",   "ISO-8859-4",     "ISO-8859-5",     "ISO-8859-6",
    "ISO-8859-7",   "ISO-8859-8",   "ISO-8859-8-I", "ISO-8859-10",    "ISO-8859-13",    "ISO-8859-14",
    "ISO-8859-15",  "ISO-8859-16",  "KOI8-R",       "KOI8-U",         "macintosh",      "windows-874",
    "windows-1250", "windows-1251", "windows-1252", "windows-1253",   "windows-1254",   "windows-1255",
    "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic", "x-user-defined",
};

// Sheets built to cost: many rules, long chains of descendant selectors
// over a deep tree, a long selector list, blocks left open. Their text
// must still be the browser's.
QList<GeneratedPage> hostileSheetPages()
{
    QList<GeneratedPage> pages;
    QByteArray manyRules = "<style>";
    for (int i = 0; i < 100'000; ++i)
        manyRules += ".c" + QByteArray::number(i) + (i % 3 ? "{color:red}" : "{display:none}");
    manyRules += "</style><p class=c99999>kept<p class=c99998>hidden<p class=c0>hidden<p class=c1>kept";
    pages.append({QStringLiteral("100,000 rules"), "text/html", manyRules});

    QByteArray chain = "<style>";
    for (int i = 0; i < 40; ++i)
        chain += "div ";
    chain += "span{display:none} ";
    for (int i = 0; i < 20; ++i)
        chain += "div > ";
    chain += "b{display:none}</style>" + QByteArray("<div>").repeated(1000) + "<i>deep</i><b>bold</b>" +
             QByteArray("</div>").repeated(1000) + QByteArray("<div>").repeated(30) + "<span>s</span>" +
             QByteArray("</div>").repeated(30);
    pages.append({QStringLiteral("descendant chains over 1000 nested divs"), "text/html", chain});

    QByteArray list = "<style>";
    for (int i = 0; i < 20'000; ++i)
        list += (i ? ",.a" : ".a") + QByteArray::number(i) + (i % 2 ? ":nth-child(2n+1)" : " > b");
    list += "{display:none}</style><p class=a19999>odd<p class=a19999>even<p class=a19998><b>b</b>c";
    pages.append({QStringLiteral("a list of 20,000 selectors"), "text/html", list});

    QByteArray nested = "<style>" + QByteArray("@media screen{").repeated(12) + ".m{display:none}" +
                        QByteArray("}").repeated(12) + ".n{display:none}" + QByteArray("(").repeated(10'000) +
                        "}.o{display:none}</style><p class=m>m<p class=n>n<p class=o>o";
    pages.append({QStringLiteral("nested media and an unclosed block"), "text/html", nested});

    // Out-of-flow boxes: many after spaces on one line, whose text waits for
    // the line to go on, and floats nested deep.
    const QByteArray manyFloats = "<p>a " + QByteArray("<b style=float:left>f</b> ").repeated(2000) + "z";
    pages.append({QStringLiteral("2000 floats on one line"), "text/html", manyFloats});
    const QByteArray deepFloats =
        QByteArray("x<i style=float:left>").repeated(200) + "y" + QByteArray("</i>z").repeated(200);
    pages.append({QStringLiteral("floats nested 200 deep"), "text/html", deepFloats});
    // A browser applies the selectors of a list that start within its
    // first 8192 simple selectors, however long the list.
    QByteArray longList = "<style>";
    for (int i = 0; i < 100'000; ++i)
        longList += (i ? ",.c" : ".c") + QByteArray::number(i);
    longList += "{display:none}" + QByteArray(":is(").repeated(200) + ".deep" + QByteArray(")").repeated(200) +
                "{display:none}</style><p class=c0>a<p class=c8191>b<p class=c8192>c<p class=c99999>d"
                "<p class=deep>e<p>f";
    pages.append({QStringLiteral("a list of 100,000 selectors, and :is() 200 deep"), "text/html", longList});
    // Deeper than our old limit, as Chromium applies them.
    QByteArray deep = "<style>" + QByteArray("@media screen{").repeated(40) + ".m{display:none}" +
                      QByteArray("}").repeated(40) + QByteArray(".n{").repeated(20) + "display:none" +
                      QByteArray("}").repeated(20) + "</style><p class=m>WAN IP is 198.51.100.1" +
                      QByteArray("<div class=n>").repeated(20) + "WAN IP is 198.51.100.2" +
                      QByteArray("</div>").repeated(20) + "<div class=n>WAN IP is 203.0.113.7</div>";
    pages.append({QStringLiteral("media nested 40 deep, style rules 20"), "text/html", deep});
    // Each custom property sixteen of the one before: the last is past
    // what the browser fills in, so its fallback is taken; the one before
    // fills in, too long to be a display.
    QByteArray laughs = "<style>:root{--l0:aaaaaaaaaa;";
    for (int level = 1; level <= 5; ++level) {
        laughs += "--l" + QByteArray::number(level) + ":";
        for (int i = 0; i < 16; ++i)
            laughs += "var(--l" + QByteArray::number(level - 1) + ") ";
        laughs += ";";
    }
    laughs += "} .four{display:var(--l4, none)} .five{display:var(--l5, none)}"
              "</style><div class=four>4</div><div class=five>5</div><p>6";
    pages.append(
        {QStringLiteral("custom properties that expand sixteenfold, five times"), "text/html", laughs});
    return pages;
}

// Sheets that import the next, as many as Chromium follows and more than
// we once did.
QList<QPair<QString, QByteArray>> withImportChain(QList<QPair<QString, QByteArray>> sheets)
{
    for (int i = 1; i <= 20; ++i)
        sheets.append({QStringLiteral("/css/chain/%1.css").arg(i),
                       (i < 20 ? "@import '" + QByteArray::number(i + 1) + ".css';" : QByteArray()) + ".c" +
                           QByteArray::number(i) + "{display:none}"});
    return sheets;
}

// Sheets on the test's server, by path, for the pages that link them.
const QList<QPair<QString, QByteArray>> kSheets = withImportChain({
    {"/css/log.css", ".l{display:block}.stale{display:none}"},
    {"/css/imports.css", "@charset \"utf-8\";@import url(\"log.css\");@import 'print.css' print;"
                         "@import '/css/upper.css' screen;.x{display:none}@import 'late.css';"},
    {"/css/print.css", ".p{display:none}"},
    {"/css/upper.css", "\xEF\xBB\xBF.u{text-transform:uppercase}"},
    {"/css/late.css", ".late{display:none}"},
    {"/css/loop.css", "@import 'loop2.css';.a{display:none}"},
    {"/css/loop2.css", "@import 'loop.css';.b{display:none}"},
    {"/css/sub/deep.css",
     "@import 'inner.css';@import url(/css/log.css) (min-width:2000px);.d{display:none}"},
    {"/css/sub/inner.css", ".inner{display:none}"},
    {"/css/latin1.css", "@charset \"iso-8859-1\";.x{display:none}.caf\xe9{display:none}"},
    // Served as another type, or as none.
    {"/css/plain.css", ".plain{display:none}"},
    {"/css/untyped.css", ".untyped{display:none}"},
    {"/css/with-charset.css", ".charset{display:none}"},
    {"/css/html.css", ".html{display:none}"},
    // Imports into layers, and on conditions.
    {"/css/layered.css", "@import url(base.css) layer(base);@import 'top.css' layer;@import 'gone.css' "
                         "supports(display:nonsense);@import 'kept.css' supports(display:grid) screen;"
                         "@import 'print.css' supports(display:grid) print;.lu{display:block}"},
    {"/css/base.css", ".lb{display:block}.lc{display:none!important}"},
    {"/css/top.css", ".lb{display:none}.lc{display:block!important}.lu{display:none}"},
    {"/css/gone.css", ".ls{display:none}"},
    {"/css/kept.css", ".lk{display:none}"},
});

// Doctypes that old routers' pages carry, each deciding whether the page is
// in quirks mode: whether its class selectors ignore case and it reads a
// sheet served as text/plain.
const char* const kDoctypes[] = {
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">",
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
    "\"http://www.w3.org/TR/html4/loose.dtd\">",
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\">",
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">",
    "<!doctype html public \"-//w3c//dtd html 3.2 final//en\">",
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">",
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">",
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">",
    "<!DOCTYPE html SYSTEM \"about:legacy-compat\">",
    "<!DOCTYPE svg>",
};

// The Content-Type each sheet is served with.
QByteArray sheetType(const QString& path)
{
    if (path.endsWith("/plain.css"))
        return "text/plain";
    if (path.endsWith("/untyped.css"))
        return {};
    if (path.endsWith("/with-charset.css"))
        return "TEXT/CSS; charset=utf-8";
    if (path.endsWith("/html.css"))
        return "text/html";
    return "text/css";
}

// Pages that link those sheets: as a router serves its log with its own.
const char* const kLinkingPages[] = {
    "<link rel=stylesheet href=/css/layered.css><p class=lb>WAN IP is 198.51.100.1<p class=lc>WAN IP is "
    "198.51.100.2<p class=ls>WAN IP is 203.0.113.1<p class=lk>WAN IP is 198.51.100.3<p class=lu>WAN IP is "
    "203.0.113.2<p class=p>p",
    "<link rel=stylesheet href=/css/chain/1.css><p class=c20>WAN IP is 198.51.100.1<p class=c17>WAN IP is "
    "198.51.100.2<p>WAN IP is 203.0.113.7",
    // A titled link names the preferred set as a titled <style> does.
    "<link rel=stylesheet href=/css/log.css title=main><link rel=stylesheet href=/css/print.css title=other>"
    "<style title=other>.x{display:none}</style><link rel=stylesheet href=/css/late.css><p class=stale>WAN "
    "IP is 198.51.100.1<p class=late>WAN IP is 198.51.100.2<p class=p>WAN IP is 203.0.113.7<p class=x>x",
    "<link rel=stylesheet href=/css/log.css><div><span class=l>Jan  1 00:00:01 up</span>"
    "<span class='l stale'>WAN IP is 198.51.100.1</span><span class=l>WAN IP is 203.0.113.7</span></div>",
    "<link rel=stylesheet href=../css/imports.css><link rel=\"alternate stylesheet\" href=/css/print.css>"
    "<link rel=stylesheet href=/css/print.css media=print><link rel=stylesheet href=/css/none.css>"
    "<link rel=stylesheet href=http://127.0.0.1:1/css/log.css><p class=stale>1<p class=x>2<p class=p>3"
    "<p class=u>four<p class=late>5",
    "<link rel=stylesheet href=/css/loop.css><p class=a>a<p class=b>b<p>c",
    "<head><base href=/css/sub/></head><link rel=stylesheet href=../log.css><p class=stale>1<p>2"
    "<style>.stale{display:block}</style><link rel=stylesheet href=/css/log.css>",
    // A <style> element's imports are the page's sheets as well.
    "<base href=/css/><style>@import url(/css/log.css);@IMPORT 'sub/inner.css' screen;.x{display:none}"
    "</style><p class=stale>1<p class=inner>2<p class=x>3<p>4",
    // Sheets served as another type count only in quirks mode.
    "<!DOCTYPE html><link rel=stylesheet href=/css/plain.css><link rel=stylesheet href=/css/untyped.css>"
    "<link rel=stylesheet href=/css/with-charset.css><link rel=stylesheet href=/css/html.css>"
    "<p class=plain>1<p class=untyped>2<p class=charset>3<p class=html>4<p>5",
    "<link rel=stylesheet href=/css/plain.css><link rel=stylesheet href=/css/untyped.css>"
    "<link rel=stylesheet href=/css/with-charset.css><link rel=stylesheet href=/css/html.css>"
    "<p class=plain>1<p class=untyped>2<p class=charset>3<p class=html>4<p>5",
    // Imports resolve against their own sheet, and an import's media count.
    "<link rel=stylesheet href=css/sub/deep.css><p class=inner>1<p class=d>2<p class=stale>3<p>4",
    "<link rel=stylesheet href=/css/latin1.css><link rel=\"STYLESHEET\" href=/css/log.css>"
    "<link rel=\" stylesheet preload\" href=/css/late.css><link rel=stylesheet href=/css/print.css "
    "media=screen>"
    "<link rel=stylesheet href=/css/upper.css disabled><p class=x>1<p class=stale>2<p class=late>3<p "
    "class=p>4"
    "<p class=u>five",
};

constexpr int kSeeds[] = {1, 2, 3, 4, 5, 6};
constexpr int kPagesPerSeed = 50;
// Pages with style sheets of random rules over their own log lines.
constexpr int kStyledSeeds[] = {7, 8, 9};

QString browserPath()
{
    for (const char* name : {"chromium-headless-shell", "chromium"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

QList<GeneratedPage> corpus()
{
    QList<GeneratedPage> pages;
    const QDir fixtures(QStringLiteral(PARLOWEN_TEST_DATA "/pagetext"));
    for (const QString& name : fixtures.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
        QFile file(fixtures.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(name));
        pages.append({name, "text/html", file.readAll()});
    }
    for (const char* rule : kRulePages)
        pages.append({QString::fromUtf8(rule).replace(u'\n', QStringLiteral("\\n")),
                      "text/html; charset=utf-8", rule});
    for (const char* label : kLabelsNamed) {
        pages.append({QStringLiteral("label '%1' in the header").arg(QLatin1String(label)),
                      "text/html; charset=" + QByteArray(label), kLabelledText});
        pages.append({QStringLiteral("label '%1' in a meta element").arg(QLatin1String(label)), "text/html",
                      "<meta charset=\"" + QByteArray(label) + "\">" + kLabelledText});
    }
    for (const GeneratedPage& page : kCharsetPages)
        pages.append(page);
    pages.append(hostileSheetPages());
    for (const char* page : kLinkingPages)
        pages.append({QStringLiteral("linking: ") + QString::fromUtf8(page), "text/html", page});
    for (const char* doctype : kDoctypes)
        pages.append(
            {QStringLiteral("doctype: ") + QString::fromUtf8(doctype), "text/html",
             doctype + QByteArray("<link rel=stylesheet href=/css/plain.css><style>.OLD{display:none}"
                                  "</style><p class=plain>1<p class=old>2<p>3")});
    for (const char* encoding : kSingleByteEncodings)
        pages.append({QStringLiteral("every high byte in %1").arg(QLatin1String(encoding)),
                      "text/html; charset=" + QByteArray(encoding), highBytesPage()});
    for (const int seed : kSeeds) {
        for (int i = 0; i < kPagesPerSeed; ++i)
            pages.append(testing::generateLogPage(uint32_t(seed), i));
    }
    for (const int seed : kStyledSeeds) {
        for (int i = 0; i < kPagesPerSeed; ++i)
            pages.append(testing::generateLogPage(uint32_t(seed), i, true));
    }
    // Last, where stylePageIndex finds them.
    pages.append(testing::stylePages());
    return pages;
}

QList<ServedSheet> servedSheets()
{
    QList<ServedSheet> served = testing::stylePageSheets();
    for (const auto& [path, sheet] : kSheets)
        served.append({path, sheetType(path), sheet});
    return served;
}

// Where Chromium's texts of the style pages are kept, and, when the
// variable names a file, where they are written instead.
const char kRecordVariable[] = "PARLOWEN_RECORD_CHROMIUM";
const QString kRecordedTexts = QStringLiteral(PARLOWEN_TEST_DATA "/chromium-style-pages.txt");

// Where two texts first differ, with a little of each around it.
QString firstDifference(const QByteArray& ours, const QByteArray& browser)
{
    qsizetype at = 0;
    while (at < ours.size() && at < browser.size() && ours[at] == browser[at])
        ++at;
    const qsizetype from = qMax<qsizetype>(0, at - 40);
    return QStringLiteral("first difference at byte %1\n  ours:    %2\n  browser: %3")
        .arg(at)
        .arg(QString::fromLatin1(ours.mid(from, 80).toPercentEncoding(" :.,;()[]<>/=-_'\"")),
             QString::fromLatin1(browser.mid(from, 80).toPercentEncoding(" :.,;()[]<>/=-_'\"")));
}

} // namespace

class TestInnerTextChromium : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_pages = corpus();
        QVERIFY(m_server.listen());
        for (int i = 0; i < m_pages.size(); ++i)
            m_server.setRoute(QStringLiteral("/page/%1").arg(i),
                              {.contentType = servedToBrowser(m_pages[i]), .body = m_pages[i].body});
        const QByteArray driver = "<!DOCTYPE html><html><body><pre id=out></pre><script>const pageCount = " +
                                  QByteArray::number(m_pages.size()) + ";\n" + kDeclaredDifferences +
                                  kDriver + "</script></body></html>";
        m_server.setRoute(QStringLiteral("/driver.html"), {.body = driver});
        for (const ServedSheet& sheet : m_served)
            m_server.setRoute(sheet.path, {.contentType = sheet.contentType, .body = sheet.body});
        QVERIFY(m_profile.isValid());
        m_browserTexts = browserTexts();
        QCOMPARE(m_browserTexts.size(), m_pages.size());
        if (qEnvironmentVariableIsSet(kRecordVariable))
            QVERIFY(recordStylePageTexts(qEnvironmentVariable(kRecordVariable)));
    }

    // A browser version that reads a construct differently shows up here,
    // as the change to record.
    void sameTextAsRecorded_data()
    {
        QTest::addColumn<QByteArray>("recorded");
        QTest::addColumn<int>("index");
        const QHash<QString, QByteArray> recorded = testing::readRecordedTexts(kRecordedTexts);
        QVERIFY2(!recorded.isEmpty(), qPrintable(kRecordedTexts));
        for (int i = stylePageIndex(); i < m_pages.size(); ++i)
            QTest::newRow(qPrintable(m_pages[i].name)) << recorded.value(m_pages[i].name) << i;
    }
    void sameTextAsRecorded()
    {
        QFETCH(QByteArray, recorded);
        QFETCH(int, index);
        QCOMPARE(m_browserTexts[index], recorded);
    }

    void sameTextAsTheBrowser_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < m_pages.size(); ++i)
            QTest::newRow(qPrintable(m_pages[i].name)) << i;
    }
    void sameTextAsTheBrowser()
    {
        QFETCH(int, index);
        const GeneratedPage& page = m_pages[index];
        const PageStyleSheets sheets = testing::fetchedStyleSheets(
            page, QUrl(m_server.url(QStringLiteral("/page/%1").arg(index))), m_served);
        const Result<PageText, PageTextError> text =
            renderPageText(page.body, page.contentType, nullptr, &sheets);
        QVERIFY2(text, "too complex");
        const QByteArray ours = text.value().text.toUtf8();
        const QByteArray browser = m_browserTexts[index];
        if (const QString construct = testing::knownDifference(page.name); !construct.isEmpty())
            QEXPECT_FAIL("", qPrintable(construct), Continue);
        QVERIFY2(ours == browser, qPrintable(firstDifference(ours, browser)));
    }

private:
    int stylePageIndex() const { return int(m_pages.size() - testing::stylePages().size()); }

    bool recordStylePageTexts(const QString& path)
    {
        QList<QPair<QString, QByteArray>> texts;
        for (int i = stylePageIndex(); i < m_pages.size(); ++i)
            texts.append({m_pages[i].name, m_browserTexts[i]});
        QProcess version;
        version.start(browserPath(), {QStringLiteral("--version")});
        version.waitForFinished();
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(testing::recordedTextsFile(version.readAllStandardOutput(), texts)) >= 0;
    }

    // The browser's innerText of each page, its line breaks made "\r\n".
    QList<QByteArray> browserTexts()
    {
        QProcess browser;
        browser.setProgram(browserPath());
        browser.setArguments(
            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
             QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
             QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
             QStringLiteral("--disable-sync"), QStringLiteral("--user-data-dir=") + m_profile.path(),
             // The screen the engine answers device-width for; headless
             // reports 800 by 600 without it.
             QStringLiteral("--window-size=1024,768"),
             // Virtual time stands still while a page loads, so the
             // dump waits until the driver has read every page.
             QStringLiteral("--virtual-time-budget=600000"), QStringLiteral("--dump-dom"),
             m_server.url(QStringLiteral("/driver.html"))});
        QSignalSpy finished(&browser, &QProcess::finished);
        browser.start();
        if (!browser.waitForStarted() || !finished.wait(240'000)) {
            browser.kill();
            qWarning("the browser did not finish: %s",
                     browser.readAllStandardError().right(2000).constData());
            return {};
        }
        const QByteArray dom = browser.readAllStandardOutput();
        const qsizetype start = dom.indexOf("<pre id=\"out\">");
        const qsizetype end = dom.indexOf("</pre>", start);
        if (start < 0 || end < 0) {
            qWarning("no results in the browser's page: %s",
                     browser.readAllStandardError().right(2000).constData());
            return {};
        }
        QList<QByteArray> texts;
        for (const QByteArray& line : dom.mid(start + 14, end - start - 14).split('\n')) {
            QByteArray text = QByteArray::fromBase64(line);
            texts.append(text.replace("\n", "\r\n"));
        }
        return texts;
    }

    FakeHttpServer m_server;
    QTemporaryDir m_profile;
    QList<GeneratedPage> m_pages;
    const QList<ServedSheet> m_served = servedSheets();
    QList<QByteArray> m_browserTexts;
};

int main(int argc, char** argv)
{
    if (browserPath().isEmpty()) {
        std::fprintf(stderr,
                     "\n*** SKIPPED: neither chromium-headless-shell nor chromium is installed, so our page\n"
                     "*** text was NOT compared with a browser's. Install chromium-headless-shell.\n\n");
        return 77;
    }
    QCoreApplication app(argc, argv);
    TestInnerTextChromium test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_innertext_chromium.moc"
