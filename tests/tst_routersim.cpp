// The simulator's router page and provider answers, read back through the
// same steps a check uses, so the demo and the benchmarks exercise a check
// that can succeed.
#include "check/outcome.h"
#include "check/wanaddress.h"
#include "html/pagetext.h"
#include "sim/routersim.h"

#include <QTest>

using namespace parlowen;
using namespace parlowen::sim;

class TestRouterSim : public QObject {
    Q_OBJECT
private slots:
    void pageHasTheAskedSizeAndTheAddress_data();
    void pageHasTheAskedSizeAndTheAddress();
    void addressWithHtmlSpecialCharactersComesBackAsGiven();
    void byteSizes_data();
    void byteSizes();
    void providerAnswers_data();
    void providerAnswers();
    void maskedTargets_data();
    void maskedTargets();
};

void TestRouterSim::pageHasTheAskedSizeAndTheAddress_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("exact");
    QTest::newRow("a page smaller than its frame still holds the address") << qsizetype(1) << false;
    QTest::newRow("a 4 KiB page") << qsizetype(4096) << true;
    QTest::newRow("a size that no whole line fills") << qsizetype(4099) << true;
    QTest::newRow("a 1 MiB page") << qsizetype(1 << 20) << true;
    QTest::newRow("an 8 MiB page") << qsizetype(8 << 20) << true;
}

void TestRouterSim::pageHasTheAskedSizeAndTheAddress()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, exact);
    const QByteArray page = syslogPage(size, QStringLiteral("203.0.113.7"));
    if (exact)
        QCOMPARE(page.size(), size);
    QCOMPARE(page.count("WAN IP is"), 1);
    // Other addresses come earlier on the page; only the WAN line's may be found.
    QCOMPARE(extractWanAddress(renderPageText(page, "text/html").value()), QStringLiteral("203.0.113.7"));
}

void TestRouterSim::addressWithHtmlSpecialCharactersComesBackAsGiven()
{
    const QString odd = QStringLiteral("203.0.113.7 <ppp0> & more");
    QCOMPARE(extractWanAddress(renderPageText(syslogPage(4096, odd), "text/html").value()), odd);
}

void TestRouterSim::byteSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("bytes"); // 0: refused
    QTest::newRow("plain bytes") << "4096" << qsizetype(4096);
    QTest::newRow("kibibytes with K") << "4K" << qsizetype(4096);
    QTest::newRow("kibibytes with KiB in lower case") << "4kib" << qsizetype(4096);
    QTest::newRow("mebibytes with M") << "1M" << qsizetype(1 << 20);
    QTest::newRow("mebibytes with MiB and spaces") << " 8 MiB " << qsizetype(8 << 20);
    QTest::newRow("mebibytes with MB, read as binary") << "8MB" << qsizetype(8 << 20);
    QTest::newRow("empty text") << "" << qsizetype(0);
    QTest::newRow("zero") << "0" << qsizetype(0);
    QTest::newRow("a negative number") << "-1" << qsizetype(0);
    QTest::newRow("a fraction") << "4.5M" << qsizetype(0);
    QTest::newRow("an unknown unit") << "4X" << qsizetype(0);
    QTest::newRow("a unit without a number") << "K" << qsizetype(0);
}

void TestRouterSim::byteSizes()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, bytes);
    QCOMPARE(parseByteSize(text).value_or(0), bytes);
}

void TestRouterSim::providerAnswers_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("basicUser");
    QTest::addColumn<QString>("basicPassword");
    QTest::addColumn<bool>("accepting");
    QTest::addColumn<QByteArray>("expected"); // "updated successfully" for an accepted update
    const QString good =
        QStringLiteral("username=demo&password=s%26cret&hostname=home.example.net&myip=203.0.113.7");
    QTest::newRow("the right account is accepted")
        << good << QString() << QString() << true << QByteArray("updated successfully");
    QTest::newRow("the right account is refused when refusing")
        << good << QString() << QString() << false << QByteArray("abuse");
    QTest::newRow("a wrong user") << QString(good).replace("username=demo", "username=Demo") << QString()
                                  << QString() << true << QByteArray("badauth");
    QTest::newRow("a password not decoded as sent")
        << QString(good).replace("s%26cret", "s&cret") << QString() << QString() << true
        << QByteArray("badauth");
    QTest::newRow("no host name") << QString(good).replace("home.example.net", "") << QString() << QString()
                                  << true << QByteArray("notfqdn");
    QTest::newRow("a host name the provider does not keep")
        << QString(good).replace("home.", "work.") << QString() << QString() << true << QByteArray("nohost");
    const QString dyndns2 = QStringLiteral("system=dyndns&hostname=home.example.net&myip=203.0.113.7");
    QTest::newRow("the account in Basic authentication, as dyndns2 clients send it")
        << dyndns2 << QStringLiteral("demo") << QStringLiteral("s&cret") << true
        << QByteArray("updated successfully");
    QTest::newRow("a wrong password in Basic authentication")
        << dyndns2 << QStringLiteral("demo") << QStringLiteral("secret") << true << QByteArray("badauth");
    QTest::newRow("the query's account wins over Basic authentication")
        << good << QStringLiteral("demo") << QStringLiteral("wrong") << true
        << QByteArray("updated successfully");
}

void TestRouterSim::providerAnswers()
{
    QFETCH(QString, query);
    QFETCH(QString, basicUser);
    QFETCH(QString, basicPassword);
    QFETCH(bool, accepting);
    QFETCH(QByteArray, expected);
    const ProviderAccount account{QStringLiteral("demo"), QStringLiteral("s&cret"),
                                  QStringLiteral("home.example.net")};
    const QByteArray answer = providerAnswer(QUrlQuery(query), basicUser, basicPassword, account, accepting);
    const bool accepted = judgeAnswer({200, {}, renderPageText(answer, "text/plain").value()}).outcome ==
                          UpdateOutcome::Accepted;
    QCOMPARE(accepted, expected == "updated successfully");
    if (!accepted)
        QCOMPARE(answer, expected);
}

void TestRouterSim::maskedTargets_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no query") << QByteArray("/doc/syslog.htm") << QByteArray("/doc/syslog.htm");
    QTest::newRow("a password among other values")
        << QByteArray("/dyn.asp?username=u&password=p%26q&hostname=h")
        << QByteArray("/dyn.asp?username=u&password=***&hostname=h");
    QTest::newRow("a password key in capitals")
        << QByteArray("/dyn.asp?PassWord=x") << QByteArray("/dyn.asp?PassWord=***");
    QTest::newRow("a password given twice")
        << QByteArray("/d?password=a&password=b") << QByteArray("/d?password=***&password=***");
    QTest::newRow("an absolute target, as to a proxy")
        << QByteArray("http://127.0.0.1:8080/dyn.asp?password=x&myip=1")
        << QByteArray("http://127.0.0.1:8080/dyn.asp?password=***&myip=1");
}

void TestRouterSim::maskedTargets()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, expected);
    QCOMPARE(maskedTarget(target), expected);
}

QTEST_GUILESS_MAIN(TestRouterSim)
#include "tst_routersim.moc"
