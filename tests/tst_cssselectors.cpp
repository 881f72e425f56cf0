// Selectors read and matched on their own: which elements of a page each
// matches, how specific it is, and the media features of the screen.

#include "css/mediaquery.h"
#include "css/selector.h"
#include "css/selectormatcher.h"
#include "css/tokenizer.h"
#include "support/sanitizers.h"

#include <gumbo.h>

#include <QTest>
#include <QThread>

#include <memory>

#include <vector>

using namespace parlowen;

namespace {

std::vector<CssToken> tokensOf(const QByteArray& text, QByteArray* preprocessed = nullptr)
{
    WorkBudget work;
    CssTokenizer tokenizer(text, work);
    std::vector<CssToken> tokens;
    for (CssToken t = tokenizer.next(); !t.is(CssToken::Type::End); t = tokenizer.next())
        tokens.push_back(t);
    if (preprocessed)
        *preprocessed = tokenizer.text();
    return tokens;
}

SelectorList parse(const QByteArray& selector)
{
    QByteArray text;
    const std::vector<CssToken> tokens = tokensOf(selector, &text);
    return parseSelectorList(tokens, text);
}

// The ids of the elements the selector matches, in document order.
QByteArray matchedIds(const Selector& selector, const GumboNode* root, WorkBudget& work)
{
    SelectorMatcher matcher(false, work);
    QByteArrayList ids;
    std::vector<const GumboNode*> pending = {root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        const GumboAttribute* id = gumbo_get_attribute(&node->v.element.attributes, "id");
        if (id && matcher.matches(selector, node))
            ids.append(id->value);
        const GumboVector& children = node->v.element.children;
        for (unsigned i = children.length; i-- > 0;) {
            if (static_cast<const GumboNode*>(children.data[i])->type == GUMBO_NODE_ELEMENT)
                pending.push_back(static_cast<const GumboNode*>(children.data[i]));
        }
    }
    return ids.join(' ');
}

QByteArray specificityOf(const Selector& selector)
{
    const uint32_t s = selector.specificity;
    return QByteArray::number(s >> 20) + ',' + QByteArray::number(s >> 10 & 1023) + ',' +
           QByteArray::number(s & 1023);
}

} // namespace

// An eighth of a worker thread's stack; AddressSanitizer's frames are
// several times larger, so there the whole of one.
#ifdef PARLOWEN_UNDER_ADDRESS_SANITIZER
constexpr unsigned kDeepestNestingStack = 8u << 20;
#else
constexpr unsigned kDeepestNestingStack = 1u << 20;
#endif

