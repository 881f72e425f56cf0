// Tests for the page-to-text renderer: decoding, the innerText rules, the
// pre-pass that keeps gumbo fast, and pages built to hurt.

#include "platform/htmlprepass.h"
#include "platform/pagetext.h"
#include "platform/pagetext_p.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace parlowen;

namespace {

QByteArray fixture(const char* name)
{
    QFile file(QStringLiteral(PARLOWEN_TEST_DATA "/pagetext/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return file.readAll();
}

QByteArray repeated(QByteArrayView piece, qsizetype times)
{
    QByteArray out;
    out.reserve(piece.size() * times);
    for (qsizetype i = 0; i < times; ++i)
        out.append(piece);
    return out;
}

// Tag soup from fragments chosen to catch the pre-pass misreading the
// tokenizer: quotes, comments, raw text, foreign content, references.
QByteArray randomPage(QRandomGenerator& random)
{
    static const char* const fragments[] = {"<div>",
                                            "</div>",
                                            "<p>",
                                            "</p>",
                                            "<span class=\"a>b\">",
                                            "</span>",
                                            "<b>",
                                            "</b>",
                                            "<i>",
                                            "<br>",
                                            "<pre>\n",
                                            "</pre>",
                                            "<textarea>\n",
                                            "</textarea>",
                                            "<table>",
                                            "<tr>",
                                            "<td>",
                                            "</td>",
                                            "</tr>",
                                            "</table>",
                                            "<script>",
                                            "</script>",
                                            "<script><!--<script>",
                                            "<style>",
                                            "</style>",
                                            "<title>",
                                            "</title>",
                                            "<xmp>",
                                            "</xmp>",
                                            "<svg>",
                                            "</svg>",
                                            "<math>",
                                            "<mi>",
                                            "<![CDATA[",
                                            "]]>",
                                            "<!--",
                                            "-->",
                                            "<!-->",
                                            "--!>",
                                            "<!",
                                            "<?php ",
                                            ">",
                                            "</",
                                            "</ x>",
                                            "<3",
                                            "<a href=x>",
                                            "<a title='q>q'>",
                                            "</a>",
                                            "&amp;",
                                            "&notit;",
                                            "&not",
                                            "&#x41;",
                                            "&#65",
                                            "&",
                                            "\r\n",
                                            "\r",
                                            "\n",
                                            "\t",
                                            " ",
                                            "\0",
                                            "<select>",
                                            "<option>",
                                            "</select>",
                                            "<template>",
                                            "</template>",
                                            "<noscript>",
                                            "</noscript>",
                                            "<frameset>",
                                            "<plaintext>",
                                            "<li>",
                                            "<ul>",
                                            "</ul>",
                                            "<iframe>",
                                            "</iframe>",
                                            "<input value=\"v",
                                            "<div hidden>",
                                            "<div style=\"display:none\">",
                                            "<caption>",
                                            "<colgroup>",
                                            "<h1>",
                                            "\xc3\xa9",
                                            "<font color=red>",
                                            "<foreignObject>",
                                            "<desc>",
                                            "<noembed>",
                                            "</noembed>"};
    static const char* const words[] = {"Jan  1 00:00:01 kernel: eth0 link up",
                                        "pppd[1024]: WAN IP is 203.0.113.7",
                                        "dnsmasq: DHCPACK 192.0.2.23 laptop",
                                        "x",
                                        "short",
                                        "   spaced   out   "};
    QByteArray page;
    const int count = random.bounded(10, 60);
    for (int i = 0; i < count; ++i) {
        if (random.bounded(3) == 0)
            page += words[random.bounded(int(std::size(words)))];
        else
            page += QByteArray(fragments[random.bounded(int(std::size(fragments)))]);
    }
    return page;
}

QStringList wordsOf(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

class TestPageText : public QObject {
    Q_OBJECT

private slots:
    void innerText_data();
    void innerText();
    void routerPages_data();
    void routerPages();
    void placeholdersMatchPlainParse_data();
    void placeholdersMatchPlainParse();
    void randomPagesMatchPlainParse_data();
    void randomPagesMatchPlainParse();
    void nestingCap_data();
    void nestingCap();
    void hostileInput_data();
    void hostileInput();
};

void TestPageText::innerText_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("expected");

    // White space
    QTest::newRow("runs of white space collapse to one space") << QByteArray("<p>  a \t\n b  </p>") << "a b";
    QTest::newRow("white space collapses across inline element boundaries")
        << QByteArray("<div>a <b> b</b> <i> c</i>d</div>") << "a b cd";
    QTest::newRow("spaces around a line break go away")
        << QByteArray("<div>  a  <br>  b  </div>") << "a\r\nb";
    QTest::newRow("pre keeps white space but not the newline after its start tag")
        << QByteArray("<pre>\n  a  b\n\n c</pre>") << "  a  b\r\n\r\n c";
    QTest::newRow("a white-space pre style keeps white space")
        << QByteArray("x<div style=\"white-space: PRE\">a  b\nc</div>") << "x\r\na  b\r\nc";
    QTest::newRow("a white-space pre-line style keeps only line breaks")
        << QByteArray("<div style=\"white-space:pre-line\">a   b\n  c</div>") << "a b\r\nc";
    QTest::newRow("entities are decoded and a no-break space is not collapsed")
        << QByteArray("<p>a &amp; b &lt;c&gt;  &nbsp;d &#x41;&#66;</p>")
        << QString::fromUtf8("a & b <c> \u00a0d AB");

    // Line breaks
    QTest::newRow("paragraphs are separated by an empty line")
        << QByteArray("<p>a</p><p>b</p>") << "a\r\n\r\nb";
    QTest::newRow("adjacent required breaks merge to the largest")
        << QByteArray("<div><p>a</p></div><div>b</div>") << "a\r\n\r\nb";
    QTest::newRow("required breaks at the start and end are dropped")
        << QByteArray("<div><p>a</p></div>") << "a";
    QTest::newRow("each br is a line break of its own") << QByteArray("a<br><br>b") << "a\r\n\r\nb";
    QTest::newRow("a br next to a block end adds to its break")
        << QByteArray("<div>a<br></div>b") << "a\r\n\r\nb";
    QTest::newRow("block-level elements each start a line")
        << QByteArray("<ul><li>one<li>two</ul><h1>t</h1><blockquote>q</blockquote><dl><dt>k<dd>v</dl>")
        << "one\r\ntwo\r\nt\r\nq\r\nk\r\nv";
    QTest::newRow("a display block style makes a span a block")
        << QByteArray("a<span style=\"display:block\">b</span>c") << "a\r\nb\r\nc";

    // Tables
    QTest::newRow("cells are separated by tabs and rows by line breaks")
        << QByteArray("<table><tr><td> a </td><td>b</td></tr><tr><td>c</td><td>d</td></tr></table>x")
        << "a\tb\r\nc\td\r\nx";
    QTest::newRow("rows in different row groups are still separated")
        << QByteArray("<table><thead><tr><th>h</th></tr></thead><tbody><tr><td>v</td></tr></tbody></table>")
        << "h\r\nv";
    QTest::newRow("a hidden last cell leaves no tab")
        << QByteArray("<table><tr><td>a</td><td hidden>b</td></tr></table>") << "a";
    QTest::newRow("a caption is a line of its own")
        << QByteArray("<table><caption>Log</caption><tr><td>x</td></tr></table>") << "Log\r\nx";
    QTest::newRow("a nested table keeps its own rows")
        << QByteArray(
               "<table><tr><td><table><tr><td>i</td></tr><tr><td>j</td></tr></table></td><td>o</td></tr>"
               "</table>")
        << "i\r\nj\r\n\to";

    // Content that is not rendered
    QTest::newRow("head, script, style, template and noscript are left out")
        << QByteArray("<head><title>t</title><style>s</style></head><body>a<script>x</script><template>t"
                      "</template><noscript>n</noscript>b</body>")
        << "ab";
    QTest::newRow("the hidden attribute hides an element and its breaks")
        << QByteArray("a<div hidden>x</div>b") << "ab";
    QTest::newRow("display none in a style hides, whatever its spacing, case and priority")
        << QByteArray("a<span style=\"color:red; DISPLAY : NONE ! important\">x</span>b") << "ab";
    QTest::newRow("a later display declaration overrides none")
        << QByteArray("<span style=\"display:none;display:inline\">x</span>") << "x";
    QTest::newRow("elements the default style sheet hides are left out")
        << QByteArray(
               "a<datalist><option>d</datalist><noembed>e</noembed><ruby>b<rp>(</rp><rt>c</rt><rp>)</rp>"
               "</ruby><iframe>f</iframe><map><area alt=z></map>")
        << "abc";
    QTest::newRow("option text shows, image alt and input values do not")
        << QByteArray(
               "<select><option>one<option>two</select><img alt=pic><input value=v><button>Go</button>")
        << "one\r\ntwo\r\nGo";
    QTest::newRow("a closed details shows only its summary")
        << QByteArray("<details><summary>More</summary>hid</details><details open><summary>S</summary>shown"
                      "</details>")
        << "More\r\nS\r\nshown";
    QTest::newRow("text in SVG and MathML shows as inline text")
        << QByteArray("a <svg><text>b</text><path/></svg> <math><mi>c</mi></math>") << "a b c";
    QTest::newRow("a textarea is a preformatted block")
        << QByteArray("before<textarea>\n a  <b>b</b>\n</textarea>after")
        << "before\r\n a  <b>b</b>\r\n\r\nafter";
}

void TestPageText::innerText()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, expected);
    QCOMPARE(innerTextOfHtml(html), expected);
}

void TestPageText::routerPages_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a log in pre, with entities and CRLF lines")
        << fixture("log-in-pre.html") << QByteArray("text/html")
        << "System Log\r\nJan  1 00:00:01 kernel: Linux version 2.6.36 <build 42>\r\n"
           "Jan  1 00:00:02 dnsmasq[812]: DHCPACK(br0) 192.0.2.23 laptop\r\n"
           "Jan  1 00:00:03 pppd[1024]: WAN IP is 203.0.113.7\r\n"
           "Jan  1 00:00:04 ntpd[601]: synchronised to 198.51.100.1 & 198.51.100.2\r\n";
    QTest::newRow("a log in a textarea, where markup is text")
        << fixture("log-in-textarea.html") << QByteArray("text/html; charset=UTF-8")
        << "Jan  1 00:00:01 kernel: eth0 link up <b>not a tag</b>\r\n"
           "Jan  1 00:00:03 pppd[1024]: WAN IP is 203.0.113.7\r\n\r\n\r\n";
    QTest::newRow("a log in a table") << fixture("log-in-table.html") << QByteArray("text/html")
                                      << "Time\tMessage\r\nJan 1 00:00:01\tkernel: eth0 link up\r\n"
                                         "Jan 1 00:00:03\tpppd[1024]: WAN IP is 203.0.113.7\r\n"
                                         "Jan 1 00:00:04\thttpd: login from 192.0.2.10";
    QTest::newRow("a log with lines ended by br")
        << fixture("log-with-br.html") << QByteArray("text/html")
        << QString::fromUtf8("Jan 1 00:00:01 kernel: eth0 link up\r\n"
                             "Jan 1 00:00:03 pppd[1024]: WAN IP is "
                             "203.0.113.7\r\n"
                             "Jan 1 00:00:04 httpd: login from "
                             "192.0.2.10 \u2014 ok\r\n");
    QTest::newRow("a Latin-1 page that says so in a meta tag")
        << fixture("latin1-meta.html") << QByteArray("text/html")
        << QString::fromUtf8("Journal syst\u00e8me \u2013 routeur\r\n\r\njanv.  1 00:00:03 pppd: WAN IP is "
                             "203.0.113.7\r\n");

