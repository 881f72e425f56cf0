// The window as a person meets it: captions, defaults, layout, keyboard
// order and keys, what a screen reader sees, the unseen browser, the message
// box the program reports with, fields refused before anything loads, values
// kept whole through a close, and the options answered on the terminal.
#include "app/captionfont.h"
#include "app/form1.h"
#include "app/messagebox.h"
#include "app/webbrowser.h"
#include "support/messageboxwatcher.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace parlowen;

namespace {
// The desktop's font for as long as it lives: the window reads it when built.
class DesktopFont {
public:
    explicit DesktopFont(const QFont& font) : m_saved(QApplication::font()) { QApplication::setFont(font); }
    ~DesktopFont() { QApplication::setFont(m_saved); }
    DesktopFont(const DesktopFont&) = delete;
    DesktopFont& operator=(const DesktopFont&) = delete;

private:
    QFont m_saved;
};

// Desktop fonts the window is laid out for, and what each should give:
// the scale of the whole layout, the window's size, where the unseen
// browser ends up, and the pixel sizes the captions may be shown in.
struct DesktopFontCase {
    const char* name;
    double points; // 0 when the desktop gives its font in pixels
    int pixels;
    double scale;
    QSize window;
    QRect browser;
    int smallestCaption;
    int largestCaption;
};
const DesktopFontCase DesktopFonts[] = {
    {"9 pt, as designed", 9, 0, 1.0, {484, 152}, {-17, 48, 17, 17}, 9, 12},
    {"16 pt", 16, 0, 16.0 / 9, {860, 270}, {-30, 85, 30, 30}, 16, 21},
    {"16 px, as some desktops give it", 0, 16, 4.0 / 3, {645, 203}, {-23, 64, 23, 23}, 12, 16},
    {"7 pt keeps the design", 7, 0, 1.0, {484, 152}, {-17, 48, 17, 17}, 9, 12},
    {"24 pt stops at twice the design", 24, 0, 2.0, {968, 304}, {-34, 96, 34, 34}, 18, 24},
};

QFont desktopFont(const DesktopFontCase& row)
{
    QFont font = QApplication::font();
    if (row.points > 0)
        font.setPointSizeF(row.points);
    else
        font.setPixelSize(row.pixels);
    return font;
}
} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void captionsDefaultsAndFields();
    void windowAndControlsMatchTheDesign_data();
    void windowAndControlsMatchTheDesign();
    void tabKeyFollowsTheDesignedOrder();
    void everyCaptionFitsItsBox_data();
    void everyCaptionFitsItsBox();
    void theFittedFontIsTheLargestThatFits_data();
    void theFittedFontIsTheLargestThatFits();
    void returnAnywherePressesGo_data();
    void returnAnywherePressesGo();
    void altWithALabelsLetterFocusesItsField_data();
    void altWithALabelsLetterFocusesItsField();
    void screenReadersSeeNamedFieldsAndNoHelpers();
    void fieldsThatCannotMakeACheckAreRefusedBeforeAnyLoad_data();
    void fieldsThatCannotMakeACheckAreRefusedBeforeAnyLoad();
    void aValueKeepsItsBlanksAndQuotesThroughAClose_data();
    void aValueKeepsItsBlanksAndQuotesThroughAClose();

private:
    QTemporaryDir m_dir; // where the window looks for its settings: empty
};

