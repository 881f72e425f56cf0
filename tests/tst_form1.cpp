// The window as a person meets it: captions, defaults, layout, keyboard
// order, the unseen browser, and the message box the program reports with.
#include "app/captionfont.h"
#include "app/form1.h"
#include "platform/messagebox.h"
#include "platform/twips.h"
#include "platform/webbrowser.h"
#include "support/messageboxwatcher.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace parlowen;

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void captionsAndDefaults_data();
    void captionsAndDefaults();
    void windowCaptionSizeAndIcon();
    void geometry_data();
    void geometry();
    void fieldsShowWhatIsTypedWithoutLimit();
    void tabKeyFollowsTheDesignedOrder();
    void browserIsOutOfSightAfterLoad();
    void everyCaptionFitsItsBox();
    void messageBoxShowsTitleIconAndOneOkButton_data();
    void messageBoxShowsTitleIconAndOneOkButton();

private:
    QTemporaryDir m_dir; // where the window looks for its settings: empty
};

namespace {
QString textOf(const QWidget* widget)
{
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* field = qobject_cast<const QLineEdit*>(widget))
        return field->text();
    if (auto* button = qobject_cast<const QPushButton*>(widget))
        return button->text();
    if (auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    return {};
}
} // namespace

void TestForm1::captionsAndDefaults_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::newRow("Label1") << "Label1"
                            << "Router Admin Password:";
    QTest::newRow("Label3") << "Label3"
                            << "Router IP:";
    QTest::newRow("Label2") << "Label2"
                            << "WAN IP:";
    QTest::newRow("Command1") << "Command1"
                              << "Go";
    QTest::newRow("Frame1") << "Frame1"
                            << "Service details";
    QTest::newRow("Label7") << "Label7"
                            << "Service URL:";
    QTest::newRow("Label4") << "Label4"
                            << "User Name:";
    QTest::newRow("Label5") << "Label5"
                            << "Password:";
    QTest::newRow("Label6") << "Label6"
                            << "Hostname:";
    QTest::newRow("router password starts empty") << "txtRouterPass"
                                                  << "";
    QTest::newRow("router address default") << "txtRouterIP"
                                            << "10.0.0.2";
    QTest::newRow("WAN address starts empty") << "txtWANIP"
                                              << "";
    QTest::newRow("user name starts empty") << "txtUserName"
                                            << "";
    QTest::newRow("service password starts empty") << "txtServicePass"
                                                   << "";
    QTest::newRow("update address starts empty") << "txtURL"
                                                 << "";
}

void TestForm1::captionsAndDefaults()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    Form1 form(m_dir.path());
    const auto* widget = form.findChild<QWidget*>(control);
    QVERIFY2(widget, qPrintable(control));
    QCOMPARE(textOf(widget), text);
}

void TestForm1::windowCaptionSizeAndIcon()
{
    Form1 form(m_dir.path());
    QCOMPARE(form.windowTitle(), QStringLiteral("Parlowen by Kestrune"));
    QCOMPARE(form.size(), QSize(484, 152)); // 7260 x 2280 twips
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.windowIcon().availableSizes().value(0), QSize(48, 48));

    // The service defaults are a sample under a reserved domain, never a real
    // provider: an http URL of the update script, and a host name.
    const QString service = form.findChild<QLineEdit*>("txtService")->text();
    const QString host = form.findChild<QLineEdit*>("txtHost")->text();
    QVERIFY2(service.startsWith("http://") && service.endsWith("/dyn.asp"), qPrintable(service));
    QVERIFY2(service.contains(".example.") && host.endsWith(".example.net"), qPrintable(service + host));
}