    // Character encodings
    QTest::newRow("the header's charset beats the meta tag")
        << QByteArray("<meta charset=\"iso-8859-1\"><p>\xc1\xc2</p>")
        << QByteArray("text/html; charset=\"KOI8-R\"") << QString::fromUtf8("\u0430\u0431");
    QTest::newRow("a meta charset inside a comment is not read")
        << QByteArray("<!-- <meta charset=\"koi8-r\"> --><meta charset=windows-1251><p>\xe0\xe1</p>")
        << QByteArray("text/html") << QString::fromUtf8("\u0430\u0431");
    QTest::newRow("a meta declaring UTF-16 is read as UTF-8")
        << QByteArray("<meta charset=\"utf-16\"><p>\xc3\xa9</p>") << QByteArray("text/html")
        << QString::fromUtf8("\u00e9");
    QTest::newRow("invalid UTF-8 bytes are read as Windows-1252")
        << QByteArray("<p>\xe2\x82\xac \x80 \xe9t\xe9 \xc3</p>") << QByteArray("text/html")
        << QString::fromUtf8("\u20ac \u20ac \u00e9t\u00e9 \u00c3");
    QTest::newRow("a Latin-1 label means Windows-1252")
        << QByteArray("<p>\x93q\x94</p>") << QByteArray("text/html;charset=ISO-8859-1")
        << QString::fromUtf8("\u201cq\u201d");
    QTest::newRow("an unknown label falls back to UTF-8 and Windows-1252")
        << QByteArray("<p>\xc3\xa9 \xe9</p>") << QByteArray("text/html; charset=x-no-such-thing")
        << QString::fromUtf8("\u00e9 \u00e9");
    QTest::newRow("a UTF-8 byte order mark beats the header")
        << QByteArray("\xef\xbb\xbf<p>\xc3\xa9</p>") << QByteArray("text/html; charset=iso-8859-1")
        << QString::fromUtf8("\u00e9");
    QTest::newRow("a UTF-16 byte order mark beats the meta tag")
        << QByteArray("\xff\xfe") +
               QByteArray(reinterpret_cast<const char*>(u"<meta charset=utf-8><p>WAN IP is 203.0.113.7</p>"),
                          47 * 2)
        << QByteArray("text/html") << "WAN IP is 203.0.113.7";

