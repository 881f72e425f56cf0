// Our text of the style pages (tests/stylepages.cpp) against Chromium's, as
// tst_innertext_chromium recorded it: the cascade's guard where no browser
// is installed. Re-record with
//   PARLOWEN_RECORD_CHROMIUM=$PWD/tests/data/chromium-style-pages.txt
//   ctest --test-dir build -R tst_innertext_chromium (one command line)

#include "check/routerpage.h"
#include "check/wanaddress.h"
#include "html/pagetext.h"
#include "stylepages.h"

#include <QTest>

using namespace parlowen;

Q_DECLARE_METATYPE(parlowen::DoubtfulText)
using parlowen::testing::GeneratedPage;

namespace {

const QString kRecordedTexts = QStringLiteral(PARLOWEN_TEST_DATA "/chromium-style-pages.txt");
// Where the pages are taken to come from, for their sheets.
const QUrl kPageUrl(QStringLiteral("http://192.0.2.1/syslog.html"));

QString addressIn(const QString& text)
{
    return extractWanAddress(text).value_or(QStringLiteral("(none)"));
}

} // namespace

class TestPageTextRecorded : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_recorded = testing::readRecordedTexts(kRecordedTexts);
        QStringList names;
        for (const GeneratedPage& page : testing::stylePages())
            names.append(page.name);
        QStringList recorded = m_recorded.keys();
        names.sort();
        recorded.sort();
        // A page added, renamed or changed in its name needs a recording.
        QCOMPARE(recorded, names);
    }

    void sameTextAsChromium_data() { pages(); }
    void sameTextAsChromium()
    {
        QFETCH(QString, ours);
        QFETCH(QString, chromium);
        QFETCH(QString, name);
        if (const QString construct = testing::knownDifference(name); !construct.isEmpty())
            QEXPECT_FAIL("", qPrintable(construct), Continue);
        QCOMPARE(ours, chromium);
    }

    // The address we would send is the one a person reading the page sees.
    void sameAddressAsChromium_data() { pages(); }
    void sameAddressAsChromium()
    {
        QFETCH(QString, ours);
        QFETCH(QString, chromium);
        QFETCH(QString, name);
        if (const QString construct = testing::knownWrongAddress(name); !construct.isEmpty())
            QEXPECT_FAIL("", qPrintable(construct), Continue);
        QCOMPARE(addressIn(ours), addressIn(chromium));
    }

    // Where we read a page otherwise than the browser, the check still never
    // sends an address from a line the browser hides: the doubt covers it.
    void neverSendsWhatTheBrowserHides_data() { pages(); }
    void neverSendsWhatTheBrowserHides()
    {
        QFETCH(QString, ours);
        QFETCH(QString, chromium);
        QFETCH(DoubtfulText, doubt);
        LoadedPage page{200, {}, ours, {}, doubt};
        const std::optional<QString> sent = trustedWanAddress(page);
        if (sent)
            QCOMPARE(*sent, addressIn(chromium));
    }

private:
    void pages()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("chromium");
        QTest::addColumn<DoubtfulText>("doubt");
        for (const GeneratedPage& page : testing::stylePages()) {
            const PageStyleSheets sheets =
                testing::fetchedStyleSheets(page, kPageUrl, testing::stylePageSheets());
            const Result<PageText, PageTextError> ours =
                renderPageText(page.body, page.contentType, nullptr, &sheets);
            QVERIFY2(ours, qPrintable(page.name));
            QTest::newRow(qPrintable(page.name))
                << page.name << ours.value().text << QString::fromUtf8(m_recorded.value(page.name))
                << ours.value().doubt;
        }
    }

    QHash<QString, QByteArray> m_recorded;
};

QTEST_GUILESS_MAIN(TestPageTextRecorded)
#include "tst_pagetext_recorded.moc"
