// How a sheet's structure is read: @supports conditions, the order of
// cascade layers, the selectors and specificity of nested rules, and which
// style set a page prefers. The answers are Chromium's, as seen in
// tst_innertext_chromium's pages.

#include "css/cascadelayers.h"
#include "css/containerquery.h"
#include "css/sheetparser.h"
#include "css/sheetreader.h"
#include "css/stylesets.h"
#include "css/supports.h"

#include <gumbo.h>

#include <QTest>

#include <memory>

using namespace parlowen;

namespace {

// Specificity as ids, classes and types, the way it is packed.
uint32_t specificity(uint32_t ids, uint32_t classes, uint32_t types)
{
    return ids << 20 | classes << 10 | types;
}

} // namespace

class TestSheetStructure : public QObject {
    Q_OBJECT

private slots:
    void supportsConditions_data()
    {
        QTest::addColumn<QByteArray>("condition");
        QTest::addColumn<bool>("holds");
        QTest::newRow("a value we read") << QByteArray("(display:grid)") << true;
        QTest::newRow("a value nobody reads") << QByteArray("(display:nonsense)") << false;
        QTest::newRow("not") << QByteArray("not (display:grid)") << false;
        QTest::newRow("and of two known") << QByteArray("(display:flex) and (position:sticky)") << true;
        QTest::newRow("or with an unknown property") << QByteArray("(colour:red) or (display:block)") << true;
        QTest::newRow("and with an unknown property")
            << QByteArray("(colour:red) and (display:block)") << false;
        QTest::newRow("and and or mixed")
            << QByteArray("(display:grid) and (display:flex) or (display:block)") << false;
        QTest::newRow("in parentheses") << QByteArray("((display:grid) or (display:nonsense))") << true;
        QTest::newRow("a custom property") << QByteArray("(--x: y)") << true;
        QTest::newRow("no parentheses") << QByteArray("display:grid") << false;
        QTest::newRow("a selector we read") << QByteArray("selector(p > .x)") << true;
        QTest::newRow("a selector we do not") << QByteArray("selector(p:nosuch)") << false;
        QTest::newRow("a list is no selector") << QByteArray("selector(p, a)") << false;
        QTest::newRow("an unknown function") << QByteArray("foo(bar)") << false;
        QTest::newRow("not an unknown function") << QByteArray("not foo(bar)") << true;
        QTest::newRow("important") << QByteArray("(display:none !important)") << true;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("unclosed") << QByteArray("(display:grid") << false;
    }
    void supportsConditions()
    {
        QFETCH(QByteArray, condition);
        WorkBudget work;
        SheetReader reader(condition, work);
        std::vector<CssToken> tokens;
        while (!reader.current().is(CssToken::Type::End))
            reader.component(&tokens, 1000);
        QTEST(supportsCondition(tokens, 0, tokens.size(), reader.text()), "holds");
    }

