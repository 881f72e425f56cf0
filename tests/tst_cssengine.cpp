// The CSS engine's parts on their own, without a browser: the tokens a
// sheet gives and the media queries a 1024×768 screen matches. Each row
// is what CSS Syntax and Media Queries say, and what Chromium answers,
// so that a one-line fault in either shows here first.

#include "css/mediaquery.h"
#include "css/tokenizer.h"

#include <QTest>

#include <vector>

using namespace parlowen;

namespace {

using Type = CssToken::Type;

QByteArray spelled(const CssToken& t)
{
    switch (t.type) {
    case Type::Ident:
        return "ident:" + t.text;
    case Type::Function:
        return "func:" + t.text;
    case Type::AtKeyword:
        return "at:" + t.text;
    case Type::Hash:
        return (t.idHash ? "id:" : "hash:") + t.text;
    case Type::String:
        return "str:" + t.text;
    case Type::BadString:
        return "badstr";
    case Type::Url:
        return "url:" + t.text;
    case Type::BadUrl:
        return "badurl";
    case Type::Delim:
        return QByteArray("delim:") + t.delim;
    case Type::Number:
        return "num:" + QByteArray::number(t.number);
    case Type::Percentage:
        return "pct:" + QByteArray::number(t.number);
    case Type::Dimension:
        return "dim:" + QByteArray::number(t.number) + t.text;
    case Type::Whitespace:
        return "ws";
    case Type::Cdo:
        return "cdo";
    case Type::Cdc:
        return "cdc";
    case Type::Colon:
        return ":";
    case Type::Semicolon:
        return ";";
    case Type::Comma:
        return ",";
    case Type::LeftSquare:
        return "[";
    case Type::RightSquare:
        return "]";
    case Type::LeftParen:
        return "(";
    case Type::RightParen:
        return ")";
    case Type::LeftCurly:
        return "{";
    case Type::RightCurly:
        return "}";
    case Type::End:
        break;
    }
    return "end";
}

std::vector<CssToken> tokensOf(QByteArrayView sheet)
{
    WorkBudget work;
    CssTokenizer tokenizer(sheet, work);
    std::vector<CssToken> tokens;
    for (CssToken t = tokenizer.next(); !t.is(Type::End); t = tokenizer.next())
        tokens.push_back(std::move(t));
    return tokens;
}

} // namespace

class TestCssEngine : public QObject {
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void screenMedia_data();
    void screenMedia();
};

void TestCssEngine::tokens_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("class selector") << QByteArray("p.old") << QByteArray("ident:p delim:. ident:old");
    QTest::newRow("hash that names an id, and one that cannot")
        << QByteArray("#log #1a") << QByteArray("id:log ws hash:1a");
    QTest::newRow("numbers, signs and units")
        << QByteArray("1.5em 50% -3 +.5 1e3 1e") << QByteArray("dim:1.5em ws pct:50 ws num:-3 ws num:0.5 ws num:1000 ws dim:1e");
    QTest::newRow("custom property name") << QByteArray("--x:none") << QByteArray("ident:--x : ident:none");
    QTest::newRow("escapes: a hex escape eats one space")
        << QByteArray("'a\\62 c' \\31 0") << QByteArray("str:abc ws ident:10");
    QTest::newRow("a newline ends a string badly, and is not part of it")
        << QByteArray("\"open\nx") << QByteArray("badstr ws ident:x");
    QTest::newRow("unquoted url, quoted url, bad url")
        << QByteArray("url( x.css ) url('y') url(a b)") << QByteArray("url:x.css ws func:url str:y ) ws badurl");
    QTest::newRow("comments are nothing") << QByteArray("/* c */a/**/b/* open") << QByteArray("ident:a ident:b");
    QTest::newRow("HTML comment markers") << QByteArray("<!-- a -->") << QByteArray("cdo ws ident:a ws cdc");
    QTest::newRow("at-rule and blocks")
        << QByteArray("@media(x){a[b]}") << QByteArray("at:media ( ident:x ) { ident:a [ ident:b ] }");
    QTest::newRow("important") << QByteArray("none!important;") << QByteArray("ident:none delim:! ident:important ;");
    QTest::newRow("NUL is the replacement character")
        << QByteArray("a\0b", 3) << QByteArray("ident:a\xEF\xBF\xBD" "b");
    QTest::newRow("CR LF, a lone CR and FF are one newline each: an escaped one continues a string")
        << QByteArray("'a\\\r\nb' 'c\\\rd' 'e\\\ff' 'g\rh") << QByteArray("str:ab ws str:cd ws str:ef ws badstr ws ident:h");
    QTest::newRow("NULs and newlines between stretches of a name")
        << QByteArray("a\0b\r\nc\0", 7) << QByteArray("ident:a\xEF\xBF\xBD" "b ws ident:c\xEF\xBF\xBD");
    QTest::newRow("escapes at the start, in the middle and at the end of names, hashes and units; each eats a space")
        << QByteArray("\\61 b a\\62 c ab\\63  #x\\79  1p\\78  -\\2d y")
        << QByteArray("ident:ab ws ident:abc ws ident:abc ws id:xy ws dim:1px ws ident:--y");
    QTest::newRow("non-ASCII starts a name") << QByteArray("\xC3\xA9t\xC3\xA9") << QByteArray("ident:\xC3\xA9t\xC3\xA9");
    QTest::newRow("a lone backslash is a delimiter") << QByteArray("\\\n") << QByteArray("delim:\\ ws");
}

