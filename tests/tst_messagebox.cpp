// The program's message boxes: its title, the icon asked for, one button.
#include "app/messagebox.h"
#include "support/messageboxwatcher.h"

#include <QMessageBox>
#include <QTest>

using namespace parlowen;

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void messageBoxShowsTitleIconAndOneOkButton_data();
    void messageBoxShowsTitleIconAndOneOkButton();
};

void TestMessageBox::messageBoxShowsTitleIconAndOneOkButton_data()
{
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<QMessageBox::Icon>("shown");
    QTest::newRow("information") << MessageIcon::Information << QMessageBox::Information;
    QTest::newRow("warning") << MessageIcon::Warning << QMessageBox::Warning;
    QTest::newRow("critical") << MessageIcon::Critical << QMessageBox::Critical;
}

void TestMessageBox::messageBoxShowsTitleIconAndOneOkButton()
{
    QFETCH(MessageIcon, icon);
    test::MessageBoxWatcher watcher;
    showMessage(nullptr, QStringLiteral("Something happened"), icon); // returns once the watcher clicks OK
    QCOMPARE(watcher.messages().size(), 1);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.title, QStringLiteral("Tobrisk"));
    QCOMPARE(message.text, QStringLiteral("Something happened"));
    QTEST(message.icon, "shown");
    QCOMPARE(message.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    QCOMPARE(watcher.openCount(), 0);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