    // Plain text
    QTest::newRow("text/plain is shown as is with every line break made CRLF")
        << QByteArray("a  <b>\r\nc\rd\ne\n\r") << QByteArray("text/plain") << "a  <b>\r\nc\r\nd\r\ne\r\n\r\n";
    QTest::newRow("the media type is matched in any case, the charset still applies")
        << QByteArray("WAN IP is \xe9") << QByteArray(" Text/Plain ; charset=windows-1252")
        << QString::fromUtf8("WAN IP is \u00e9");
}

void TestPageText::routerPages()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, expected);
    QCOMPARE(pageText(body, contentType), expected);
}

void TestPageText::placeholdersMatchPlainParse_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<bool>("mustUsePlaceholders");

    for (const char* name :
         {"log-in-pre.html", "log-in-textarea.html", "log-in-table.html", "log-with-br.html"})
        QTest::newRow(name) << fixture(name) << true;
    QTest::newRow("long runs in a title, a body and after a character reference")
        << QByteArray("<title>a router's system log page</title>&amp;the body text of the page&notit;"
                      "more body text of the page")
        << true;
    QTest::newRow("a quoted attribute value holding '>' and text")
        << QByteArray("<div title=\"a > bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb\" x='>cccccccccccccccccccccc'>"
                      "ddddddddddddddddddddddd</div>")
        << true;
    QTest::newRow("comments closed early or with a bang")
        << QByteArray("<!-->xxxxxxxxxxxxxxxxxxxxxxxxx<!--->yyyyyyyyyyyyyyyyyyyyyyyyyy<!--!>in comment still"
                      "--!>zzzzzzzzzzzzzzzzzzzzzzzzzzzz")
        << false;
    QTest::newRow("a script that looks closed but is escaped")
        << QByteArray("<script><!--<script>aaaaaaaaaaaaaaaaaaaaaaaaaa</script>bbbbbbbbbbbbbbbbbbbbbbbbbbbb"
                      "</script>cccccccccccccccccccccccccccc")
        << false;
    QTest::newRow("CDATA and text in SVG")
        << QByteArray(
               "<svg><![CDATA[aaaaaaaaaaaaaaaaaaaaaaa]]><text>bbbbbbbbbbbbbbbbbbbbbbbbbbbb</text></svg>"
               "<p>cccccccccccccccccccccccccccccccc</p>")
        << false;
    QTest::newRow("text in a frameset is thrown away")
        << QByteArray("<frameset>aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa bbbb</frameset>") << false;
    QTest::newRow("text directly in a table is moved in front of it")
        << QByteArray(
               "<table>aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa<tr><td>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb</td></tr>"
               "</table>")
        << true;
    QTest::newRow("NUL and CR inside text")
        << QByteArray("aaaaaaaaaaaaaaaaaaaaaaaaa\0bbbbbbbbbbbbbbbbbbbbbbbb\r"
                      "cccccccccccccccccccccccc\r\ndddddddddddddddddddddddd",
                      101)
        << true;
    QTest::newRow("plaintext swallows the rest of the page")
        << QByteArray("<plaintext>aaaaaaaaaaaaaaaaaaaaaaaaaaaa</plaintext>bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb")
        << false;
    QTest::newRow("a page that already holds plane-15 characters")
        << QByteArray("\xf3\xb0\x80\x80\xf3\xb8\x80\x80 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa") << false;
    QTest::newRow("numeric references to plane-15 characters")
        << QByteArray("&#xF0000;&#1015808;aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa") << false;
}