void TestCssEngine::tokens()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QByteArray, expected);
    QByteArrayList spelledTokens;
    for (const CssToken& t : tokensOf(sheet))
        spelledTokens << spelled(t);
    QCOMPARE(spelledTokens.join(' '), expected);
}

void TestCssEngine::screenMedia_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<bool>("matches");

    QTest::newRow("screen") << QByteArray("screen") << true;
    QTest::newRow("all") << QByteArray("all") << true;
    QTest::newRow("print") << QByteArray("print") << false;
    QTest::newRow("not print") << QByteArray("not print") << true;
    QTest::newRow("only screen") << QByteArray("only screen") << true;
    QTest::newRow("a type we are not") << QByteArray("tv") << false;
    QTest::newRow("list: one matches") << QByteArray("print, screen") << true;
    QTest::newRow("empty list matches all") << QByteArray("") << true;
    QTest::newRow("min-width below") << QByteArray("(min-width: 800px)") << true;
    QTest::newRow("min-width above") << QByteArray("(min-width: 1025px)") << false;
    QTest::newRow("max-width at the edge") << QByteArray("(max-width: 1024px)") << true;
    QTest::newRow("max-width below") << QByteArray("(max-width: 600px)") << false;
    QTest::newRow("exact width") << QByteArray("(width: 1024px)") << true;
    QTest::newRow("height") << QByteArray("(min-height: 769px)") << false;
    QTest::newRow("em are 16px") << QByteArray("(min-width: 64em)") << true;
    QTest::newRow("em past the width") << QByteArray("(min-width: 64.1em)") << false;
    QTest::newRow("viewport units") << QByteArray("(min-width: 50vw)") << true;
    QTest::newRow("zero needs no unit") << QByteArray("(min-width: 0)") << true;
    QTest::newRow("a length without unit is invalid") << QByteArray("(min-width: 800)") << false;
    QTest::newRow("range") << QByteArray("(400px <= width <= 1100px)") << true;
    QTest::newRow("range, outside") << QByteArray("(width > 1024px)") << false;
    QTest::newRow("and") << QByteArray("screen and (min-width: 40em) and (orientation: landscape)") << true;
    QTest::newRow("portrait") << QByteArray("(orientation: portrait)") << false;
    QTest::newRow("or") << QByteArray("(max-width: 400px) or (min-width: 600px)") << true;
    QTest::newRow("not of a condition") << QByteArray("not (max-width: 2000px)") << false;
    QTest::newRow("aspect ratio 4/3") << QByteArray("(min-aspect-ratio: 4/3)") << true;
    QTest::newRow("aspect ratio 16/9") << QByteArray("(min-aspect-ratio: 16/9)") << false;
    QTest::newRow("color") << QByteArray("screen and (color)") << true;
    QTest::newRow("unknown feature") << QByteArray("(no-such-feature)") << false;
    QTest::newRow("junk") << QByteArray("screen and and") << false;
    QTest::newRow("junk in one query of a list spoils only that one") << QByteArray("garbage!, screen") << true;
}

void TestCssEngine::screenMedia()
{
    QFETCH(QByteArray, query);
    QFETCH(bool, matches);
    QCOMPARE(screenMatchesMedia(tokensOf(query)), matches);
}

QTEST_APPLESS_MAIN(TestCssEngine)

#include "tst_cssengine.moc"