void TestForm1::captionsDefaultsAndFields()
{
    // Each control's name, then its caption or starting text.
    // An "&" marks the letter that Alt takes to the field.
    const QStringList expected{"Label1",         "Router Admin &Password:",
                               "Label3",         "Router &IP:",
                               "Label2",         "&WAN IP:",
                               "Command1",       "&Go",
                               "Frame1",         "Service details",
                               "Label7",         "Service &URL:",
                               "Label4",         "User &Name:",
                               "Label5",         "Pa&ssword:",
                               "Label6",         "&Hostname:",
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

void TestForm1::windowAndControlsMatchTheDesign_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("browser");
    for (const DesktopFontCase& row : DesktopFonts)
        QTest::newRow(row.name) << desktopFont(row) << row.scale << row.window << row.browser;
}

void TestForm1::windowAndControlsMatchTheDesign()
{
    QFETCH(QFont, font);
    QFETCH(double, scale);
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
    const DesktopFont desktop(font);
    Form1 form(m_dir.path());
    QTEST(form.size(), "window"); // 7260 x 2280 twips, 15 to a pixel at 9 pt
    const QWidget* frame = form.findChild<QGroupBox*>("Frame1");
    // Each edge and length on its own, to the nearest pixel.
    const auto pixels = [scale](int twips) {
        return int(std::lround(twips * scale / 15));
    };
    for (const Placed& control : design) {
        const QWidget* widget = form.findChild<QWidget*>(control.name);
        QVERIFY2(widget && widget->parentWidget() == (control.inFrame ? frame : &form), control.name);
        const QRect& t = control.twips;
        QCOMPARE(widget->geometry(),
                 QRect(pixels(t.x()), pixels(t.y()), pixels(t.width()), pixels(t.height())));
    }
    // The browser works unseen: moved left by its own width, keeping its top and size.
    const auto* browser = form.findChild<WebBrowser*>("WebBrowser1");
    QVERIFY(browser);
    QTEST(browser->geometry(), "browser");
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

void TestForm1::everyCaptionFitsItsBox_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<int>("smallest");
    QTest::addColumn<int>("largest");
    for (const DesktopFontCase& row : DesktopFonts)
        QTest::newRow(row.name) << desktopFont(row) << row.smallestCaption << row.largestCaption;
}

void TestForm1::everyCaptionFitsItsBox()
{
    QFETCH(QFont, font);
    QFETCH(int, smallest);
    QFETCH(int, largest);
    const DesktopFont desktop(font);
    Form1 form(m_dir.path());
    form.show();
    // The captions grow with the window, neither lagging behind nor outgrowing it.
    const int shown = form.font().pixelSize();
    QVERIFY2(shown >= smallest && shown <= largest, qPrintable(form.font().toString()));
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

void TestForm1::theFittedFontIsTheLargestThatFits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("widthAt10px"); // the box's width, in widths of the text at 10 px times the scale
    QTest::addColumn<bool>("wordWrap");
    QTest::addColumn<double>("scale");
    const QString caption = QStringLiteral("Router Admin Password:");
    QTest::newRow("room to spare: the desktop's own, largest") << caption << 3.0 << false << 1.0;
    QTest::newRow("room for no font: the smallest") << caption << 0.3 << false << 1.0;
    // Boxes as wide as the desktop's font needs at 10 px, and a little more
    // or less, at both scales: sizes between the ends, in the desktop's
    // family or a narrower one.
    for (const double scale : {1.0, 2.0}) {
        for (const double width : {0.9, 0.97, 1.02, 1.06}) {
            QTest::addRow("%.2f of 10 px of the desktop's, at %.0fx", width, scale)
                << caption << width << false << scale;
        }
    }
    QTest::newRow("0.6 of 10 px of the desktop's, on two lines") << caption << 0.6 << true << 1.0;
}

// The search goes by halves; its answer must still be the one that trying
// each size from the largest down would give.
void TestForm1::theFittedFontIsTheLargestThatFits()
{
    QFETCH(QString, text);
    QFETCH(double, widthAt10px);
    QFETCH(bool, wordWrap);
    QFETCH(double, scale);
    const QFont desktop = QApplication::font();
    QFont tenPixels(desktop);
    tenPixels.setPixelSize(10);
    const QFontMetrics metrics(tenPixels);
    const CaptionBox box{text,
                         QSize(int(std::lround(metrics.horizontalAdvance(text) * widthAt10px * scale)),
                               int(std::lround((wordWrap ? 2.5 : 1.5) * metrics.height() * scale))),
                         wordWrap};
    const int smallest = int(std::lround(9 * scale)), largest = int(std::lround(12 * scale));
    const QFont chosen = fontFittingCaptions(desktop, {box}, scale);
    const auto fitsAs = [&](const QString& family, int pixelSize) {
        QFont font(desktop);
        font.setFamily(family);
        font.setPixelSize(pixelSize);
        return captionFits(font, box);
    };
    QVERIFY2(chosen.pixelSize() >= smallest && chosen.pixelSize() <= largest, qPrintable(chosen.toString()));
    if (!captionFits(chosen, box)) { // nothing fits: the desktop's own at the smallest size
        QCOMPARE(chosen.family(), desktop.family());
        QCOMPARE(chosen.pixelSize(), smallest);
        return;
    }
    // The desktop's own family wherever it fits, and no larger size fits
    // in it or in the family chosen.
    QVERIFY2(chosen.family() == desktop.family() || !fitsAs(desktop.family(), chosen.pixelSize()),
             qPrintable(chosen.toString()));
    for (int larger = chosen.pixelSize() + 1; larger <= largest; ++larger) {
        QVERIFY2(!fitsAs(desktop.family(), larger), qPrintable(QString::number(larger)));
        QVERIFY2(!fitsAs(chosen.family(), larger), qPrintable(chosen.family() + " " + QString::number(larger)));
    }
}

void TestForm1::returnAnywherePressesGo_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    for (const char* name : {"txtRouterPass", "txtRouterIP", "txtWANIP", "txtService", "txtUserName",
                             "txtServicePass", "txtHost", "Command1"}) {
        QTest::addRow("Return in %s", name) << name << int(Qt::Key_Return);
        QTest::addRow("Enter in %s", name) << name << int(Qt::Key_Enter);
    }
}