void TestPageText::placeholdersMatchPlainParse()
{
    QFETCH(QByteArray, html);
    QFETCH(bool, mustUsePlaceholders);
    InnerTextTrace trace;
    const QString fast = innerTextOfHtml(html, TextPlaceholders::On, &trace);
    QCOMPARE(fast, innerTextOfHtml(html, TextPlaceholders::Off, nullptr));
    if (mustUsePlaceholders) {
        QVERIFY(trace.placeholders > 0);
        QVERIFY(trace.placeholdersAccepted);
    }
}

void TestPageText::randomPagesMatchPlainParse_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 20; ++seed)
        QTest::addRow("random tag soup from seed %u", seed) << seed;
}

void TestPageText::randomPagesMatchPlainParse()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    for (int i = 0; i < 50; ++i) {
        const QByteArray page = randomPage(random);
        const QString fast = innerTextOfHtml(page, TextPlaceholders::On, nullptr);
        const QString plain = innerTextOfHtml(page, TextPlaceholders::Off, nullptr);
        if (fast != plain)
            qWarning("page: %s", page.toPercentEncoding(" <>/=\"'!-&;").constData());
        QCOMPARE(fast, plain);
    }
}

void TestPageText::nestingCap_data()
{
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<QByteArray>("close");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("mustDropTags");

    QTest::newRow("divs nested just under the cap are left alone")
        << QByteArray("<div>") << QByteArray("</div>") << kMaxHtmlNesting << false;
    QTest::newRow("list items in lists nested just under the cap are left alone")
        << QByteArray("<ul><li>") << QByteArray("</li></ul>") << kMaxHtmlNesting / 2 << false;
    QTest::newRow("divs nested past the cap keep their text")
        << QByteArray("<div>") << QByteArray("</div>") << 1000 << true;
    QTest::newRow("unclosed bold nested past the cap keeps its text")
        << QByteArray("<b>") << QByteArray() << 1000 << true;
}

