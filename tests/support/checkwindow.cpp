#include "support/checkwindow.h"

#include "support/checkcases.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

namespace parlowen::test {

void CheckWindow::openWindow()
{
    m_router = std::make_unique<sim::FakeHttpServer>();
    QVERIFY2(m_router->listen(80), "cannot serve on loopback port 80: run inside a private network namespace");
    m_router->setRoute(RouterLogPath, {.body = routerLogPage()});
    m_router->requireAuth(RouterLogPath, sim::FakeHttpServer::Auth::Basic, "admin", RouterPassword);
    m_provider = std::make_unique<sim::FakeHttpServer>();
    QVERIFY(m_provider->listen());
    m_provider->setRoute(UpdatePath, {.contentType = "text/plain", .body = "Host updated successfully"});

    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::link(PARLOWEN_UPNP_HELPER, m_dir->filePath("parlowen-upnp")));
    m_form = std::make_unique<Form1>(m_dir->path());
    field("txtRouterIP")->setText("127.0.0.1");
    field("txtRouterPass")->setText(RouterPassword);
    field("txtService")->setText(m_provider->url(UpdatePath));
    field("txtUserName")->setText("alice");
    field("txtServicePass")->setText("s3cret");
    field("txtHost")->setText("home.example.net");
}

void CheckWindow::closeWindow()
{
    m_form.reset();
    m_provider.reset();
    m_router.reset();
}

void CheckWindow::pressGo() const
{
    QTest::mouseClick(m_form->findChild<QPushButton*>("Command1"), Qt::LeftButton);
}

void CheckWindow::waitForTheEnd(const MessageBoxWatcher& watcher) const
{
    QTRY_COMPARE_WITH_TIMEOUT(watcher.messages().size(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(browser()->Document().url(), QStringLiteral("about:blank"), Patience);
    QTest::qWait(200); // room for a second message, were one to come
    QCOMPARE(watcher.messages().size(), 1);
}

void CheckWindow::saveTheFields() const
{
    QFile settings(settingsPath());
    QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QString text = "[Router settings]\r\nPassword=%1\r\nIP=%2\r\n[DNS settings]\r\nService URL=%3\r\n"
                   "User=%4\r\nPassword=%5\r\nHost=%6\r\n";
    for (const char* name :
         {"txtRouterPass", "txtRouterIP", "txtService", "txtUserName", "txtServicePass", "txtHost"})
        text = text.arg(field(name)->text());
    settings.write(text.toUtf8());
}

} // namespace parlowen::test
