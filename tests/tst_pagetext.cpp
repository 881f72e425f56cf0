// Tests for the page-to-text renderer: decoding, the innerText rules and the
// text placeholders that keep gumbo fast. Pages built to hurt are in
// tst_pagetextguard.cpp.

#include "css/cascade.h"
#include "css/sheetparser.h"
#include "css/declaration.h"
#include "css/sheetset.h"
#include "html/htmlprepass.h"
#include "html/pagetext.h"
#include "html/pagetext_p.h"
#include "html/parsedpage.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <thread>
#include <vector>

using namespace parlowen;

// A property's values compare with its own, never with another's.
template <typename Declared, typename Value>
constexpr bool kComparable = requires(Declared declared, Value value)
{
    declared == value;
};
static_assert(kComparable<css::Declared<css::Display>, css::Display>);
static_assert(!kComparable<css::Declared<css::Display>, css::Visibility>);
static_assert(!kComparable<css::Declared<css::Visibility>, uint8_t>);

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(PARLOWEN_TEST_DATA "/pagetext/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

// Tag soup from fragments chosen to catch the pre-pass misreading the
// tokenizer: quotes, comments, raw text, foreign content, references.
QByteArray randomPage(QRandomGenerator& random)
{
    static const char soup[] =
        "<div>|</div>|<p>|</p>|<span class=\"a>b\">|</span>|<b>|</b>|<i>|<br>|<pre>\n|</pre>|"
        "<textarea>\n|</textarea>|<table>|<tr>|<td>|</td>|</tr>|</table>|<script>|</script>|"
        "<script><!--<script>|<style>|</style>|<title>|</title>|<xmp>|</xmp>|<svg>|</svg>|<math>|"
        "<mi>|<![CDATA[|]]>|<!--|-->|<!-->|--!>|<!|<?php |>|</|</ x>|<3|<a href=x>|<a title='q>q'>|"
        "</a>|&amp;|&notit;|&not|&#x41;|&#65|&|\r\n|\r|\n|\t| |\0|<select>|<option>|</select>|"
        "<template>|</template>|<noscript>|</noscript>|<frameset>|<plaintext>|<li>|<ul>|</ul>|"
        "<iframe>|</iframe>|<input value=\"v|<div hidden>|<div style=\"display:none\">|<caption>|"
        "<colgroup>|<h1>|\xc3\xa9|<font color=red>|<foreignObject>|<desc>|<noembed>|</noembed>";
    static const QList<QByteArray> fragments = QByteArray(soup, sizeof soup - 1).split('|');
    static const QList<QByteArray> words = QByteArray("Jan  1 00:00:01 kernel: eth0 link up|x|short|"
                                                      "pppd[1024]: WAN IP is 203.0.113.7|   spaced   out   |"
                                                      "dnsmasq: DHCPACK 192.0.2.23 laptop")
                                               .split('|');
    QByteArray page;
    const int count = random.bounded(10, 60);
    for (int i = 0; i < count; ++i) {
        if (random.bounded(3) == 0)
            page += words[random.bounded(int(words.size()))];
        else
            page += fragments[random.bounded(int(fragments.size()))];
    }
    return page;
}

// The text, or a mark that the page was too complex.
QString textOf(const Result<QString, PageTextError>& result)
{
    return result ? result.value() : QStringLiteral("<%1>").arg(toString(result.error()));
}

QString textOf(const Result<PageText, PageTextError>& result)
{
    return result ? result.value().text : QStringLiteral("<%1>").arg(toString(result.error()));
}

// The text with each part a rule not read might hide in brackets, and a
// star in front when any of it might be.
QString markedText(const Result<PageText, PageTextError>& result)
{
    if (!result)
        return textOf(result);
    const PageText& page = result.value();
    QString marked = page.doubt.wholePage ? QStringLiteral("*") : QString();
    qsizetype at = 0;
    for (const auto& [from, to] : page.doubt.ranges) {
        marked += page.text.mid(at, from - at) + '[' + page.text.mid(from, to - from) + ']';
        at = to;
    }
    return marked + page.text.mid(at);
}

} // namespace