void TestForm1::returnAnywherePressesGo()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    Form1 form(m_dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    // An address that is refused before anything loads: Go says so in a box.
    form.findChild<QLineEdit*>("txtRouterIP")->setText("no router here");
    auto* go = form.findChild<QPushButton*>("Command1");
    QVERIFY(go->isDefault());
    QSignalSpy pressed(go, &QPushButton::clicked);
    test::MessageBoxWatcher watcher;
    auto* widget = form.findChild<QWidget*>(focus);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key));
    QCOMPARE(pressed.size(), 1);
    QCOMPARE(watcher.messages().size(), 1);
}

void TestForm1::altWithALabelsLetterFocusesItsField_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("field");
    QTest::newRow("Alt+P") << int(Qt::Key_P) << "txtRouterPass";
    QTest::newRow("Alt+I") << int(Qt::Key_I) << "txtRouterIP";
    QTest::newRow("Alt+W") << int(Qt::Key_W) << "txtWANIP";
    QTest::newRow("Alt+U") << int(Qt::Key_U) << "txtService";
    QTest::newRow("Alt+N") << int(Qt::Key_N) << "txtUserName";
    QTest::newRow("Alt+S") << int(Qt::Key_S) << "txtServicePass";
    QTest::newRow("Alt+H") << int(Qt::Key_H) << "txtHost";
}

void TestForm1::altWithALabelsLetterFocusesItsField()
{
    QFETCH(int, key);
    Form1 form(m_dir.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.findChild<QPushButton*>("Command1")->setFocus();
    QTest::keyClick(&form, Qt::Key(key), Qt::AltModifier);
    QTEST(QApplication::focusWidget()->objectName(), "field");
}

void TestForm1::screenReadersSeeNamedFieldsAndNoHelpers()
{
    Form1 form(m_dir.path());
    form.show();
    QList<QObject*> seen;
    QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(&form)};
    while (!pending.isEmpty()) {
        QAccessibleInterface* node = pending.takeFirst();
        QVERIFY(node);
        seen << node->object();
        for (int i = 0; i < node->childCount(); ++i)
            pending << node->child(i);
    }
    QVERIFY(!seen.contains(form.findChild<WebBrowser*>("WebBrowser1")));
    QVERIFY(!seen.contains(form.findChild<QLineEdit*>("txtURL")));
    QVERIFY(seen.contains(form.findChild<QGroupBox*>("Frame1")));
    // Every field a person types into is there, named by its label.
    const QStringList named{"txtRouterPass",  "Router Admin Password:",
                            "txtRouterIP",    "Router IP:",
                            "txtWANIP",       "WAN IP:",
                            "txtService",     "Service URL:",
                            "txtUserName",    "User Name:",
                            "txtServicePass", "Password:",
                            "txtHost",        "Hostname:"};
    for (qsizetype i = 0; i < named.size(); i += 2) {
        auto* field = form.findChild<QLineEdit*>(named[i]);
        QVERIFY2(seen.contains(field), qPrintable(named[i]));
        QCOMPARE(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name), named[i + 1]);
    }
}