void TestPageText::nestingCap()
{
    QFETCH(QByteArray, open);
    QFETCH(QByteArray, close);
    QFETCH(int, depth);
    QFETCH(bool, mustDropTags);
    QByteArray page = "<html><body>";
    QStringList words;
    for (int i = 0; i < depth; ++i) {
        words << QStringLiteral("w%1").arg(i);
        page += open + words.last().toLatin1() + ' ';
    }
    for (int i = 0; i < depth; ++i)
        page += close;
    page += "<p>after</p>";
    words << QStringLiteral("after");

    QCOMPARE(prepareHtml(page, TextPlaceholders::Off).tagsDropped, mustDropTags);
    const QString text = innerTextOfHtml(page);
    QCOMPARE(wordsOf(text), words);
    if (!mustDropTags && open == "<div>") {
        // Untouched, each div is still a line of its own.
        QCOMPARE(text.count(QStringLiteral("\r\n")), depth + 1);
    }
}

void TestPageText::hostileInput_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("mustContain");

    QTest::newRow("an empty page") << QByteArray() << QString();
    QRandomGenerator random(42);
    QByteArray junk(1 << 20, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(junk.data()), junk.size() / 4);
    for (qsizetype i = 0; i < junk.size(); i += 97)
        junk[i] = '\0';
    QTest::newRow("binary junk with NULs") << QByteArray("<p>START</p>") + junk << "START";
    for (const char* tag : {"div", "span", "b", "table", "li", "svg", "select", "a", "font"}) {
        const QByteArray open = "<" + QByteArray(tag) + ">";
        QTest::addRow("100,000 nested %s elements", tag) << repeated(open, 100000) + "deep"
                                                         << "deep";
    }
    QTest::newRow("100,000 nested tables with cells") << repeated("<table><tr><td>", 100000) + "deep"
                                                      << "deep";
    QTest::newRow("100,000 misnested inline elements") << repeated("<span><div></span>", 100000) + "deep"
                                                       << "deep";
    // Both make gumbo 0.10.1 fail an assertion when it parses SVG or MathML.
    QTest::newRow("CDATA in SVG moved out of a table")
        << QByteArray("<p>START</p><table><svg><desc><![CDATA[>]]>x") << "START";
    QTest::newRow("selects in SVG moved out of a table")
        << QByteArray("<p>START</p><table><svg><select><foreignObject><select><table>") << "START";
    // The tree builder reopens formatting elements left open; these once grew its stack without bound.
    QTest::newRow("100,000 links each closing an inner bold") << repeated("<a><b></a>", 100000) + "deep"
                                                              << "deep";
    QByteArray distinctBolds;
    for (int i = 0; i < 100000; ++i)
        distinctBolds += "<div><b class=" + QByteArray::number(i) + ">x</div>";
    QTest::newRow("100,000 unclosed bolds, each with its own attributes") << distinctBolds + "deep"
                                                                          << "deep";
    QTest::newRow("an unterminated tag") << QByteArray("<p>START</p><div class=\"x y") << "START";
    QTest::newRow("an unterminated comment") << QByteArray("<p>START</p><!-- never closed <p>x") << "START";
    QTest::newRow("an unterminated attribute quote") << QByteArray("<p>START</p><a href='x>text") << "START";
    QTest::newRow("an unterminated script") << QByteArray("<p>START</p><script>if (a < b) {") << "START";
    QTest::newRow("a 32 MiB line") << "<pre>" + QByteArray(32 << 20, 'x') + " END</pre>"
                                   << "END";
    QTest::newRow("a 32 MiB line of words in a table cell")
        << "<table><tr><td>" + repeated("word ", (32 << 20) / 5) + "END</td></tr></table>"
        << "END";
    QTest::newRow("a 32 MiB page of nested tags") << repeated("<div><span>", (32 << 20) / 11) + "END"
                                                  << "END";
}

void TestPageText::hostileInput()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, mustContain);
    const QString text = pageText(body, "text/html");
    if (mustContain.isEmpty())
        QVERIFY(text.isEmpty());
    else
        QVERIFY(text.contains(mustContain));
}

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