void TestForm1::geometry_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    // Left, top, width, height in twips, relative to the container.
    const QString window = QStringLiteral("Form1");
    const QString frame = QStringLiteral("Frame1");
    QTest::newRow("Label1") << "Label1" << window << QRect(120, 120, 3855, 255);
    QTest::newRow("txtRouterPass") << "txtRouterPass" << window << QRect(120, 360, 3855, 285);
    QTest::newRow("Label3") << "Label3" << window << QRect(120, 735, 735, 255);
    QTest::newRow("txtRouterIP") << "txtRouterIP" << window << QRect(840, 720, 1095, 285);
    QTest::newRow("Label2") << "Label2" << window << QRect(120, 1080, 3855, 255);
    QTest::newRow("txtWANIP") << "txtWANIP" << window << QRect(120, 1320, 3855, 285);
    QTest::newRow("Command1") << "Command1" << window << QRect(1440, 1800, 1215, 375);
    QTest::newRow("Frame1") << "Frame1" << window << QRect(4080, 120, 3135, 2055);
    QTest::newRow("Label7") << "Label7" << frame << QRect(120, 240, 855, 375);
    QTest::newRow("txtService") << "txtService" << frame << QRect(960, 240, 2055, 285);
    QTest::newRow("Label4") << "Label4" << frame << QRect(120, 720, 855, 255);
    QTest::newRow("txtUserName") << "txtUserName" << frame << QRect(960, 720, 2055, 285);
    QTest::newRow("Label5") << "Label5" << frame << QRect(120, 1080, 855, 255);
    QTest::newRow("txtServicePass") << "txtServicePass" << frame << QRect(960, 1080, 2055, 285);
    QTest::newRow("txtURL is tiny") << "txtURL" << frame << QRect(480, 1320, 150, 195);
    QTest::newRow("Label6") << "Label6" << frame << QRect(120, 1560, 855, 255);
    QTest::newRow("txtHost") << "txtHost" << frame << QRect(960, 1560, 2055, 285);
}

void TestForm1::geometry()
{
    QFETCH(QString, control);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    Form1 form(m_dir.path());
    form.setObjectName("Form1");
    const auto* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
}

void TestForm1::fieldsShowWhatIsTypedWithoutLimit()
{
    Form1 form(m_dir.path());
    const QList<QLineEdit*> fields = form.findChildren<QLineEdit*>();
    QCOMPARE(fields.size(), 8);
    for (const QLineEdit* field : fields) {
        QCOMPARE(field->echoMode(), QLineEdit::Normal);
        QVERIFY2(field->maxLength() >= 1'000'000, qPrintable(field->objectName()));
        QCOMPARE(field->isReadOnly(), field->objectName() == "txtURL");
    }
    auto* password = form.findChild<QLineEdit*>("txtServicePass");
    const QString longValue(5000, QLatin1Char('k'));
    password->setText(longValue);
    QCOMPARE(password->text(), longValue);
}

void TestForm1::tabKeyFollowsTheDesignedOrder()
{
    Form1 form(m_dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtRouterPass"));
    const QStringList expected{"txtWANIP",       "Command1", "txtRouterIP", "txtUserName",
                               "txtServicePass", "txtHost",  "txtService",  "txtRouterPass"};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void TestForm1::browserIsOutOfSightAfterLoad()
{
    Form1 form(m_dir.path());
    const auto* browser = form.findChild<WebBrowser*>("WebBrowser1");
    QVERIFY(browser);
    // Moved left by its own width, keeping its top and size.
    QCOMPARE(browser->geometry(), QRect(-17, 48, 17, 17));
    QVERIFY(!browser->geometry().intersects(form.rect()));
    QCOMPARE(browser->focusPolicy(), Qt::NoFocus);
}

void TestForm1::everyCaptionFitsItsBox()
{
    Form1 form(m_dir.path());
    form.show();
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        QVERIFY2(captionFits(label->font(), {label->text(), label->size(), label->wordWrap()}),
                 qPrintable(label->objectName() + " in " + label->font().toString()));
    }
    const auto* button = form.findChild<QPushButton*>("Command1");
    QVERIFY(captionFits(button->font(), {button->text(), button->size(), false}));
    const auto* frame = form.findChild<QGroupBox*>("Frame1");
    QVERIFY(captionFits(frame->font(), {frame->title(), frame->size(), false}));
    const auto* field = form.findChild<QLineEdit*>("txtWANIP");
    QVERIFY2(QFontMetrics(field->font()).height() < field->height() - 2,
             qPrintable(field->font().toString()));
}

void TestForm1::messageBoxShowsTitleIconAndOneOkButton_data()
{
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<QMessageBox::Icon>("shown");
    QTest::newRow("information") << MessageIcon::Information << QMessageBox::Information;
    QTest::newRow("critical") << MessageIcon::Critical << QMessageBox::Critical;
}

void TestForm1::messageBoxShowsTitleIconAndOneOkButton()
{
    QFETCH(MessageIcon, icon);
    QFETCH(QMessageBox::Icon, shown);
    test::MessageBoxWatcher watcher;
    showMessage(nullptr, QStringLiteral("Something happened"), icon); // returns once the watcher clicks OK
    QCOMPARE(watcher.messages().size(), 1);
    const test::ShownMessage& message = watcher.messages().constFirst();
    QCOMPARE(message.title, QStringLiteral("Tobrisk"));
    QCOMPARE(message.text, QStringLiteral("Something happened"));
    QCOMPARE(message.icon, shown);
    QCOMPARE(message.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    QCOMPARE(watcher.openCount(), 0);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
