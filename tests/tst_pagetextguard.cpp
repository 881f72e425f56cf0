// Tests for the guard in front of gumbo: pages nested past a browser's depth,
// pages built to exhaust memory or crash the parser, and the pre-pass never
// changing the text a browser shows.

#include "html/gumboarena.h"
#include "html/htmlprepass.h"
#include "html/pagetext.h"
#include "html/pagetext_p.h"
#include "support/cpuload.h"
#include "support/sanitizers.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

using namespace parlowen;

namespace {

QString textOf(const Result<QString, PageTextError>& result)
{
    return result ? result.value() : QStringLiteral("<%1>").arg(toString(result.error()));
}

QString textOf(const Result<PageText, PageTextError>& result)
{
    return result ? result.value().text : QStringLiteral("<%1>").arg(toString(result.error()));
}

// A tree as text: each node's kind, tag (by its name in the page for one
// gumbo does not know), attributes and text; walked without recursion, as
// reopened formatting makes deep trees.
QByteArray serialised(const GumboNode* root)
{
    QByteArray out;
    std::vector<std::pair<const GumboNode*, unsigned>> open{{root, 0}};
    while (!open.empty()) {
        auto& [node, next] = open.back();
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
            node->type == GUMBO_NODE_CDATA || node->type == GUMBO_NODE_COMMENT) {
            out += QByteArray::number(node->type) + '[' + node->v.text.text + ']';
            open.pop_back();
            continue;
        }
        const bool document = node->type == GUMBO_NODE_DOCUMENT;
        if (next == 0) {
            out += QByteArray::number(node->type);
            if (!document) {
                const GumboElement& element = node->v.element;
                out += element.tag == GUMBO_TAG_UNKNOWN
                           ? QByteArray(element.original_tag.data, qsizetype(element.original_tag.length))
                           : QByteArray(gumbo_normalized_tagname(element.tag));
                for (unsigned i = 0; i < element.attributes.length; ++i) {
                    const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
                    out += ' ' + QByteArray(attribute->name) + '=' + attribute->value;
                }
            }
            out += '(';
        }
        const GumboVector& children = document ? node->v.document.children : node->v.element.children;
        if (next == children.length) {
            out += ')';
            open.pop_back();
            continue;
        }
        open.emplace_back(static_cast<const GumboNode*>(children.data[next++]), 0);
    }
    return out;
}

QStringList wordsOf(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// A page of one shape repeated up to about bytes.
QByteArray repeatedTo(const QByteArray& shape, qsizetype bytes)
{
    return shape.repeated(bytes / shape.size());
}

// The process's address space in bytes.
qint64 addressSpace()
{
    FILE* statm = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    if (statm) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return qint64(pages) * sysconf(_SC_PAGESIZE);
}

enum class ChildOutcome { Text, TooComplex, Crashed };

// AddressSanitizer gives every allocation red zones and keeps freed ones a
// while: there a page's memory is about three times what it is.
#ifdef PARLOWEN_UNDER_ADDRESS_SANITIZER
constexpr qint64 kMemoryPerAllocated = 3;
#else
constexpr qint64 kMemoryPerAllocated = 1;
#endif

// Renders the page in a child process whose address space may grow by at
// most sixteen times the page plus a constant, the tree's budget and the
// text beside it: more, and an allocation fails and the child dies.
ChildOutcome renderWithinMemoryLimit(const QByteArray& page, const QString& mustContain)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlim_t limit = rlim_t(addressSpace() + kMemoryPerAllocated * (16 * page.size() + (96 << 20)));
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_AS, &rl);
        const Result<PageText, PageTextError> text = renderPageText(page, "text/html");
        if (!text)
            _exit(text.error() == PageTextError::TooComplex ? 2 : 3);
        _exit(text.value().text.contains(mustContain) ? 0 : 4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 2))
        return ChildOutcome::Crashed;
    return WEXITSTATUS(status) == 0 ? ChildOutcome::Text : ChildOutcome::TooComplex;
}

} // namespace