    // No element is a size container: what asks for one is unknown.
    void containerQueries_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<bool>("matches");
        QTest::newRow("a size feature") << QByteArray("(min-width:1px)") << false;
        QTest::newRow("not a size feature") << QByteArray("not (min-width:1px)") << false;
        QTest::newRow("a named container") << QByteArray("box (width > 0)") << false;
        QTest::newRow("not a style") << QByteArray("not style(--z: q)") << true;
        QTest::newRow("a size feature or a true style")
            << QByteArray("(width > 0) or not style(--z: q)") << false;
        QTest::newRow("styles alone") << QByteArray("style(--a: b) or (not style(--z: q))") << true;
        QTest::newRow("a size feature and a true style")
            << QByteArray("(width > 0) and not style(--z: q)") << false;
        QTest::newRow("a named container, not a style") << QByteArray("box not style(--z: q)") << false;
        QTest::newRow("unclosed") << QByteArray("not style(--z: q") << false;
    }
    void containerQueries()
    {
        QFETCH(QByteArray, query);
        WorkBudget work;
        SheetReader reader(query, work);
        std::vector<CssToken> tokens;
        while (!reader.current().is(CssToken::Type::End))
            reader.component(&tokens, 1000);
        QTEST(containerQueryMatches(tokens), "matches");
    }

    // Sublayers before their layer's own rules, the unlayered last; for
    // important declarations the other way round.
    void layersWeighInTheOrderFirstMet()
    {
        CascadeLayers layers;
        const uint32_t base = layers.named(CascadeLayers::kUnlayered, "base");
        const uint32_t top = layers.named(CascadeLayers::kUnlayered, "top");
        const uint32_t inner = layers.named(CascadeLayers::kUnlayered, "base.inner");
        const uint32_t anonymous = layers.anonymous(CascadeLayers::kUnlayered);
        QCOMPARE(layers.named(CascadeLayers::kUnlayered, "base"), base);
        QCOMPARE(layers.named(base, "inner"), inner);
        QVERIFY(layers.anonymous(CascadeLayers::kUnlayered) != anonymous);
        layers.rank();
        const std::vector<uint32_t> weakestFirst = {inner, base, top, anonymous, CascadeLayers::kUnlayered};
        for (size_t i = 1; i < weakestFirst.size(); ++i) {
            QVERIFY(layers.weight(weakestFirst[i - 1], false) < layers.weight(weakestFirst[i], false));
            QVERIFY(layers.weight(weakestFirst[i - 1], true) > layers.weight(weakestFirst[i], true));
        }
    }

    void nestedRules_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        // The rules kept, each one's specificity, in order.
        QTest::addColumn<std::vector<uint32_t>>("specificities");
        QTest::newRow("nested without &")
            << QByteArray(".a{.b{display:none}}") << std::vector{specificity(0, 2, 0)};
        QTest::newRow("& counts as the most specific parent")
            << QByteArray("#x, .y{& .z{display:none}}") << std::vector{specificity(1, 1, 0)};
        QTest::newRow("a relative selector")
            << QByteArray("p{> b{display:none}}") << std::vector{specificity(0, 0, 2)};
        QTest::newRow("declarations after a nested rule are a rule after it")
            << QByteArray(".a{display:none; .b{display:block} display:block}")
            << std::vector{specificity(0, 1, 0), specificity(0, 2, 0), specificity(0, 1, 0)};
        QTest::newRow("the parent list's own specificities for its declarations")
            << QByteArray("#x, .y{.q{} display:none}")
            << std::vector{specificity(1, 0, 0), specificity(0, 1, 0)};
        QTest::newRow("a rule that starts like a declaration")
            << QByteArray(".a{b:first-child{display:none}}") << std::vector{specificity(0, 2, 1)};
        QTest::newRow("declarations in a nested group rule")
            << QByteArray(".a{@media screen{display:none}}") << std::vector{specificity(0, 1, 0)};
        QTest::newRow("a nested rule ends at a semicolon")
            << QByteArray(".a{.b; display:none}") << std::vector{specificity(0, 1, 0)};
        QTest::newRow("a custom property may hold a block")
            << QByteArray(".a{--x:{a:b}; display:none}") << std::vector{specificity(0, 1, 0)};
        QTest::newRow("an invalid parent drops what it holds")
            << QByteArray(".a:nosuch{.b{display:none} display:none}") << std::vector<uint32_t>{};
        QTest::newRow("& outside a style rule") << QByteArray("&.a{display:none}") << std::vector<uint32_t>{};
        QTest::newRow("in an @scope, below its root")
            << QByteArray("@scope (.s){.t{display:none} :scope{display:none} & .u{display:none}}")
            << std::vector{specificity(0, 1, 0), specificity(0, 1, 0), specificity(0, 2, 0)};
    }
    void nestedRules()
    {
        QFETCH(QByteArray, sheet);
        CascadeRules rules;
        rules.byteBudget = size_t(1) << 30;
        WorkBudget work;
        SheetParser parser(rules, work);
        parser.sheet(sheet, QUrl());
        std::vector<uint32_t> kept;
        for (const Rule& rule : rules.rules)
            kept.push_back(rule.selector.specificity);
        QTEST(kept, "specificities");
    }

    void preferredStyleSet_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("preferred");
        QTest::newRow("none titled") << QByteArray("<style>p{}</style><style title=''>p{}</style>")
                                     << QByteArray();
        QTest::newRow("the first title")
            << QByteArray("<style title=one></style><style title=two></style>") << QByteArray("one");
        QTest::newRow("a titled link")
            << QByteArray("<link rel=stylesheet title=two><style title=one></style>") << QByteArray("two");
        QTest::newRow("no alternate link") << QByteArray("<link rel='alternate stylesheet' title=two>"
                                                         "<style title=one></style>")
                                           << QByteArray("one");
        QTest::newRow("a Default-Style first")
            << QByteArray("<meta http-equiv=DEFAULT-STYLE content=two><style title=one></style>")
            << QByteArray("two");
        QTest::newRow("a Default-Style too late")
            << QByteArray("<style title=one></style><meta http-equiv=default-style content=two>")
            << QByteArray("one");
        QTest::newRow("an empty Default-Style")
            << QByteArray("<meta http-equiv=default-style content=''><style title=one></style>")
            << QByteArray("one");
        QTest::newRow("a name with spaces")
            << QByteArray("<meta http-equiv=default-style content=' two '>") << QByteArray(" two ");
        QTest::newRow("a sheet of another type")
            << QByteArray("<style type=text/x title=one></style>") << QByteArray();
    }
    void preferredStyleSet()
    {
        QFETCH(QByteArray, html);
        const std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> tree(
            gumbo_parse_with_options(&kGumboDefaultOptions, html.constData(), size_t(html.size())),
            [](GumboOutput* output) { gumbo_destroy_output(&kGumboDefaultOptions, output); });
        WorkBudget work;
        QTEST(parlowen::preferredStyleSet(*tree, work), "preferred");
    }
};

QTEST_GUILESS_MAIN(TestSheetStructure)
#include "tst_sheetstructure.moc"