void TestForm1::fieldsThatCannotMakeACheckAreRefusedBeforeAnyLoad_data()
{
    QTest::addColumn<QString>("routerAddress");
    QTest::addColumn<QString>("serviceUrl");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QMessageBox::Icon>("icon");
    const auto row = [](const char* name, const QString& routerAddress, const QString& serviceUrl,
                        const QString& reason, QMessageBox::Icon icon = QMessageBox::Critical) {
        QTest::newRow(name) << routerAddress << serviceUrl << reason << icon;
    };
    const QString service = "http://127.0.0.1:9/dyn.asp";
    const QString notAHost = "does not make a web address";
    row("a path that climbs out, a query and a fragment", "127.0.0.1/../../x?y#z", service, notAHost);
    row("a port and the provider's path", "127.0.0.1:8080/dyn.asp?", service, notAHost);
    row("user-info", "x@127.0.0.1", service, notAHost);
    row("a space", "127.0.0.1 ", service, notAHost);
    row("empty", "", service, "is empty");
    row("a service URL with a fragment", "127.0.0.1", service + "#top", "holds a \"#\"");
    // Not a failure: a form not yet filled in, and what to fill in.
    const QString examples = "No check was run: the Service URL points at";
    row("the example service URL", "127.0.0.1", "http://ddns.example.net/dyn.asp", examples,
        QMessageBox::Information);
    row("a service URL under .invalid, with a fragment too", "127.0.0.1", "http://dyn.x.INVALID/u#a", examples,
        QMessageBox::Information);
}

void TestForm1::fieldsThatCannotMakeACheckAreRefusedBeforeAnyLoad()
{
    QFETCH(QString, routerAddress);
    QFETCH(QString, serviceUrl);
    QFETCH(QString, reason);
    Form1 form(m_dir.path());
    form.findChild<QLineEdit*>("txtRouterIP")->setText(routerAddress);
    form.findChild<QLineEdit*>("txtService")->setText(serviceUrl);
    auto* browser = form.findChild<WebBrowser*>("WebBrowser1");
    QSignalSpy completed(browser, &WebBrowser::DocumentComplete);
    test::MessageBoxWatcher watcher;
    QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(watcher.messages().size(), 1);
    QTEST(watcher.messages().constFirst().icon, "icon");
    QVERIFY2(watcher.messages().constFirst().text.contains(reason),
             qPrintable(watcher.messages().constFirst().text));
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QTest::qWait(100); // room for a load to finish, were one started
    QVERIFY(completed.isEmpty());
    QVERIFY(browser->Document().url().isEmpty());
}

// A value that reads back with blanks at its ends, or in quotes of its own,
// is written so that it reads back the same, by the close that saves it
// without an edit.
void TestForm1::aValueKeepsItsBlanksAndQuotesThroughAClose_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("value");
    QTest::newRow("a router password with blanks around it")
        << QByteArray("Password=\"  pw with blanks  \"") << "txtRouterPass" << "  pw with blanks  ";
    QTest::newRow("a user name in quotes of its own")
        << QByteArray("User=\"\"quoted\"\"") << "txtUserName" << "\"quoted\"";
    QTest::newRow("a password that starts with a tab")
        << QByteArray("Password='\tpw'") << "txtServicePass" << "\tpw";
    QTest::newRow("a host of one blank") << QByteArray("Host=\" \"") << "txtHost" << " ";
}

void TestForm1::aValueKeepsItsBlanksAndQuotesThroughAClose()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, fieldName);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = dir.filePath("Settings.ini");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // The line in the section of its field.
    const bool routerSection = fieldName == "txtRouterPass";
    file.write("[Router settings]\nIP=127.0.0.1\n" + (routerSection ? line + "\n" : QByteArray()) +
               "[DNS settings]\nService URL=http://127.0.0.1:9/dyn.asp\n" +
               (routerSection ? QByteArray() : line + "\n"));
    file.close();
    {
        // Never shown, so no check starts.
        Form1 form(dir.path());
        QCOMPARE(form.findChild<QLineEdit*>(fieldName)->text(), value);
        QVERIFY(form.close());
    }
    Module1 module;
    module.SetSettingsFile(path);
    const auto read = module.ReadSettings();
    QVERIFY(read && read.value());
    const QStringList names{"txtRouterPass", "txtRouterIP",    "txtService",
                            "txtUserName",   "txtServicePass", "txtHost"};
    QCOMPARE((*read.value())[Setting(names.indexOf(fieldName))], value);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