class TestPageTextGuard : public QObject {
    Q_OBJECT

private slots:
    void nestingPastTheCap_data()
    {
        QTest::addColumn<QByteArray>("open");
        QTest::addColumn<QByteArray>("close");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("mustFlatten");
        const auto row = [](const char* name, const char* open, const char* close, int depth, bool flatten) {
            QTest::newRow(name) << QByteArray(open) << QByteArray(close) << depth << flatten;
        };
        row("divs nested as deep as a browser nests are left alone", "<div>", "</div>", kMaxHtmlNesting - 2,
            false);
        row("list items in lists nested that deep are left alone", "<ul><li>", "</li></ul>",
            kMaxHtmlNesting / 2 - 1, false);
        row("divs nested past the cap become siblings and keep their text", "<div>", "</div>", 1000, true);
        row("unclosed bold nested past the cap keeps its text", "<b>", "", 1000, true);
        row("unclosed unknown elements nested past the cap keep their text", "<x-log>", "", 1000, true);
    }
    void nestingPastTheCap()
    {
        QFETCH(QByteArray, open);
        QFETCH(QByteArray, close);
        QFETCH(int, depth);
        QFETCH(bool, mustFlatten);
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

        WorkBudget unbounded;
        QCOMPARE(prepareHtml(page, TextPlaceholders::Off, unbounded).closedForDepth > 0, mustFlatten);
        const QString text = textOf(innerTextOfHtml(page));
        QCOMPARE(wordsOf(text), words);
        if (open == "<div>") // nested or flattened, each div is a line of its own
            QCOMPARE(text.count(QStringLiteral("\r\n")), depth + 1);
    }

