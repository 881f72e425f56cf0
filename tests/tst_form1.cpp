// The window as a person meets it: captions, defaults, layout, keyboard
// order, the unseen browser, and the message box the program reports with.
#include "app/captionfont.h"
#include "app/form1.h"
#include "app/messagebox.h"
#include "app/twips.h"
#include "app/webbrowser.h"
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
    void captionsDefaultsAndFields();
    void windowAndControlsMatchTheDesign();
    void tabKeyFollowsTheDesignedOrder();
    void everyCaptionFitsItsBox();
    void messageBoxShowsTitleIconAndOneOkButton_data();
    void messageBoxShowsTitleIconAndOneOkButton();

private:
    QTemporaryDir m_dir; // where the window looks for its settings: empty
};

void TestForm1::captionsDefaultsAndFields()
{
    // Each control's name, then its caption or starting text.
    const QStringList expected{"Label1",         "Router Admin Password:",
                               "Label3",         "Router IP:",
                               "Label2",         "WAN IP:",
                               "Command1",       "Go",
                               "Frame1",         "Service details",
                               "Label7",         "Service URL:",
                               "Label4",         "User Name:",
                               "Label5",         "Password:",
                               "Label6",         "Hostname:",
                               "txtRouterPass",  "",
                               "txtRouterIP",    "10.0.0.2",
                               "txtWANIP",       "",
                               "txtService",     "http://ddns.example.net/dyn.asp",
                               "txtUserName",    "",
                               "txtServicePass", "",
                               "txtURL",         "",
                               "txtHost",        "myhost.example.net"};
    Form1 form(m_dir.path());
    QCOMPARE(form.windowTitle(), QStringLiteral("Parlowen by Kestrune"));
    QCOMPARE(form.windowIcon().availableSizes().value(0), QSize(48, 48));
    for (qsizetype i = 0; i < expected.size(); i += 2) {
        const QWidget* widget = form.findChild<QWidget*>(expected[i]);
        QVERIFY2(widget, qPrintable(expected[i]));
        QCOMPARE(widget->property(qobject_cast<const QGroupBox*>(widget) ? "title" : "text").toString(),
                 expected[i + 1]);
    }
    // Typed into by hand and checked by eye: shown as typed, never cut short.
    const QList<QLineEdit*> fields = form.findChildren<QLineEdit*>();
    QCOMPARE(fields.size(), 8);
    for (const QLineEdit* field : fields) {
        QCOMPARE(field->echoMode(), QLineEdit::Normal);
        QVERIFY2(field->maxLength() >= 1'000'000, qPrintable(field->objectName()));
        QCOMPARE(field->isReadOnly(), field->objectName() == "txtURL");
    }
}

void TestForm1::windowAndControlsMatchTheDesign()
{
    // Left, top, width, height in twips, relative to the window or the frame.
    struct Placed {
        const char* name;
        bool inFrame;
        QRect twips;
    };
    const Placed design[] = {
        {"Label1", false, {120, 120, 3855, 255}},     {"txtRouterPass", false, {120, 360, 3855, 285}},
        {"Label3", false, {120, 735, 735, 255}},      {"txtRouterIP", false, {840, 720, 1095, 285}},
        {"Label2", false, {120, 1080, 3855, 255}},    {"txtWANIP", false, {120, 1320, 3855, 285}},
        {"Command1", false, {1440, 1800, 1215, 375}}, {"Frame1", false, {4080, 120, 3135, 2055}},
        {"Label7", true, {120, 240, 855, 375}},       {"txtService", true, {960, 240, 2055, 285}},
        {"Label4", true, {120, 720, 855, 255}},       {"txtUserName", true, {960, 720, 2055, 285}},
        {"Label5", true, {120, 1080, 855, 255}},      {"txtServicePass", true, {960, 1080, 2055, 285}},
        {"txtURL", true, {480, 1320, 150, 195}},      {"Label6", true, {120, 1560, 855, 255}},
        {"txtHost", true, {960, 1560, 2055, 285}},
    };
    Form1 form(m_dir.path());
    QCOMPARE(form.size(), QSize(484, 152)); // 7260 x 2280 twips
    const QWidget* frame = form.findChild<QGroupBox*>("Frame1");
    for (const Placed& control : design) {
        const QWidget* widget = form.findChild<QWidget*>(control.name);
        QVERIFY2(widget && widget->parentWidget() == (control.inFrame ? frame : &form), control.name);
        const QRect& t = control.twips;
        QCOMPARE(widget->geometry(), twipsRect(t.x(), t.y(), t.width(), t.height()));
    }
    // The browser works unseen: moved left by its own width, keeping its top and size.
    const auto* browser = form.findChild<WebBrowser*>("WebBrowser1");
    QVERIFY(browser);
    QCOMPARE(browser->geometry(), QRect(-17, 48, 17, 17));
    QCOMPARE(browser->focusPolicy(), Qt::NoFocus);
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

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
