// Our page text against a real browser's: Chromium's document.body.innerText
// for every page of a corpus (the test pages we have, and generated router
// log pages), byte for byte once its line breaks are written "\r\n".
//
// One browser process loads the whole corpus: a driver page served with the
// corpus from this test's own server loads each page into an iframe in turn,
// reads its innerText and, once all are read, writes them into the driver
// page, which --dump-dom prints. The test runs in a private network
// namespace (see tests/CMakeLists.txt), where nothing but loopback exists.

#include "html/charset.h"
#include "html/pagetext.h"
#include "logpagegenerator.h"
#include "sim/fakehttpserver.h"

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
        area.replaceWith(pre);
      }
    },
  },
];
)js";

const char kDriver[] = R"js(
const out = [];
const frame = document.createElement("iframe");
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

constexpr int kSeeds[] = {1, 2, 3, 4, 5, 6};
constexpr int kPagesPerSeed = 50;

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
    for (const char* encoding : kSingleByteEncodings)
        pages.append({QStringLiteral("every high byte in %1").arg(QLatin1String(encoding)),
                      "text/html; charset=" + QByteArray(encoding), highBytesPage()});
    for (const int seed : kSeeds) {
        for (int i = 0; i < kPagesPerSeed; ++i)
            pages.append(testing::generateLogPage(uint32_t(seed), i));
    }
    return pages;
}

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
        QVERIFY(m_profile.isValid());
        m_browserTexts = browserTexts();
        QCOMPARE(m_browserTexts.size(), m_pages.size());
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
        const Result<QString, PageTextError> text = renderPageText(page.body, page.contentType);
        QVERIFY2(text, "too complex");
        const QByteArray ours = text.value().toUtf8();
        const QByteArray browser = m_browserTexts[index];
        if (ours != browser)
            QFAIL(qPrintable(firstDifference(ours, browser)));
    }

private:
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