    // Pages a browser shows one way, which once read differently here.
    void textIsNeverChanged_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("expectedTail");
        const auto row = [](const char* name, const QByteArray& page, const QString& tail) {
            QTest::newRow(name) << page << tail;
        };
        QByteArray fontLog;
        for (int i = 0; i < 300; ++i)
            fontLog += "<font color=green>Jan  1 00:00:" + QByteArray::number(i % 60) + " kernel: ok<br>";
        row("blocks after a log of 300 unclosed font lines stay lines of their own",
            fontLog + "<div>WAN IP is 203.0.113.7</div><div>next entry</div>",
            "\r\nWAN IP is 203.0.113.7\r\nnext entry");
        row("a script after a log of 300 unclosed font lines stays hidden",
            fontLog + "<script>var s = 'WAN IP is 0.0.0.0';</script>end", "ok\r\nend");
        QByteArray linkLog;
        for (int i = 0; i < 600; ++i)
            linkLog += "<a href=l" + QByteArray::number(i) + ">entry</a ><br>";
        row("600 link lines whose end tags do not close them keep the style sheet hidden",
            linkLog.replace("</a >", "") + "<style>p{}</style>end", "entry\r\nend");
        row("a hidden bold reopened in the next paragraph still hides",
            "<p>x<b hidden>internal<p>WAN IP is 10.1.1.1</p>", "x");
        row("a hidden font reopened in the next paragraph still hides",
            "<p>x<font style=\"display:none\">internal<p>WAN IP is 10.1.1.1</p>", "x");
        // Enough of them that the text spans several of its mebibyte pieces.
        QByteArray wide;
        for (int i = 0; i < 300000; ++i)
            wide += "\xf3\xa0\x80\x81&amp;"; // U+E0001, then '&'
        row("characters from planes 12 to 14 survive the text's mebibyte pieces",
            "<p>a run long enough for a placeholder</p><pre>" + wide + "</pre>",
            QString::fromUtf8(QByteArray("\xf3\xa0\x80\x81&").repeated(300000)));
    }
    void textIsNeverChanged()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, expectedTail);
        const QString text = textOf(renderPageText(page, "text/html"));
        if (!text.endsWith(expectedTail))
            QFAIL(qPrintable(QStringLiteral("ends with: ") + text.right(80)));
    }

    // Each would crash, hang or take gigabytes of memory in gumbo unguarded.
    // The verdict depends on the page alone, so each row says which it gets.
    void hostileInput_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("mustContain");
        QTest::addColumn<bool>("tooComplex");
        const auto row = [](const char* name, const QByteArray& body, const char* mustContain, bool complex) {
            QTest::newRow(name) << body << QString(mustContain) << complex;
        };
        row("an empty page", "", "", false);
        QRandomGenerator random(42);
        QByteArray junk(1 << 20, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(junk.data()), junk.size() / 4);
        for (qsizetype i = 0; i < junk.size(); i += 97)
            junk[i] = '\0';
        row("binary junk with NULs", "<p>START</p>" + junk, "START", false);
        row("loose text in 100,000 nested svg elements is not rendered",
            QByteArray("<svg>").repeated(100000) + "deep", "", false);
        for (const char* tag : {"div", "span", "b", "table", "li", "select", "a", "font", "nobr"})
            QTest::addRow("100,000 nested %s elements", tag)
                << ('<' + QByteArray(tag) + '>').repeated(100000) + "deep" << QString("deep") << false;
        row("100,000 nested tables with cells", QByteArray("<table><tr><td>").repeated(100000) + "deep",
            "deep", false);
        row("100,000 misnested inline elements", QByteArray("<span><div></span>").repeated(100000) + "deep",
            "deep", false);
        // Both make gumbo 0.10.1 fail an assertion when it parses SVG or MathML.
        row("CDATA in SVG moved out of a table", "<p>START</p><table><svg><desc><![CDATA[>]]>x", "START",
            false);
        row("selects in SVG moved out of a table",
            "<p>START</p><table><svg><select><foreignObject><select><table>", "START", false);
        // gumbo matches an unknown end tag to the innermost unknown element,
        // so each of these leaves one element open.
        row("300,000 unknown elements each closing the next one",
            QByteArray("<x><y></x>").repeated(300000) + "deep", "deep", true);
        row("30,000 unknown elements each closing the next one",
            QByteArray("<x><y></x>").repeated(30000) + "deep", "deep", false);
        // The page and its sheets have one budget: this parse leaves a
        // quarter of it, too little for the rules that a page of paragraphs
        // may have.
        const QByteArray parseOfMostOfTheBudget = QByteArray("<x><y></x>").repeated(100000) + "deep";
        const QByteArray universalRules = "<style>" + QByteArray("*{display:block}").repeated(500) + "</style>";
        row("100,000 unknown elements each closing the next one", parseOfMostOfTheBudget, "deep", false);
        row("500 universal rules over 100,000 paragraphs",
            universalRules + QByteArray("<p>x</p>").repeated(100000) + "deep", "deep", false);
        row("the same rules after a parse that spent most of the budget",
            universalRules + parseOfMostOfTheBudget, "deep", true);
        row("300,000 links each closing an inner bold", QByteArray("<a><b></a>").repeated(300000) + "deep",
            "deep", true);
        QByteArray distinctBolds;
        for (int i = 0; i < 100000; ++i)
            distinctBolds += "<div><b class=" + QByteArray::number(i) + ">x</div>";
        row("100,000 unclosed bolds, each with its own attributes", distinctBolds + "deep", "deep", true);
        row("100,000 links each closing a block", QByteArray("<a><div></a>x").repeated(100000) + "deep",
            "deep", true);
        QByteArray attributes = "<p ";
        for (int i = 0; i < 50000; ++i)
            attributes += 'a' + QByteArray::number(i) + ' ';
        row("a tag of 50,000 attributes", attributes + ">deep", "deep", true);
        row("200,000 stray end tags under 510 open elements",
            QByteArray("<x-y>").repeated(510) + QByteArray("</li>").repeated(200000) + "deep", "deep", false);
        // gumbo drops each NUL without a node, so no budget of its work
        // ever stopped its parse loop, which ends the program at a billion turns.
        row("a page one byte larger than a load takes, of NULs, is refused unread",
            QByteArray(kLargestPageBytes + 1, '\0'), "", true);
        row("an unterminated tag", "<p>START</p><div class=\"x y", "START", false);
        row("an unterminated comment", "<p>START</p><!-- never closed <p>x", "START", false);
        row("an unterminated attribute quote", "<p>START</p><a href='x>text", "START", false);
        row("an unterminated script", "<p>START</p><script>if (a < b) {", "START", false);
        // Style sheets are read within the same budgets.
        row("100,000 nested @media blocks",
            "<style>" + QByteArray("@media screen{").repeated(100000) +
                ".a{display:none}</style><p class=a>deep",
            "deep", false);
        row("a selector of 100,000 nested :not()",
            "<style>" + QByteArray(":not(").repeated(100000) + "p" + QByteArray(")").repeated(100000) +
                "{display:none}</style><p>deep",
            "deep", false);
        row("100,000 open parentheses in a rule",
            "<style>.a{display:" + QByteArray("(").repeated(100000) + "</style><p class=a>deep", "deep",
            false);
        row("a chain of 2,000 descendant selectors over 20,000 nested elements",
            "<style>" + QByteArray("div ").repeated(2000) + "span{display:none}</style>" +
                QByteArray("<div>").repeated(20000) + "<i>deep</i>",
            "deep", false);
        QByteArray siblings = "<style>" + QByteArray("p ~ ").repeated(500) +
                              "b{display:none} li:nth-child(2n)"
                              "{display:none}</style><ul>" +
                              QByteArray("<li>x").repeated(50000) + "</ul>";
        row("sibling chains over 50,000 list items", siblings + "<p>deep", "deep", false);
        row("a selector of 30,000 compounds over 40,000 siblings",
            "<style>" + QByteArray("i+").repeated(30000) + "i{display:none}</style><div>" +
                QByteArray("<i>x</i>").repeated(40000) + "</div><p>deep",
            "deep", false);
    }
    void hostileInput()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, mustContain);
        QFETCH(bool, tooComplex);
        const Result<PageText, PageTextError> text = renderPageText(body, "text/html");
        QCOMPARE(!text, tooComplex);
        if (text)
            QVERIFY(mustContain.isEmpty() ? text.value().text.isEmpty()
                                          : text.value().text.contains(mustContain));
    }

    // A budget of processor time once read some of these pages on an idle
    // machine and refused them on a busy one.
    void hostileInputOnOneBusyCore_data() { hostileInput_data(); }
    void hostileInputOnOneBusyCore()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, tooComplex);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        cpu_set_t all;
        QCOMPARE(sched_getaffinity(0, sizeof all, &all), 0);
        QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
        QProcess busy;
        busy.start("taskset", QStringList{"-c", QString::number(sched_getcpu())} + BusyLoop);
        QVERIFY(busy.waitForStarted());
        const bool refused = !renderPageText(body, "text/html");
        busy.terminate();
        busy.waitForFinished();
        sched_setaffinity(0, sizeof all, &all);
        QCOMPARE(refused, tooComplex);
    }

    // The arena on its own: each budget stops a parse, and the work counted
    // follows gumbo's quadratic paths, which only the hooks in front of its
    // list functions can see.
    void arenaBudgets()
    {
        const QByteArray small = "<p>x";
        GumboArena roomy(std::size_t(1) << 20, std::size_t(small.size()));
        WorkBudget first;
        QVERIFY(roomy.parse(small, first));
        WorkBudget second;
        QVERIFY(roomy.parse(small, second)); // the arena parses again, and counts the same
        QCOMPARE(second.spent(), first.spent());

        const QByteArray paragraphs = QByteArray("<p>x").repeated(10000);
        WorkBudget unbounded;
        QVERIFY(!GumboArena(64 << 10, std::size_t(paragraphs.size())).parse(paragraphs, unbounded));
        const std::atomic<bool> cancelled{true};
        WorkBudget cancelledReading(UINT64_MAX, &cancelled);
        QVERIFY(!GumboArena(std::size_t(1) << 30, std::size_t(paragraphs.size())).parse(paragraphs, cancelledReading));

        const auto workOf = [](const QByteArray& page) {
            GumboArena arena(std::size_t(1) << 30, std::size_t(page.size()));
            WorkBudget work;
            return arena.parse(page, work) ? work.spent() : 0;
        };
        // Ten times the reopened bolds cost about a hundred times the steps;
        // ten times as many paragraphs, ten times.
        const std::uint64_t reopened = workOf(QByteArray("<a><b></a>").repeated(300));
        QCOMPARE_GT(workOf(QByteArray("<a><b></a>").repeated(3000)), 50 * reopened);
        QCOMPARE_LT(workOf(paragraphs), 20 * workOf(QByteArray("<p>x").repeated(1000)));
        QCOMPARE_GT(GumboArena::workBudget(32 << 20), workOf(QByteArray("<a><b></a>").repeated(3000)));

        // Exactly enough, and the same less what the pre-pass spent before.
        const std::uint64_t needed = workOf(paragraphs);
        WorkBudget exactly(needed);
        QVERIFY(GumboArena(std::size_t(1) << 30, std::size_t(paragraphs.size())).parse(paragraphs, exactly));
        WorkBudget halfSpent(needed, nullptr, needed / 2);
        QVERIFY(!GumboArena(std::size_t(1) << 30, std::size_t(paragraphs.size())).parse(paragraphs, halfSpent));
    }

    // The arena hands out blocks of every size class, reuses those gumbo
    // gives back, and tells its own blocks from large ones by their address
    // alone: a block given out twice, or back onto the wrong list, shows as
    // a tree that differs from the one gumbo builds with malloc. A second
    // parse in the same arena reuses the first one's freed blocks while
    // its tree lives on.
    void arenaKeepsEveryBlockApart_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<qsizetype>("slabsFor");
        const auto text = [](int length, int i) { return QByteArray(length, char('a' + i % 26)); };
        QByteArray texts, attributes, reopened;
        for (int i = 0; i <= 1100; ++i) {
            texts += "<p>" + text(i, i) + "</p><!--" + text(i % 40, i + 1) + "-->";
            attributes += "<a x" + QByteArray::number(i) + "=\"" + text(i, i) + "\" y>" + text(i % 9, i);
            if (i < 300)
                reopened += "<p><b><i><u>" + text(i % 30, i) + "</p>" + text(i % 7, i);
        }
        QByteArray list = "<ul>";
        for (int i = 0; i < 3000; ++i)
            list += "<li>" + QByteArray::number(i) + (i % 3 ? "</li>" : "<x-item>y</x-item></li>");
        QByteArray table = "<table>";
        for (int i = 0; i < 1000; ++i)
            table += "<tr><td>" + text(15, i) + "</td><td>" + text(i % 80, i) + "</td></tr>\r\n";
        for (qsizetype slabsFor : {qsizetype(0), qsizetype(1) << 20}) {
            const QByteArray slabs = slabsFor ? " in large slabs" : " in small slabs";
            QTest::newRow("texts of every length" + slabs) << texts << slabsFor;
            QTest::newRow("attributes of every length" + slabs) << attributes << slabsFor;
            QTest::newRow("formatting reopened" + slabs) << reopened << slabsFor;
            QTest::newRow("a list of unknown elements" + slabs) << list << slabsFor;
            QTest::newRow("a table log" + slabs) << table << slabsFor;
        }
    }

    void arenaKeepsEveryBlockApart()
    {
        QFETCH(QByteArray, page);
        QFETCH(qsizetype, slabsFor);
        const auto plainlyParsed = [](const QByteArray& html) {
            GumboOutput* plain = gumbo_parse_with_options(&kGumboDefaultOptions, html.constData(), size_t(html.size()));
            const QByteArray tree = serialised(plain->document);
            gumbo_destroy_output(&kGumboDefaultOptions, plain);
            return tree;
        };

        GumboArena arena(std::size_t(1) << 30, std::size_t(std::max(slabsFor, page.size())));
        WorkBudget first;
        const GumboOutput* firstTree = arena.parse(page, first);
        QVERIFY(firstTree);
        const QByteArray again = page + "<p>" + page;
        WorkBudget second;
        const GumboOutput* secondTree = arena.parse(again, second);
        QVERIFY(secondTree);
        QCOMPARE(serialised(firstTree->document), plainlyParsed(page));
        QCOMPARE(serialised(secondTree->document), plainlyParsed(again));
    }

    // Pages at the size limit, each rendered in a child process that may use
    // no more than sixteen times the page's size in memory.
    void largePagesStayWithinMemory_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("mustContain");
        QTest::addColumn<bool>("mustRender");
        constexpr qsizetype cap = 32 << 20;
        const auto row = [](const char* name, const QByteArray& body, const char* mustContain, bool render) {
            QTest::newRow(name) << body << QString(mustContain) << render;
        };
        row("a 32 MiB line", "<pre>" + QByteArray(cap - 32, 'x') + " END</pre>", "END", true);
        row("a 32 MiB line of words in a table cell",
            "<table><tr><td>" + QByteArray("word ").repeated(cap / 5 - 8) + "END</td></tr></table>", "END",
            true);
        row("a 32 MiB log of three short cells a row",
            "<table>" + repeatedTo("<tr><td>Jan  1 00:00:01</td><td>pppd</td><td>lcp echo reply ok</td></tr>\n",
                                   cap - 128) +
                "<tr><td>END</td></tr></table>",
            "END", true);
        row("a 32 MiB page of nested tags", repeatedTo("<div><span>", cap) + "END", "END", false);
        row("32 MiB of isindex", repeatedTo("<isindex>", cap), "", false);
        row("32 MiB of text between line breaks", repeatedTo("a<br>", cap), "", false);
        row("32 MiB of escaped markup on lines ended by CR, one run for the pre-pass",
            "<textarea>" + repeatedTo("&lt;b&gt;\r", cap - 32) + "END</textarea>", "END", true);
        row("32 MiB of paragraphs", repeatedTo("<p>", cap), "", false);
        row("32 MiB of paragraph end tags in a body", "<body>" + repeatedTo("</p>", cap), "", false);
        row("32 MiB of unknown elements closing each other", repeatedTo("<x><y></x>", cap), "", false);
        row("32 MiB of NULs", QByteArray(cap, '\0'), "", true);
        row("32 MiB of NULs in a pre, then text", "<pre>" + QByteArray(cap - 32, '\0') + "END</pre>", "END",
            true);
        row("32 MiB of tag openers", QByteArray(cap - 8, '<') + " END", "END", true);
        row("32 MiB of ampersands", QByteArray(cap - 8, '&') + "END", "END", true);
        row("32 MiB of unfinished numeric references", repeatedTo("&#0", cap - 8) + "END", "END", true);
        row("a 32 MiB attribute value", "<p title=\"" + QByteArray(cap - 32, 'x') + "\">END", "END", true);
        row("a 32 MiB attribute name", "<p " + QByteArray(cap - 32, 'x') + ">END", "END", true);
        row("a 32 MiB sheet of tiny rules",
            "<style>" + repeatedTo(".a{display:none}", cap - 64) + "</style>END", "END", false);
        row("a 32 MiB sheet of one rule's selector list",
            "<style>" + repeatedTo(":not(.a),", cap - 64) + "b{display:none}</style>END", "END", false);
    }
    void largePagesStayWithinMemory()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, mustContain);
        QFETCH(bool, mustRender);
        const ChildOutcome outcome = renderWithinMemoryLimit(body, mustContain);
        QVERIFY(outcome != ChildOutcome::Crashed);
        if (mustRender)
            QCOMPARE(outcome, ChildOutcome::Text);
    }
};

QTEST_GUILESS_MAIN(TestPageTextGuard)
#include "tst_pagetextguard.moc"