class TestPageText : public QObject {
    Q_OBJECT

private slots:
    void innerText_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& html, const QString& expected) {
            QTest::newRow(name) << html << expected;
        };
        // White space
        row("runs of white space collapse to one space, across inline elements too",
            "<p>  a \t\n b <b> c</b> <i> d</i>e  </p>", "a b c de");
        row("spaces around a line break go away", "<div>  a  <br>  b  </div>", "a\r\nb");
        row("pre keeps white space but not the newline after its start tag", "<pre>\n  a  b\n\n c</pre>",
            "  a  b\r\n\r\n c");
        row("a white-space pre style keeps white space", "x<div style=\"white-space: PRE\">a  b\nc</div>",
            "x\r\na  b\r\nc");
        row("a white-space pre-line style keeps only line breaks",
            "<div style=\"white-space:pre-line\">a   b\n  c</div>", "a b\r\nc");
        row("entities are decoded and a no-break space is not collapsed",
            "<p>a &amp; b &lt;c&gt;  &nbsp;d &#x41;&#66;</p>", QString::fromUtf8("a & b <c> \u00a0d AB"));

        // Line breaks
        row("paragraphs are separated by an empty line", "<p>a</p><p>b</p>", "a\r\n\r\nb");
        row("adjacent required breaks merge to the largest, and none at the ends",
            "<div><div><p>a</p></div><div>b</div></div>", "a\r\n\r\nb");
        row("each br is a line break of its own", "a<br><br>b", "a\r\n\r\nb");
        row("a br next to a block end adds to its break", "<div>a<br></div>b", "a\r\n\r\nb");
        row("block-level elements each start a line",
            "<ul><li>one<li>two</ul><h1>t</h1><blockquote>q</blockquote><dl><dt>k<dd>v</dl>",
            "one\r\ntwo\r\nt\r\nq\r\nk\r\nv");
        row("a display block style makes a span a block", "a<span style=\"display:block\">b</span>c",
            "a\r\nb\r\nc");

        // Tables
        row("cells are separated by tabs and rows by line breaks",
            "<table><tr><td> a </td><td>b</td></tr><tr><td>c</td><td>d</td></tr></table>x",
            "a\tb\r\nc\td\r\nx");
        row("rows in different row groups are still separated",
            "<table><thead><tr><th>h</th></tr></thead><tbody><tr><td>v</td></tr></tbody></table>", "h\r\nv");
        row("a hidden last cell leaves no tab", "<table><tr><td>a</td><td hidden>b</td></tr></table>", "a");
        row("a caption is a line of its own", "<table><caption>Log</caption><tr><td>x</td></tr></table>",
            "Log\r\nx");
        row("a nested table keeps its own rows",
            "<table><tr><td><table><tr><td>i</td></tr><tr><td>j</td></tr></table></td><td>o</td></tr></"
            "table>",
            "i\r\nj\r\n\to");

        // Content that is not rendered
        row("head, script, style, template and noscript are left out",
            "<head><title>t</title><style>s</style></head><body>a<script>x</script><template>t</template>"
            "<noscript>n</noscript>b</body>",
            "ab");
        row("the hidden attribute hides an element and its breaks", "a<div hidden>x</div>b", "ab");
        row("display none in a style hides, whatever its spacing, case and priority",
            "a<span style=\"color:red; DISPLAY : NONE ! important\">x</span>b", "ab");
        row("a later display declaration overrides none",
            "<span style=\"display:none;display:inline\">x</span>", "x");
        row("elements the default style sheet hides are left out",
            "a<datalist><option>d</datalist><noembed>e</noembed><ruby>b<rp>(</rp><rt>c</rt><rp>)</rp></ruby>"
            "<iframe>f</iframe><map><area alt=z></map>",
            "abc");
        row("option text shows, image alt and input values do not",
            "<select><option>one<option>two</select><img alt=pic><input value=v><button>Go</button>",
            "one\r\ntwo\r\nGo");
        row("a closed dialog is not rendered, an open one is a block",
            "a <dialog>d</dialog> b<dialog open>e</dialog>", "a b\r\ne");
        row("an element gumbo does not know is named by its start tag once the page gumbo read is gone",
            "<style>x-old{display:none} x-new{display:block}</style>a<x-old>WAN IP is 198.51.100.1</x-old>"
            "<X-NEW class=n>WAN IP is 203.0.113.7</X-NEW>b",
            "a\r\nWAN IP is 203.0.113.7\r\nb");
        row("an object shows its fallback content", "a <object>fb</object> b", "a fb b");
        row("audio without controls is not rendered", "a <audio>x</audio> b", "a b");

        row("a closed details shows only its summary",
            "<details><summary>More</summary>hid</details><details open><summary>S</summary>shown</details>",
            "More\r\nS\r\nshown");
        row("the text elements of an SVG drawing are lines of their own inside it",
            "a <svg><text>b</text><path/></svg> c", "a \r\nb\r\n c");
        row("SVG text that is not rendered is left out",
            "a <svg><title>t</title><desc>e</desc>loose<text>b</text></svg> c", "a \r\nb\r\n c");
    }
    void innerText()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, expected);
        QCOMPARE(textOf(innerTextOfHtml(html)), expected);
    }

    void boxesAndCharacters_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& html, const QString& expected) {
            QTest::newRow(name) << html << expected;
        };
        // Atomic inline boxes
        row("an image keeps the spaces on both sides", "abc <img> def", "abc  def");
        row("a canvas keeps the space before it", "x <canvas></canvas> y", "x  y");
        row("an input leaves the space before it, so an address after it is empty",
            "WAN IP is <input value=x>", "WAN IP is ");
        row("a hidden input is no box at all, and the spaces around it collapse",
            "a <input type=HIDDEN value=x> b <input value=y> <input type=hidden>", "a b ");
        row("a space after an image at the start of a line stays", "<div><img> x</div>", " x");
        row("an image alone is no content between blocks", "<img><div>x</div>", "x");
        row("a button's own spaces collapse inside it", "a <button> Go </button> b", "a Go b");
        row("a select lists its options on lines of their own, keeping the spaces beside it",
            "a <select><option>one<option>two</select> b", "a \r\none\r\ntwo\r\n b");
        row("meter and progress are boxes without text", "a <meter>m</meter> <progress>p</progress> b",
            "a   b");

        // Out of the flow
        row("a space before floats on a line that goes on stays before them",
            "a <b style=float:left>b</b> <b style=float:left>c</b> d", "a \r\nb\r\nc\r\nd");
        row("a space before a float at the end of its line goes", "<div>a <b style=float:left>b</b> </div>c",
            "a\r\nb\r\nc");
        row("past eight floats inside floats, the space before one goes",
            QByteArray("x <i style=float:left>").repeated(10) + "y" + QByteArray("</i> z").repeated(10),
            QStringLiteral("x \r\n").repeated(8) + "x\r\nx\r\ny" + QStringLiteral("\r\nz").repeated(10));
        row("a table's parts by their display alone",
            "<div style=display:table-row><b style=display:table-cell>a</b><b style=display:table-cell>b</b>"
            "</div><div style=display:table-row><b style=display:table-cell>c</b></div>",
            "a\tb\r\nc");

        // Characters
        row("control characters and noncharacters stay in short text runs",
            "<p>a\x01b \xc2\x85 \xef\xb7\x90</p>", QString::fromUtf8("a\x01b \u0085 \ufdd0"));
        row("an unknown element before a list item is no trouble", "<foo><li>x", "x");
        row("isindex is an unknown element, without the old search form", "a<br>b<isindex>c", "a\r\nbc");
    }
    void boxesAndCharacters() { innerText(); }

    void routerPages_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& body, const char* type,
                            const QString& expected) {
            QTest::newRow(name) << body << QByteArray(type) << expected;
        };
        row("a log in pre, with entities and CRLF lines", fixture("log-in-pre.html"), "text/html",
            "System Log\r\nJan  1 00:00:01 kernel: Linux version 2.6.36 <build 42>\r\n"
            "Jan  1 00:00:02 dnsmasq[812]: DHCPACK(br0) 192.0.2.23 laptop\r\n"
            "Jan  1 00:00:03 pppd[1024]: WAN IP is 203.0.113.7\r\n"
            "Jan  1 00:00:04 ntpd[601]: synchronised to 198.51.100.1 & 198.51.100.2\r\n");
        row("a log in a textarea, where markup is text", fixture("log-in-textarea.html"),
            "text/html; charset=UTF-8",
            "Jan  1 00:00:01 kernel: eth0 link up <b>not a tag</b>\r\n"
            "Jan  1 00:00:03 pppd[1024]: WAN IP is 203.0.113.7\r\n\r\n\r\n");
        row("a log in a table", fixture("log-in-table.html"), "text/html",
            "Time\tMessage\r\nJan 1 00:00:01\tkernel: eth0 link up\r\n"
            "Jan 1 00:00:03\tpppd[1024]: WAN IP is 203.0.113.7\r\nJan 1 00:00:04\thttpd: login from "
            "192.0.2.10");
        row("a log with lines ended by br", fixture("log-with-br.html"), "text/html",
            QString::fromUtf8("Jan 1 00:00:01 kernel: eth0 link up\r\nJan 1 00:00:03 pppd[1024]: WAN IP is "
                              "203.0.113.7\r\nJan 1 00:00:04 httpd: login from 192.0.2.10 \u2014 ok\r\n"));
        row("a Latin-1 page that says so in a meta tag", fixture("latin1-meta.html"), "text/html",
            QString::fromUtf8("Journal syst\u00e8me \u2013 routeur\r\n\r\njanv.  1 00:00:03 pppd: WAN IP is "
                              "203.0.113.7\r\n"));

        // Character encodings
        row("the header's charset beats the meta tag", "<meta charset=\"iso-8859-1\"><p>\xc1\xc2</p>",
            "text/html; charset=\"KOI8-R\"", QString::fromUtf8("\u0430\u0431"));
        row("a meta charset inside a comment is not read",
            "<!-- <meta charset=\"koi8-r\"> --><meta charset=windows-1251><p>\xe0\xe1</p>", "text/html",
            QString::fromUtf8("\u0430\u0431"));
        row("a meta declaring UTF-16 is read as UTF-8", "<meta charset=\"utf-16\"><p>\xc3\xa9</p>",
            "text/html", QString::fromUtf8("\u00e9"));
        row("invalid UTF-8 bytes are read as Windows-1252", "<p>\xe2\x82\xac \x80 \xe9t\xe9 \xc3</p>",
            "text/html", QString::fromUtf8("\u20ac \u20ac \u00e9t\u00e9 \u00c3"));
        row("a Latin-1 label means Windows-1252", "<p>\x93q\x94</p>", "text/html;charset=ISO-8859-1",
            QString::fromUtf8("\u201cq\u201d"));
        row("an unknown label falls back to UTF-8 and Windows-1252", "<p>\xc3\xa9 \xe9</p>",
            "text/html; charset=x-no-such-thing", QString::fromUtf8("\u00e9 \u00e9"));
        row("an unknown label in the header does not stop the search: the meta tag applies",
            "<meta charset=windows-1251><p>\xe0\xe1</p>", "text/html; charset=x-no-such-thing",
            QString::fromUtf8("\u0430\u0431"));
        row("a meta tag with an unknown label is passed over for a later one",
            "<meta charset=x-bogus><meta http-equiv=Content-Type content=\"text/html; charset=koi8-r\">"
            "<p>\xc1\xc2</p>",
            "text/html", QString::fromUtf8("\u0430\u0431"));
        row("labels only Qt knows are passed over in the header and in meta tags, for a trimmed label in any "
            "case",
            "<meta charset=utf-32><meta charset=\" KOI8-R \"><p>\xc1\xc2</p>", "text/html; charset=utf-7",
            QString::fromUtf8("\u0430\u0431"));
        row("a label of an encoding browsers refuse makes the whole page one replacement character",
            "<meta charset=koi8-r><p>WAN IP is 203.0.113.7</p>", "text/html; charset=ISO-2022-KR",
            QString::fromUtf8("\ufffd"));
        row("x-user-defined in the header keeps high bytes apart from text", "<p>a\x80\xff</p>",
            "text/html; charset=x-user-defined", QString::fromUtf8("a\uf780\uf7ff"));
        row("a UTF-8 byte order mark beats the header", "\xef\xbb\xbf<p>\xc3\xa9</p>",
            "text/html; charset=iso-8859-1", QString::fromUtf8("\u00e9"));
        const QString utf16 = "<meta charset=utf-8><p>WAN IP is 203.0.113.7</p>";
        row("a UTF-16 byte order mark beats the meta tag",
            "\xff\xfe" + QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2),
            "text/html", "WAN IP is 203.0.113.7");

        // Plain text
        row("text/plain is shown as is with every line break made CRLF", "a  <b>\r\nc\rd\ne\n\r",
            "text/plain", "a  <b>\r\nc\r\nd\r\ne\r\n\r\n");
        row("the media type is matched in any case, the charset still applies", "<b>WAN IP</b> is \xe9",
            " Text/Plain ; charset=windows-1252", QString::fromUtf8("<b>WAN IP</b> is \u00e9"));
    }
    void routerPages()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, expected);
        QCOMPARE(textOf(renderPageText(body, contentType)), expected);
    }

    // What Chromium reads and the cascade does not: if() and :state(), which
    // it has read since version 137 and 125, and container style queries.
    void textARuleNotReadMightHide_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        const QByteArray hideIf = "display: if(style(--k: 1): none; else: block)";
        const auto row = [](const char* name, const QByteArray& style, const QByteArray& body,
                            const QString& expected) {
            QTest::newRow(name) << "<style>" + style + "</style>" + body << expected;
        };
        // The elements of a rule whose selector was read
        row("a value not read: its element's text, from the breaks before it", ".d{" + hideIf + "}",
            "<p>a</p><p class=d>WAN IP is 198.51.100.1</p><p>b</p>",
            "a[\r\n\r\nWAN IP is 198.51.100.1]\r\n\r\nb");
        row("inside another such element it counts once", ".d{" + hideIf + "}",
            "<div class=d>x<span class=d>y</span>z</div>w", "[xyz]\r\nw");
        row("a line break such a rule may hide", "br.d{" + hideIf + "}", "<p>a<br class=d>b</p>",
            "a[\r\n]b");
        row("a style attribute's value not read", "",
            "<p>a <span style=\"visibility: if(style(--k: 1): hidden; else: visible)\">b</span> c</p>",
            "a[ b] c");
        row("all, read as any property is", ".r{all: unset}", "<p>a</p><p class=r>b</p>", "a\r\n\r\nb");
        row("ranges count UTF-16 code units", ".d{" + hideIf + "}",
            "<p>\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9e</p><p class=d>x</p><p>\xc3\xa9</p>",
            QString::fromUtf8("\u00e9\u20ac\U0001D11E[\r\n\r\nx]\r\n\r\n\u00e9"));
        row("a rule read whole hides for sure", ".old{display:none}", "<p class=old>x</p><p>a</p>", "a");
        row("a float's text, waiting for the rest of its line, stays in its part", ".d{" + hideIf + "}",
            "<p>a <span class=d style=\"float: left\">WAN IP is 198.51.100.1</span> b</p>",
            "a[ \r\nWAN IP is 198.51.100.1]\r\nb");
        row("float and position are read", ".f{float: right} .a{position: fixed}",
            "<p>a <span class=f>b</span> <span class=a>c</span> d</p>", "a \r\nb\r\nc\r\nd");
        // Rules dropped whole: any element may be the one they hide
        row("a selector not read, with display", "p:state(x){display:none}", "<p>a</p>", "*a");
        row("a selector not read, with a custom property a var() may read", "p:state(x){--k: none}",
            "<p>a</p>", "*a");
        row("a selector not read, with position", "p:state(x){position: absolute}", "<p>a</p>", "*a");
        row("a selector not read that says nothing of the text", "p:state(x){color: red}", "<p>a</p>", "a");
        row("a pseudo-element's rule styles no element's text", "p::-webkit-scrollbar{display:none}",
            "<p>a</p>", "a");
        row("an at-rule not read, with display", "@scope (.s){@scope (.t){p{display:none}}}", "<p>a</p>",
            "*a");
        row("an at-rule not read that says nothing of the text",
            "@font-face{font-family: x; font-display: swap}", "<p>a</p>", "a");
        row("media a screen is not are read as a browser reads them", "@media print{p{display:none}}",
            "<p>a</p>", "a");
        row("a rule dropped at the limit of a prelude", QByteArray(".a,").repeated(270000) + "p{display:none}",
            "<p>a</p>", "*a");
    }
    void textARuleNotReadMightHide()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, expected);
        QCOMPARE(markedText(renderPageText(html, "text/html")), expected);
    }

    void placeholdersMatchPlainParse_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<bool>("mustUsePlaceholders");
        const auto row = [](const char* name, const QByteArray& html, bool must) {
            QTest::newRow(name) << html << must;
        };
        for (const char* name :
             {"log-in-pre.html", "log-in-textarea.html", "log-in-table.html", "log-with-br.html"})
            row(name, fixture(name), true);
        row("long runs in a title, a body and after a character reference",
            "<title>a router's system log page</title>&amp;the body text of the page&notit;more body text",
            true);
        row("a quoted attribute value holding '>' and text",
            "<div title=\"a > bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\" "
            "x='>cccccccccccccccccccccc'>ddddddddddddddddddddddd</div>",
            true);
        row("comments closed early or with a bang",
            "<!-->xxxxxxxxxxxxxxxxxxxxxxxxx<!--->yyyyyyyyyyyyyyyyyyyyyyyyyy<!--!>in comment still"
            "--!>zzzzzzzzzzzzzzzzzzzzzzzzzzzz",
            false);
        row("a script that looks closed but is escaped",
            "<script><!--<script>aaaaaaaaaaaaaaaaaaaaaaaaaa</script>bbbbbbbbbbbbbbbbbbbbbbbbbbbb"
            "</script>cccccccccccccccccccccccccccc",
            false);
        row("CDATA and text in SVG",
            "<svg><![CDATA[aaaaaaaaaaaaaaaaaaaaaaa]]><text>bbbbbbbbbbbbbbbbbbbbbbbbbbbb</text></svg>"
            "<p>cccccccccccccccccccccccccccccccc</p>",
            false);
        row("text in a frameset is thrown away",
            "<frameset>aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa bbbb</frameset>", false);
        row("text directly in a table is moved in front of it",
            "<table>aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa<tr><td>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb</td></tr></"
            "table>",
            true);
        row("NUL and CR inside text",
            QByteArray("aaaaaaaaaaaaaaaaaaaaaaaaa\0bbbbbbbbbbbbbbbbbbbbbbbb\rcccccccccccccccccccccccc\r\n"
                       "dddddddddddddddddddddddd",
                       101),
            true);
        row("line ends of every kind inside runs, where they are kept",
            "<pre>aaaaaaaaaaaaaaaaaaaaaaaa\r\nbbbbbbbbbbbbbbbbbbbbbbbb\rcccccccccccccccccccccccc\r</pre>"
            "<textarea>dddddddddddddddddddd\r\r\neeeeeeeeeeeeeeeeeeee</textarea>"
            "<div style=\"white-space:pre-line\">ffffffffffffffffffff \r gggggggggggggggggggg\r\n</div>",
            true);
        row("references that escape markup, inside runs and beside look-alikes",
            "<p>aaaa &amp; b &lt;c&gt; &quot;d&quot; &amp;amp; e&ampf &amp g &ltx; &quot h &#38; i</p>"
            "<textarea>jjjj &lt;k&gt;\r\n&amp;</textarea><pre>&gt;&gt;&gt;&gt;</pre>",
            true);
        // A long sheet is shown to gumbo as one placeholder and put back
        // before the cascade reads it; wherever gumbo reads it otherwise
        // than as a style's text, the plain parse is the answer.
        const QByteArray padding = "/*" + QByteArray(300, '-') + "*/";
        row("a long sheet, with CR LF and a lone CR, hides what it hides",
            "<style>" + padding + "p.old{\r\ndisplay:\rnone}</style><p class=old>x</p><p>y</p>", true);
        row("a long sheet a rule shows keeps its & and line ends raw",
            "<style>style{display:block;white-space:pre}" + padding + "\r\na &amp; b\rc</style>", true);
        row("a long sheet a rule shows collapses its line ends",
            "<style>style{display:block}" + padding + "a\rb\r\nc</style>", true);
        row("a long sheet in a table", "<table><style>" + padding + "td{display:none}</style><tr><td>x</td></tr></table>",
            true);
        row("a long style in svg holds markup",
            "<svg><style>" + padding + "<text>bbbb</text></style></svg><p>c</p>", false);
        row("a long style in a select", "<select><style>" + padding + "</style><option>b</select>", false);
        row("a long style in a template", "<template><style>" + padding + "</style></template><p>c</p>", false);
        row("a long sheet with a NUL is gumbo's", "<style>" + padding + QByteArray("a\0b", 3) + "</style><p>c</p>", false);
        row("a long sheet never closed", "<style>" + padding + "p{display:none}<p>c</p>", false);
        row("an end tag in a sheet's string ends the sheet",
            "<style>" + padding + "p::after{content:\"</style><p>bbbbbbbbbbbbbbbbbb\"}</style>", true);
        row("plaintext swallows the rest of the page",
            "<plaintext>aaaaaaaaaaaaaaaaaaaaaaaaaaaa</plaintext>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", false);
        row("a page that already holds plane-15 characters",
            "\xf3\xb0\x80\x80\xf3\xb8\x80\x80 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false);
        row("numeric references to plane-15 characters",
            "&#xF0000;&#1015808;aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false);
    }
    void placeholdersMatchPlainParse()
    {
        QFETCH(QByteArray, html);
        QFETCH(bool, mustUsePlaceholders);
        InnerTextTrace trace;
        const QString fast = textOf(innerTextOfHtml(html, TextPlaceholders::On, &trace));
        QCOMPARE(fast, textOf(innerTextOfHtml(html, TextPlaceholders::Off, nullptr)));
        if (mustUsePlaceholders)
            QVERIFY(trace.placeholders > 0 && trace.placeholdersAccepted);
    }

    void randomPagesMatchPlainParse_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 20; ++seed)
            QTest::addRow("random tag soup from seed %u", seed) << seed;
    }
    void randomPagesMatchPlainParse()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        for (int i = 0; i < 50; ++i) {
            const QByteArray page = randomPage(random);
            const QString fast = textOf(innerTextOfHtml(page, TextPlaceholders::On, nullptr));
            const QString plain = textOf(innerTextOfHtml(page, TextPlaceholders::Off, nullptr));
            if (fast != plain)
                qWarning("page: %s", page.toPercentEncoding(" <>/=\"'!-&;").constData());
            QCOMPARE(fast, plain);
        }
    }

    // The values of the cascade offline: the same behaviours the browser
    // comparison checks, for a build that cannot run the browser.
    void declaredValues_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& html, const QString& expected) {
            QTest::newRow(name) << html << expected;
        };
        row("a stale line hidden through the root's custom property",
            "<style>:root{--off:none} .old{display:var(--off)}</style><p class=old>WAN IP is 198.51.100.1"
            "<p>WAN IP is 203.0.113.7",
            "WAN IP is 203.0.113.7");
        row("a missing custom property's fallback", "<div style=\"display:var(--missing, none)\">a</div>b",
            "b");
        row("a custom property inherited from an ancestor's style attribute",
            "<div style=\"--h:none\"><p><span style=display:var(--h)>a</span>b</div>", "b");
        row("the nearest ancestor's value, not the root's",
            "<style>:root{--h:none} .k{--h:inline} span{display:var(--h)}</style><div class=k><span>a</span>"
            "</div><span>b</span>c",
            "a\r\nc");
        row("invalid at computed-value time: an inherited property inherits",
            "<div style=visibility:hidden>a<span style=\"--x:block;visibility:var(--x)\">b</span></div>c",
            "c");
        row("invalid at computed-value time: a display is inline, the none before it lost",
            "<style>div{display:none; display:var(--z)}</style><div>a</div>b", "ab");
        row("all: unset on a hidden class shows it, all: inherit hides with its parent",
            "<style>.h{display:none} .h.u{all:unset} .v{visibility:hidden} .v b{all:inherit}</style>"
            "<div class='h u'>a</div><div class=h>b</div><div class=v><b>c</b></div>d",
            "ad");
        row("an important custom property beats a later one, the style attribute beats the sheet's",
            "<style>.a{--h:none !important} .a{--h:block} .b{--h:block} div{display:var(--h)}</style>"
            "<div class=a>1</div><div class=b style=--h:none>2</div>3",
            "3");
        row("a custom property of initial takes the fallback, of inherit the parent's value",
            "<style>:root{--h:none} .i{--h:initial} .n{--h:inherit} span{display:var(--h, block)}</style>"
            "a<b class=i><span>1</span></b><b class=n><span>2</span></b>c",
            "a\r\n1\r\nc");
        row("rules filed under td: each applies to the cells of its own rows only, and a name above "
            "the filter's four must still be there",
            "<style>table.log tr.r1 td{display:none} table.log tr.r2 td{display:none} "
            "html body div.w table.log tr.r3 td{display:none} div.x table.log tr.r2 td{display:block} "
            "td{white-space:normal}</style><div class=w><table class=log>"
            "<tr class=r1><td>1</td></tr><tr class=r2><td>2</td></tr><tr class=r3><td>3</td></tr>"
            "<tr class='r4 r1'><td>4</td></tr><tr class=r5><td>5</td></tr></table></div>"
            "<div class=x></div><table class=log><tr class=r2><td>6</td></tr><tr class=r3><td>8</td></tr>"
            "<tr><td>7</td></tr></table>",
            "\r\n\r\n\r\n\r\n5\r\n\r\n8\r\n7");
        row("!IMPORTANT in capitals", "<style>p{display:none !IMPORTANT} p{display:block}</style><p>1</p>2", "2");
        row("property names in capitals, with var() in their values, as those in lower case",
            "<style>:root{--h:none; --u:unset; --p:preserve} .a{DISPLAY:VAR(--h)} .b{display:none} "
            ".b{ALL:var(--u)} .c{White-Space-Collapse:var(--p)}</style><p class=a>1</p><p class=b>2</p>"
            "<p class=c>3  4</p>",
            "2\r\n\r\n3  4");
        row("a cycle is invalid, so the fallback applies",
            "<style>p{--a:var(--b); --b:var(--a); display:var(--a, none)}</style><p>1<div>2</div>", "2");
        row("revert keeps the default style sheet's box, initial is inline",
            "<style>.r{display:none} .r{display:revert} .i{display:initial}</style>a<div class=r>b</div>"
            "<div class=i>c</div>d",
            "a\r\nb\r\ncd");
    }
    void declaredValues() { innerText(); }

    // Custom properties built to cost: each page is read, or refused as too
    // complex, within its budget, never left to expand or recurse without
    // end. mayRefuse: the page may be refused rather than read.
    void customPropertiesWithinBounds_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("mayRefuse");
        const auto row = [](const char* name, const QByteArray& html, const QString& expected,
                            bool mayRefuse = false) {
            QTest::newRow(name) << html << expected << mayRefuse;
        };
        const auto laughs = [](int levels, const char* where) {
            QByteArray sheet = "<style>" + QByteArray(where) + "{--l0:aaaaaaaaaaaaaaaa;";
            for (int level = 1; level <= levels; ++level)
                sheet += "--l" + QByteArray::number(level) + ":" +
                         ("var(--l" + QByteArray::number(level - 1) + ") ").repeated(16) + ";";
            return sheet + "} .x{display:var(--l" + QByteArray::number(levels) + ", none)}</style>";
        };
        row("sixteenfold twelve times over is past the bound, so the fallback hides the line",
            laughs(12, ":root") + "<p class=x>WAN IP is 198.51.100.1<p>WAN IP is 203.0.113.7",
            "WAN IP is 203.0.113.7");
        row("and on every one of 3000 elements, each filling in its own",
            laughs(6, "*") + QByteArray("<div>").repeated(3000) + "<p class=x>stale</p>kept" +
                QByteArray("</div>").repeated(3000),
            "kept", true);
        row("a cycle of two and one of itself are invalid, so their fallbacks apply",
            "<style>p{--a:var(--b,block); --b:var(--a,block); --s:var(--s)} .a{display:var(--a,none)}"
            ".s{display:var(--s,none)} .b{display:var(--b)}</style><p class=a>1<p class=s>2<p>3<div "
            "class=b>4</div>",
            "3\r\n\r\n4");
        QByteArray chain = "<style>p{";
        for (int i = 200; i > 0; --i)
            chain += "--c" + QByteArray::number(i) + ":var(--c" + QByteArray::number(i - 1) + ");";
        row("a chain of 200 references on one element is cut off where it is too deep",
            chain + "--c0:block} p{display:var(--c200,none)} i{display:var(--c200)}</style><p>1<i>2</i>", "");
        const auto nested = [](int depth) {
            return "<style>p{--n:" + QByteArray("var(--m,").repeated(depth) + "none" +
                   QByteArray(")").repeated(depth) + "} p{display:var(--n,inline)}</style><p>1</p>2";
        };
        row("fallbacks nested 60 deep are filled in", nested(60), "2");
        row("fallbacks nested 100 deep are too deep, so the custom property is invalid", nested(100),
            "1\r\n\r\n2");
        row("fallbacks nested 300 deep are past the token bound, and still a value: no fallback", nested(300),
            "1\r\n\r\n2");
        row("a value of many thousand tokens is kept only as too long for a display, not as missing",
            "<style>:root{--big:" + QByteArray("none ").repeated(5000) +
                "} p{display:var(--big, none)}"
                "</style><p>1</p>2",
            "1\r\n\r\n2");
    }
    void customPropertiesWithinBounds()
    {
        QFETCH(QByteArray, html);
        QFETCH(bool, mayRefuse);
        const QString text = textOf(innerTextOfHtml(html));
        if (!mayRefuse || text != QStringLiteral("<%1>").arg(toString(PageTextError::TooComplex)))
            QTEST(text, "expected");
    }

    // The browser engine renders pages on worker threads, several at once.
    // Only the router's own sheets are loaded, however the default port is
    // spelled: a sheet skipped for its spelling leaves a stale line shown.
    void onlyThePagesOwnSheetsAreLinked_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<bool>("linked");
        QTest::newRow("the page's :80, the sheet's none") << "http://192.0.2.1:80/doc/syslog.htm"
                                                         << "http://192.0.2.1/doc/log.css" << true;
        QTest::newRow("the page's none, the sheet's :80")
            << "http://192.0.2.1/doc/syslog.htm" << "http://192.0.2.1:80/log.css" << true;
        QTest::newRow("https, :443 and none") << "https://192.0.2.1:443/" << "https://192.0.2.1/log.css" << true;
        QTest::newRow("relative") << "http://192.0.2.1:80/doc/syslog.htm" << "log.css" << true;
        QTest::newRow("another port") << "http://192.0.2.1:80/" << "http://192.0.2.1:8080/log.css" << false;
        QTest::newRow("https's port for http") << "http://192.0.2.1/" << "http://192.0.2.1:443/log.css" << false;
        QTest::newRow("another scheme") << "http://192.0.2.1/" << "https://192.0.2.1/log.css" << false;
        QTest::newRow("another host") << "http://192.0.2.1/" << "http://198.51.100.1/log.css" << false;
    }
    void onlyThePagesOwnSheetsAreLinked()
    {
        QFETCH(QString, page);
        QFETCH(QString, sheet);
        const QUrl pageUrl(page);
        const std::vector<QUrl> linked =
            ParsedPage::parse("<link rel=stylesheet href=\"" + sheet.toUtf8() + "\"><p>WAN IP is 203.0.113.7",
                              "text/html")
                ->linkedStyleSheets(pageUrl);
        QTEST(linked == std::vector<QUrl>{pageUrl.resolved(QUrl(sheet))}, "linked");
        QVERIFY(linked.size() <= 1);
    }

    // The page's bytes are looked over for the words that link a sheet
    // before its tree is searched: a word in any letter case, and wherever
    // it falls in the look's blocks, still links its sheet.
    void linkWordsAreFoundWhereverTheyFall_data()
    {
        QTest::addColumn<QByteArray>("linking");
        QTest::newRow("a link") << QByteArray("<link rel=stylesheet href=log.css>");
        QTest::newRow("a link in other case") << QByteArray("<LINK REL=\"StyleSheet\" href=log.css>");
        QTest::newRow("an import") << QByteArray("<style>@import 'log.css';</style>");
        QTest::newRow("an import in other case") << QByteArray("<style>@IMPORT url(log.css);</style>");
    }
    void linkWordsAreFoundWhereverTheyFall()
    {
        QFETCH(QByteArray, linking);
        const QUrl pageUrl("http://192.0.2.1/doc/syslog.htm");
        for (int padding = 0; padding < 140; ++padding) {
            const QByteArray page = QByteArray(padding, ' ') + linking + "<p>WAN IP is 203.0.113.7";
            const std::vector<QUrl> linked = ParsedPage::parse(page, "text/html")->linkedStyleSheets(pageUrl);
            QVERIFY2(linked == std::vector<QUrl>{QUrl("http://192.0.2.1/doc/log.css")},
                     qPrintable(QStringLiteral("after %1 spaces").arg(padding)));
        }
    }

    // Nesting as deep as a browser applies is kept; past our limit the rule
    // is dropped and counted, and the sheet's later rules are still read.
    void deepNestingIsKeptOrCounted_data()
    {
        QTest::addColumn<QByteArray>("opening");
        QTest::addColumn<QByteArray>("innermost");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("dropped");
        QTest::newRow("media 200 deep")
            << QByteArray("@media screen{") << QByteArray(".m{display:none}") << 200 << 2 << 0;
        QTest::newRow("media 300 deep")
            << QByteArray("@media screen{") << QByteArray(".m{display:none}") << 300 << 1 << 1;
        QTest::newRow("style rules 200 deep")
            << QByteArray(".n{") << QByteArray("display:none") << 200 << 2 << 0;
        QTest::newRow("style rules 300 deep")
            << QByteArray(".n{") << QByteArray("display:none") << 300 << 1 << 1;
        QTest::newRow("layers and supports 300 deep") << QByteArray("@layer a{@supports (display:grid){")
                                                      << QByteArray(".m{display:none}") << 150 << 1 << 1;
        QTest::newRow("media in a style rule 300 deep")
            << QByteArray(".n{@media screen{") << QByteArray("display:none") << 150 << 1 << 1;
    }
    void deepNestingIsKeptOrCounted()
    {
        QFETCH(QByteArray, opening);
        QFETCH(QByteArray, innermost);
        QFETCH(int, depth);
        const QByteArray sheet = opening.repeated(depth) + innermost +
                                 QByteArray("}").repeated(depth * opening.count('{')) + ".z{display:none}";
        CascadeRules rules;
        rules.byteBudget = size_t(1) << 30;
        WorkBudget work;
        SheetParser parser(rules, work);
        parser.sheet(sheet, QUrl());
        QTEST(int(rules.rules.size()), "kept");
        QTEST(int(rules.rulesPastLimits), "dropped");
    }

    // One parse gives the page's links and, once its sheets are in, its
    // text; sheets that would take the page past its budgets are dropped,
    // and the page is read as it is without them, never refused for them.
    void linkedSheetsNeverCostThePageItsText_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("sheet"); // at log.css, beside the page
        QTest::addColumn<bool>("withoutLinkedSheets");
        const QByteArray lines = "<p class=old>WAN IP is 198.51.100.1<p>WAN IP is 203.0.113.7";
        const QByteArray hide = ".old{display:none}";
        QTest::newRow("a sheet that hides a line")
            << "http://192.0.2.1/doc/syslog.htm"
            << "<link rel=stylesheet href=log.css>" + lines << hide << false;
        QTest::newRow("the page's :80, the sheet's none, one sheet")
            << "http://192.0.2.1:80/doc/syslog.htm"
            << "<link rel=stylesheet href=http://192.0.2.1/doc/log.css>" + lines << hide << false;
        QTest::newRow("the page's none, the sheet's :80")
            << "http://192.0.2.1/doc/syslog.htm"
            << "<link rel=stylesheet href=http://192.0.2.1:80/doc/log.css>" + lines << hide << false;
        QTest::newRow("imported from a style element")
            << "http://192.0.2.1/doc/syslog.htm"
            << "<style>@import 'log.css';</style>" + lines << hide << false;
        // Seconds of matching: 20,000 universal rules over 100,000 elements.
        QTest::newRow("a sheet past what the page may cost")
            << "http://192.0.2.1/doc/syslog.htm"
            << "<link rel=stylesheet href=log.css>" + lines + QByteArray("<b>x</b>").repeated(100000)
            << hide + QByteArray("*{display:block}").repeated(20000) << true;
        // A quarter of a second of matching, but the parse has left less.
        QTest::newRow("a sheet the page could afford, but not after its parse")
            << "http://192.0.2.1/doc/syslog.htm"
            << "<link rel=stylesheet href=log.css>" + lines + QByteArray("<x><y></x>").repeated(100000)
            << hide + QByteArray("*{display:block}").repeated(500) << true;
    }
    void linkedSheetsNeverCostThePageItsText()
    {
        QFETCH(QString, page);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, sheet);
        const QUrl pageUrl(page);
        std::shared_ptr<const ParsedPage> parsed = ParsedPage::parse(body, "text/html");
        SheetSet sheets(pageUrl, parsed->linkedStyleSheets(pageUrl),
                        sheetLimitsBeside(body.size(), kLargestPageBytes));
        QCOMPARE(sheets.next(), pageUrl.resolved(QUrl("log.css")).adjusted(QUrl::RemovePort));
        sheets.fetched(sheet, "text/css");
        QCOMPARE(sheets.next(), std::nullopt);
        const PageStyleSheets read = std::move(sheets).finish();
        QVERIFY(read.skipped.isEmpty());
        const Result<PageText, PageTextError> text = ParsedPage::text(parsed, &read);
        QVERIFY(text);
        QTEST(text.value().withoutLinkedSheets, "withoutLinkedSheets");
        // The same parse read again, without the sheets, as a page that links none.
        const QString alone = textOf(renderPageText(body, "text/html"));
        QCOMPARE(text.value().text == alone, text.value().withoutLinkedSheets);
        QVERIFY(text.value().text.startsWith(text.value().withoutLinkedSheets ? "WAN IP is 198.51.100.1"
                                                                              : "WAN IP is 203.0.113.7"));
        const Result<PageText, PageTextError> without = ParsedPage::text(std::move(parsed), nullptr);
        QVERIFY(without);
        QCOMPARE(without.value().text, alone);
    }

    // The cascade spends from the reading's budget, and stops with it.
    void cascadeStopsWithItsReading_data()
    {
        QTest::addColumn<quint64>("allowed");
        QTest::addColumn<quint64>("spentBefore");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<bool>("built");
        QTest::newRow("a reading with room") << quint64(100000) << quint64(0) << false << true;
        QTest::newRow("cancelled, before a step") << quint64(100000) << quint64(0) << true << false;
        QTest::newRow("what the parse left is too little") << quint64(100000) << quint64(99000) << false << false;
    }
    void cascadeStopsWithItsReading()
    {
        QFETCH(quint64, allowed);
        QFETCH(quint64, spentBefore);
        QFETCH(bool, cancelled);
        const QByteArray page = "<style>p{display:block} .a{display:none}</style>" +
                                QByteArray("<p class=a>x").repeated(1000);
        GumboOutput* output = gumbo_parse(page.constData());
        const std::atomic<bool> flag{cancelled};
        WorkBudget reading(allowed, &flag, spentBefore);
        const bool built = Cascade::build(*output, false, nullptr, reading, std::size_t(1) << 30).has_value();
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        QTEST(built, "built");
        QCOMPARE(reading.spent() > spentBefore, !cancelled);
    }

    void rendersOnManyThreadsAtOnce()
    {
        const QByteArray page = fixture("log-in-table.html");
        const QString expected = textOf(renderPageText(page, "text/html"));
        std::vector<QString> texts(8);
        std::vector<std::thread> threads;
        for (QString& text : texts)
            threads.emplace_back([&page, &text] {
                for (int i = 0; i < 50; ++i)
                    text = textOf(renderPageText(page, "text/html"));
            });
        for (std::thread& thread : threads)
            thread.join();
        for (const QString& text : texts)
            QCOMPARE(text, expected);
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
