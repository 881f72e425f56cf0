#include "support/clifixture.h"

#include "cli/checkcommand.h"
#include "support/secretforms.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

namespace parlowen::test {
using sim::FakeHttpServer;

QByteArray routerLogPage(const QByteArray& address)
{
    return "<html><body><h1>System Log</h1><textarea>\nJan  1 00:00:05 pppd: WAN IP is " + address +
           "\nJan  1 00:00:06 ntp: time set\n</textarea></body></html>";
}

void CliFixture::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_router = std::make_unique<FakeHttpServer>();
    QVERIFY2(m_router->listen(80),
             "cannot serve on loopback port 80: run inside a private network namespace");
    m_router->setRoute(RouterLogPath, {.body = routerLogPage()});
    m_routerPassword = RouterPassword;
    m_servicePassword = ServicePassword;
    m_router->requireAuth(RouterLogPath, FakeHttpServer::Auth::Basic, "admin", RouterPassword);
    m_provider = std::make_unique<FakeHttpServer>();
    QVERIFY(m_provider->listen());
    m_provider->setRoute(UpdatePath, {.contentType = "text/plain", .body = "good: updated successfully"});
    m_runs.clear();
    m_limits = {};
    m_busAddress.clear();
    m_upnpHelper = m_dir->filePath("no-upnp-helper");
    m_runtimeFolder = m_dir->filePath("run");
    QVERIFY(QDir(m_dir->path()).mkdir("run"));
    QVERIFY(QFile::setPermissions(m_dir->filePath("run"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    writeSettings();
}

// What holds for every run: no password in any output, in any form, and the
// settings file exactly as the test wrote it.
void CliFixture::cleanup()
{
    QStringList outputs;
    for (const Run& run : std::as_const(m_runs))
        outputs << QString::fromUtf8(run.out + run.err);
    if (m_notifications) {
        for (const ReceivedNotice& notice : m_notifications->received())
            outputs << notice.appName + '\n' + notice.summary + '\n' + notice.body;
    }
    for (const QString& output : std::as_const(outputs)) {
        const QString leak = leakIn(output, m_routerPassword, m_servicePassword);
        QVERIFY2(leak.isEmpty(), qPrintable("output shows " + leak + ":\n" + output));
    }
    QFile settings(settingsPath());
    if (settings.open(QIODevice::ReadOnly))
        QCOMPARE(settings.readAll(), m_settingsBytes);
    m_notifications.reset();
    m_bus.reset();
    m_provider.reset();
    m_router.reset();
    m_dir.reset();
}

Run CliFixture::runCommand(QStringList arguments, const QDateTime& now)
{
    const bool pageText = !arguments.filter(QRegularExpression("^--page-text")).isEmpty();
    if (!arguments.contains("--settings") && !pageText)
        arguments << "--settings" << settingsPath();
    arguments.prepend("parlowen-check");
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    // Never the bus or the runtime folder of whoever runs the tests.
    run.exitCode = cli::run(
        arguments, out, err,
        {[now] { return now; }, m_limits, m_busAddress, m_runtimeFolder, PARLOWEN_NOTICE_MODULE, m_upnpHelper});
    m_runs << run;
    return run;
}

// The settings for the test router and provider, one of them (a Setting) replaced.
void CliFixture::writeSettings(int setting, const QString& value, const QString& routerLine)
{
    QStringList values{m_routerPassword, "127.0.0.1",       m_provider->url(UpdatePath),
                       "alice",          m_servicePassword, "home.example.net"};
    if (setting >= 0)
        values[setting] = value;
    m_settingsBytes =
        QStringLiteral("[Router settings]\r\nPassword=%1\r\nIP=%2\r\n%7"
                       "[DNS settings]\r\nService URL=%3\r\nUser=%4\r\nPassword=%5\r\nHost=%6\r\n")
            .arg(values[0], values[1], values[2], values[3], values[4], values[5],
                 routerLine.isEmpty() ? QString() : routerLine + "\r\n")
            .toUtf8();
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(m_settingsBytes), m_settingsBytes.size());
}

// In the test's folder, what no run may read a byte of, nor wait on: a pipe
// nobody writes to, and, sparse so that they cost nothing, files just past
// the largest settings or state file and saved page that are read.
void CliFixture::makeFilesNotToRead()
{
    QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath("pipe")).constData(), 0600), 0);
    for (const auto& [name, size] :
         {std::pair("huge.ini", (1 << 20) + 1), std::pair("huge.state", (1 << 20) + 1),
          std::pair("huge.htm", (32 << 20) + 1)}) {
        QFile file(m_dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("[Router settings]\nIP=127.0.0.1\n<p>WAN IP is 203.0.113.9\n") > 0);
        QVERIFY(file.resize(size));
    }
}

void CliFixture::expectInErr(const Run& run, const QString& text) const
{
    QVERIFY2(QString::fromUtf8(run.err).contains(text), run.err.constData());
}

} // namespace parlowen::test
