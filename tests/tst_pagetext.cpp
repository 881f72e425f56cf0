// Tests for the page-to-text renderer: decoding, the innerText rules, the
// pre-pass that keeps gumbo fast, and pages built to hurt.

#include "html/htmlprepass.h"
#include "html/pagetext.h"
#include "html/pagetext_p.h"

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

QStringList wordsOf(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
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
        row("a closed details shows only its summary",
            "<details><summary>More</summary>hid</details><details open><summary>S</summary>shown</details>",
            "More\r\nS\r\nshown");
        row("text in SVG and MathML shows as inline text",
            "a <svg><text>b</text><path/></svg> <math><mi>c</mi></math>", "a b c");
    }
    void innerText()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, expected);
        QCOMPARE(innerTextOfHtml(html), expected);
    }

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
        QCOMPARE(pageText(body, contentType), expected);
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
        const QString fast = innerTextOfHtml(html, TextPlaceholders::On, &trace);
        QCOMPARE(fast, innerTextOfHtml(html, TextPlaceholders::Off, nullptr));
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
            const QString fast = innerTextOfHtml(page, TextPlaceholders::On, nullptr);
            const QString plain = innerTextOfHtml(page, TextPlaceholders::Off, nullptr);
            if (fast != plain)
                qWarning("page: %s", page.toPercentEncoding(" <>/=\"'!-&;").constData());
            QCOMPARE(fast, plain);
        }
    }

    void nestingCap_data()
    {
        QTest::addColumn<QByteArray>("open");
        QTest::addColumn<QByteArray>("close");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("mustDropTags");
        const auto row = [](const char* name, const char* open, const char* close, int depth, bool drop) {
            QTest::newRow(name) << QByteArray(open) << QByteArray(close) << depth << drop;
        };
        row("divs nested just under the cap are left alone", "<div>", "</div>", kMaxHtmlNesting, false);
        row("list items in lists nested just under the cap are left alone", "<ul><li>", "</li></ul>",
            kMaxHtmlNesting / 2, false);
        row("divs nested past the cap keep their text", "<div>", "</div>", 1000, true);
        row("unclosed bold nested past the cap keeps its text", "<b>", "", 1000, true);
    }
    void nestingCap()
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
        if (!mustDropTags && open == "<div>") // untouched, each div is still a line of its own
            QCOMPARE(text.count(QStringLiteral("\r\n")), depth + 1);
    }

    void hostileInput_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("mustContain");
        const auto row = [](const char* name, const QByteArray& body, const char* mustContain) {
            QTest::newRow(name) << body << QString(mustContain);
        };
        row("an empty page", "", "");
        QRandomGenerator random(42);
        QByteArray junk(1 << 20, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(junk.data()), junk.size() / 4);
        for (qsizetype i = 0; i < junk.size(); i += 97)
            junk[i] = '\0';
        row("binary junk with NULs", "<p>START</p>" + junk, "START");
        for (const char* tag : {"div", "span", "b", "table", "li", "svg", "select", "a", "font"})
            QTest::addRow("100,000 nested %s elements", tag)
                << ('<' + QByteArray(tag) + '>').repeated(100000) + "deep" << QString("deep");
        row("100,000 nested tables with cells", QByteArray("<table><tr><td>").repeated(100000) + "deep",
            "deep");
        row("100,000 misnested inline elements", QByteArray("<span><div></span>").repeated(100000) + "deep",
            "deep");
        // Both make gumbo 0.10.1 fail an assertion when it parses SVG or MathML.
        row("CDATA in SVG moved out of a table", "<p>START</p><table><svg><desc><![CDATA[>]]>x", "START");
        row("selects in SVG moved out of a table",
            "<p>START</p><table><svg><select><foreignObject><select><table>", "START");
        // The tree builder reopens formatting elements left open; these once grew its stack without bound.
        row("100,000 links each closing an inner bold", QByteArray("<a><b></a>").repeated(100000) + "deep",
            "deep");
        QByteArray distinctBolds;
        for (int i = 0; i < 100000; ++i)
            distinctBolds += "<div><b class=" + QByteArray::number(i) + ">x</div>";
        row("100,000 unclosed bolds, each with its own attributes", distinctBolds + "deep", "deep");
        row("an unterminated tag", "<p>START</p><div class=\"x y", "START");
        row("an unterminated comment", "<p>START</p><!-- never closed <p>x", "START");
        row("an unterminated attribute quote", "<p>START</p><a href='x>text", "START");
        row("an unterminated script", "<p>START</p><script>if (a < b) {", "START");
        row("a 32 MiB line", "<pre>" + QByteArray(32 << 20, 'x') + " END</pre>", "END");
        row("a 32 MiB line of words in a table cell",
            "<table><tr><td>" + QByteArray("word ").repeated((32 << 20) / 5) + "END</td></tr></table>",
            "END");
        row("a 32 MiB page of nested tags", QByteArray("<div><span>").repeated((32 << 20) / 11) + "END",
            "END");
    }
    void hostileInput()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, mustContain);
        const QString text = pageText(body, "text/html");
        QVERIFY(mustContain.isEmpty() ? text.isEmpty() : text.contains(mustContain));
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