class TestCssSelectors : public QObject {
    Q_OBJECT

private slots:
    void matching_data()
    {
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<QByteArray>("markup");
        QTest::addColumn<QByteArray>("matched");
        QTest::addColumn<QByteArray>("specificity");
        const QByteArray has =
            "<div id=a><p id=p1 class=x></p><span id=s1></span></div><div id=b><span id=s2>"
            "</span><p id=p2></p></div><div id=c><i id=i1><p id=p3 class=x></p></i></div>"
            "<h1 id=h></h1><p id=p4></p><h2 id=h2></h2><span id=s3></span><p id=p5></p>";
        QTest::newRow(":has(> p)") << QByteArray("div:has(> p)") << has << QByteArray("a b")
                                   << QByteArray("0,0,2");
        QTest::newRow(":has(p)") << QByteArray("div:has(p)") << has << QByteArray("a b c")
                                 << QByteArray("0,0,2");
        QTest::newRow(":has(+ p)") << QByteArray("span:has(+ p)") << has << QByteArray("s2 s3")
                                   << QByteArray("0,0,2");
        QTest::newRow(":has(~ p)") << QByteArray(":has(~ p)") << has << QByteArray("a b s2 c h p4 h2 s3")
                                   << QByteArray("0,0,1");
        QTest::newRow(":has(> .x)") << QByteArray(":has(> .x)") << has << QByteArray("a i1")
                                    << QByteArray("0,1,0");
        QTest::newRow(":has(> i .x)")
            << QByteArray("div:has(> i .x)") << has << QByteArray("c") << QByteArray("0,1,2");
        QTest::newRow(":has(span + p)")
            << QByteArray("div:has(span + p)") << has << QByteArray("b") << QByteArray("0,0,3");
        QTest::newRow(":has(#a p), scoped")
            << QByteArray("div:has(#a p)") << has << QByteArray("") << QByteArray("1,0,2");
        QTest::newRow(":has(+ h2 ~ p)")
            << QByteArray(":has(+ h2 ~ p)") << has << QByteArray("p4") << QByteArray("0,0,2");
        QTest::newRow(":has(~ .x + .y), not itself")
            << QByteArray(":has(~ .x + .y)")
            << QByteArray("<i id=k class=x></i><b id=y class=y></b><i id=m></i>") << QByteArray("")
            << QByteArray("0,2,0");
        QTest::newRow(":has(~ .x) none")
            << QByteArray(":has(~ .x)") << has << QByteArray("") << QByteArray("0,1,0");
        QTest::newRow(":not(:has())")
            << QByteArray("div:not(:has(span))") << has << QByteArray("c") << QByteArray("0,0,2");
        QTest::newRow(":has(:has())")
            << QByteArray(":has(:has(p))") << has << QByteArray() << QByteArray("invalid");
        QTest::newRow(":has(::before)")
            << QByteArray(":has(::before)") << has << QByteArray() << QByteArray("invalid");
        QTest::newRow(":has() empty") << QByteArray(":has()") << has << QByteArray() << QByteArray("invalid");
        const QByteArray types =
            "<div id=x><p id=p1><span id=s1></span><p id=p2><b id=b1></b><p id=p3></div>";
        QTest::newRow("first-of-type")
            << QByteArray("p:first-of-type") << types << QByteArray("p1") << QByteArray("0,1,1");
        QTest::newRow("last-of-type")
            << QByteArray(":last-of-type") << types << QByteArray("x s1 b1 p3") << QByteArray("0,1,0");
        QTest::newRow("only-of-type")
            << QByteArray("div :only-of-type") << types << QByteArray("s1 b1") << QByteArray("0,1,1");
        QTest::newRow("nth-of-type") << QByteArray(":nth-of-type(2)") << types << QByteArray("p2")
                                     << QByteArray("0,1,0");
        QTest::newRow("nth-last-of-type") << QByteArray(":nth-last-of-type(2n+1)") << types
                                          << QByteArray("x p1 s1 b1 p3") << QByteArray("0,1,0");
        QTest::newRow("last of type, first child")
            << QByteArray(":nth-last-of-type(1)") << QByteArray("<div id=d><p id=a></p><b id=b></b></div>")
            << QByteArray("d a b") << QByteArray("0,1,0");
        QTest::newRow("only of type, flat")
            << QByteArray(":only-of-type")
            << QByteArray("<div id=d><b id=a></b><i id=b></i><i id=c></i></div>") << QByteArray("d a")
            << QByteArray("0,1,0");
        QTest::newRow("nth-of-type of S")
            << QByteArray(":nth-of-type(1 of p)") << types << QByteArray() << QByteArray("invalid");
        const QByteArray defined =
            "<x-log id=a></x-log><foo id=b></foo><font-face id=c></font-face><a-b.c id=d>"
            "</a-b.c><svg><x-y id=e></x-y></svg><x-1 id=f></x-1>";
        QTest::newRow("not defined") << QByteArray(":not(:defined)") << defined << QByteArray("a d f")
                                     << QByteArray("0,1,0");
        const QByteArray controls =
            "<button id=b1></button><button id=b2 disabled></button><input id=i1><select id=s1 disabled>"
            "<optgroup id=g1><option id=o1></option></optgroup></select><select id=s2><optgroup id=g2 "
            "disabled>"
            "<option id=o2></option></optgroup><option id=o3></option></select><fieldset id=f1 disabled>"
            "<legend><input id=i2></legend><legend><input id=i3></legend><input id=i4></fieldset>"
            "<div id=d disabled></div><textarea id=t disabled></textarea>";
        QTest::newRow("disabled") << QByteArray(":disabled") << controls
                                  << QByteArray("b2 s1 g1 o1 g2 o2 f1 i3 i4 t") << QByteArray("0,1,0");
        QTest::newRow("enabled") << QByteArray(":enabled") << controls << QByteArray("b1 i1 s2 o3 i2")
                                 << QByteArray("0,1,0");
        const QByteArray checks =
            "<input type=CHECKBOX checked id=c1><input type=radio name=r checked id=r1><input type=radio "
            "name=r "
            "checked id=r2><input type=radio checked id=r3><input type=radio checked id=r4><input checked "
            "id=t>"
            "<form><input type=radio name=r checked id=r5></form><select><option id=o1><option "
            "id=o2></select>"
            "<select><option selected id=o3><option selected id=o4></select><select multiple><option id=o5>"
            "<option selected id=o6><option selected id=o7></select><select><option disabled id=o8><option "
            "id=o9>"
            "</select><select size=2><option id=o10></select><select><optgroup><option "
            "id=o11></optgroup></select>";
        QTest::newRow("checked") << QByteArray(":checked") << checks
                                 << QByteArray("c1 r2 r3 r4 r5 o1 o4 o6 o7 o9 o11") << QByteArray("0,1,0");
        const QByteArray placeholders =
            "<input id=a placeholder=x><input id=b placeholder=''><input id=c placeholder=x value=v><input "
            "id=d "
            "type=checkbox placeholder=x><input id=e type=Number placeholder=x><input id=f type=date "
            "placeholder=x>"
            "<textarea id=g placeholder=x></textarea><textarea id=h placeholder=x>t</textarea><input id=i>"
            "<div id=j placeholder=x></div><input id=k type=nosuch placeholder=x>";
        QTest::newRow("placeholder-shown") << QByteArray(":placeholder-shown") << placeholders
                                           << QByteArray("a b e g k") << QByteArray("0,1,0");
        const QByteArray langs =
            "<div id=a lang=en-US><p id=b><p id=c lang=''><p id=d lang=EN></div><p id=e lang=en_GB>"
            "<p id=f lang=english><p id=g lang=de-CH><svg><text id=h xml:lang=en></text></svg>"
            "<p id=i xml:lang=en>";
        QTest::newRow("lang") << QByteArray(":lang(en)") << langs << QByteArray("a b d h")
                              << QByteArray("0,1,0");
        QTest::newRow("lang subtags")
            << QByteArray(":lang(EN-us)") << langs << QByteArray("a b") << QByteArray("0,1,0");
        QTest::newRow("lang no wildcard")
            << QByteArray(":lang(\\*-CH)") << langs << QByteArray("") << QByteArray("0,1,0");
        QTest::newRow("lang list") << QByteArray(":lang(en, de)") << langs << QByteArray()
                                   << QByteArray("invalid");
        QTest::newRow("lang string") << QByteArray(":lang(\"en\")") << langs << QByteArray()
                                     << QByteArray("invalid");
        const QByteArray lists =
            "<div id=a class=a><p id=p1 class=b></p><p id=p2 class=c></p></div><p id=p3 class=a>";
        QTest::newRow("is forgiving")
            << QByteArray(":is(.a, ..b)") << lists << QByteArray("a p3") << QByteArray("0,1,0");
        QTest::newRow("is most specific")
            << QByteArray("p:is(#p3, .a .b)") << lists << QByteArray("p1 p3") << QByteArray("1,0,1");
        QTest::newRow("where none") << QByteArray("p:where(#p3, .a .b)") << lists << QByteArray("p1 p3")
                                    << QByteArray("0,0,1");
        QTest::newRow("is empty") << QByteArray(":is(::before)") << lists << QByteArray("")
                                  << QByteArray("0,0,0");
        QTest::newRow("not complex") << QByteArray("p:not(.a > p, #x)") << lists << QByteArray("p3")
                                     << QByteArray("1,0,1");
        QTest::newRow("not unforgiving")
            << QByteArray(":not(.a, ..b)") << lists << QByteArray() << QByteArray("invalid");
        QTest::newRow("nth-child of S")
            << QByteArray(":nth-child(2 of .a .c, .b)") << lists << QByteArray("p2") << QByteArray("0,3,0");
        QTest::newRow("nth-last-child of S")
            << QByteArray("p:nth-last-child(1 of .b)") << lists << QByteArray("p1") << QByteArray("0,2,1");
        QTest::newRow("webkit pseudo-element") << QByteArray(".a::-webkit-scrollbar:horizontal") << lists
                                               << QByteArray("") << QByteArray("0,2,1");
        QTest::newRow("unknown webkit kept")
            << QByteArray("::-webkit-nosuch") << lists << QByteArray("") << QByteArray("0,0,1");
        QTest::newRow("webkit of its own")
            << QByteArray("::-webkit-full-page-media") << lists << QByteArray() << QByteArray("invalid");
        QTest::newRow("moz") << QByteArray("::-moz-selection") << lists << QByteArray()
                             << QByteArray("invalid");
        QTest::newRow("moz class") << QByteArray(":-moz-focusring") << lists << QByteArray()
                                   << QByteArray("invalid");
        QTest::newRow("webkit class")
            << QByteArray(":-webkit-any-link") << lists << QByteArray("") << QByteArray("0,1,0");
        QTest::newRow("pseudo-element in :not")
            << QByteArray(":not(::-webkit-scrollbar)") << lists << QByteArray() << QByteArray("invalid");
    }
    void matching()
    {
        QFETCH(QByteArray, selector);
        QFETCH(QByteArray, markup);
        QFETCH(QByteArray, matched);
        QFETCH(QByteArray, specificity);
        const SelectorList list = parse(selector);
        QVERIFY(!list.pastLimit);
        if (specificity == "invalid") {
            QVERIFY(list.selectors.empty());
            return;
        }
        QCOMPARE(list.selectors.size(), size_t(1));
        QCOMPARE(specificityOf(list.selectors[0]), specificity);
        const QByteArray page = "<!DOCTYPE html>" + markup;
        GumboOutput* output =
            gumbo_parse_with_options(&kGumboDefaultOptions, page.constData(), size_t(page.size()));
        WorkBudget work;
        const QByteArray ids = matchedIds(list.selectors[0], output->root, work);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        QCOMPARE(ids, matched);
    }

    // Deep nesting and long lists that a browser keeps are kept; past the
    // limits the rule is dropped, and says a limit dropped it.
    void limits()
    {
        const auto nested = [](int depth) {
            return QByteArray(":is(").repeated(depth) + ".a" + QByteArray(")").repeated(depth);
        };
        QCOMPARE(parse(nested(200)).selectors.size(), size_t(1));
        const SelectorList tooDeep = parse(nested(300));
        QVERIFY(tooDeep.selectors.empty());
        QVERIFY(tooDeep.pastLimit);
        QVERIFY(parse(":is(.a, " + nested(300) + ")").pastLimit);
        QVERIFY(!parse(".a, ..b").pastLimit);
        QByteArrayList entries;
        for (int i = 0; i < 100'000; ++i)
            entries.append(".c" + QByteArray::number(i));
        // Of a list that long a browser applies those that start within
        // its first 8192 simple selectors, and so do we.
        const SelectorList longList = parse(entries.join(','));
        QVERIFY(!longList.pastLimit);
        QCOMPARE(longList.selectors.size(), size_t(8192));
        QCOMPARE(longList.selectors.back().compounds[0].simple[0].name, QByteArray("c8191"));
        QCOMPARE(parse(entries.mid(0, 5000).join(".x,")).selectors.size(), size_t(4096));
        const QByteArray page = "<!DOCTYPE html><p id=a class=a>";
        GumboOutput* output = gumbo_parse(page.constData());
        WorkBudget work;
        QCOMPARE(matchedIds(parse(nested(200)).selectors[0], output->root, work), QByteArray("a"));
        // The deepest nesting kept, read and matched on a stack an eighth
        // of a worker thread's.
        QByteArray deepest = "not read";
        std::unique_ptr<QThread> thread(QThread::create([&] {
            const SelectorList list = parse(":not(" + nested(255) + ")");
            if (list.selectors.size() == 1)
                deepest = matchedIds(list.selectors[0], output->root, work);
        }));
        thread->setStackSize(kDeepestNestingStack);
        thread->start();
        QVERIFY(thread->wait());
        QCOMPARE(deepest, QByteArray(""));
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }

    // :has() over a deep page, tried on every element, costs about the
    // page's size, not its square.
    void hasWorkStaysLinear_data()
    {
        QTest::addColumn<QByteArray>("selector");
        QTest::addColumn<QByteArray>("repeated");
        QTest::addColumn<QByteArray>("matched");
        QTest::newRow("descendants") << QByteArray(":has(.x)") << QByteArray("<div>") << QByteArray("");
        QTest::newRow("descendant found") << QByteArray(":has(#z)") << QByteArray("<div>") << QByteArray("");
        QTest::newRow("later siblings")
            << QByteArray(":has(~ .x)") << QByteArray("<p></p>") << QByteArray("");
        QTest::newRow("later sibling found")
            << QByteArray(":has(~ #z)") << QByteArray("<p></p>") << QByteArray("");
    }
    void hasWorkStaysLinear()
    {
        QFETCH(QByteArray, selector);
        QFETCH(QByteArray, repeated);
        QFETCH(QByteArray, matched);
        constexpr int kElements = 3000;
        const QByteArray page = "<!DOCTYPE html><body>" + repeated.repeated(kElements) + "<b id=z></b>";
        GumboOutput* output = gumbo_parse(page.constData());
        WorkBudget work;
        SelectorMatcher matcher(false, work);
        const Selector parsed = parse(selector).selectors.at(0);
        int count = 0;
        std::vector<const GumboNode*> pending = {output->root};
        while (!pending.empty()) {
            const GumboNode* node = pending.back();
            pending.pop_back();
            count += matcher.matches(parsed, node) ? 1 : 0;
            for (unsigned i = 0; i < node->v.element.children.length; ++i) {
                const auto* child = static_cast<const GumboNode*>(node->v.element.children.data[i]);
                if (child->type == GUMBO_NODE_ELEMENT)
                    pending.push_back(child);
            }
        }
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        const bool found = selector.contains('#');
        QVERIFY(found ? count >= kElements : count == 0);
        QVERIFY2(work.spent() < std::uint64_t(40 * kElements), QByteArray::number(work.spent()));
    }

    void media_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<bool>("matches");
        const std::pair<const char*, bool> rows[] = {
            {"(device-width:1024px)", true},
            {"(device-height:768px)", true},
            {"(min-device-width:1025px)", false},
            {"(1000px < device-width < 1100px)", true},
            {"(device-height >= 769px)", false},
            {"(device-aspect-ratio:4/3)", true},
            {"(scripting:enabled)", true},
            {"(scripting)", true},
            {"(scripting:none)", false},
            {"(prefers-color-scheme:light)", true},
            {"(prefers-color-scheme)", true},
            {"(prefers-color-scheme:dark)", false},
            {"not (prefers-color-scheme:no-preference)", false},
            {"(prefers-reduced-motion:no-preference)", true},
            {"(prefers-reduced-motion)", false},
            {"(forced-colors:none)", true},
            {"(forced-colors)", false},
            {"(resolution:1dppx)", true},
            {"(resolution:96dpi)", true},
            {"(min-resolution:37dpcm)", true},
            {"(min-resolution:38dpcm)", false},
            {"(max-resolution:1.5x)", true},
            {"(min-resolution:2x)", false},
            {"(resolution)", true},
            {"(resolution:1)", false},
            {"(resolution:1px)", false},
            {"(0.5dppx < resolution < 2dppx)", true},
            {"(resolution >= calc(2dppx))", false},
            {"(update:fast)", true},
            {"(update)", true},
            {"(update:slow)", false},
            {"(hover:hover)", false},
            {"(hover:none)", true},
            {"(hover)", false},
            {"(pointer:none)", true},
            {"(pointer:fine)", false},
            {"(any-pointer:none)", true},
            {"(any-hover:hover)", false},
            {"(display-mode:browser)", true},
            {"(display-mode)", true},
            {"(display-mode:standalone)", false},
            {"(width:calc(1000px + 24px))", true},
            {"(min-width:calc(100px*2))", true},
            {"(max-width:calc(50em))", false},
            {"(calc(1000px) < width)", true},
            {"(min-width:calc(2000px - 100%))", false},
            {"(width:calc(1024px / 2 * 2))", true},
            {"(width:calc((1000px + 24px) * 1))", true},
            {"(width:calc(2px * 3px))", false},
            {"(min-width:calc(1px + 1em)) and (scripting)", true},
            {"(color:8)", true},
            {"(monochrome:0)", true},
            {"(monochrome)", false},
            {"(color-gamut:srgb)", true},
            {"not (hover:hover)", true},
            {"(min-width:600px) and (prefers-contrast:more)", false},
        };
        for (const auto& [query, matches] : rows)
            QTest::newRow(query) << QByteArray(query) << matches;
    }
    void media()
    {
        QFETCH(QByteArray, query);
        QFETCH(bool, matches);
        QCOMPARE(screenMatchesMedia(tokensOf(query)), matches);
    }
};

QTEST_APPLESS_MAIN(TestCssSelectors)

#include "tst_cssselectors.moc"
