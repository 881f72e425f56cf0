// The yardstick for the window's start: a form of the same fields, laid out
// by hand as plainly as Qt Widgets allows, with nothing behind it.
//
//   plainform
//
// Shows the form and waits to be closed, as the window does.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace {

QLineEdit* field(QWidget* parent, const QString& caption, QRect labelBox, QRect fieldBox,
                 const QString& text = {})
{
    auto* edit = new QLineEdit(text, parent);
    edit->setGeometry(fieldBox);
    auto* label = new QLabel(caption, parent);
    label->setGeometry(labelBox);
    label->setBuddy(edit);
    label->setWordWrap(true);
    return edit;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget form;
    form.setWindowTitle(QStringLiteral("Plain form"));
    form.setFixedSize(484, 152);
    field(&form, QStringLiteral("Router Admin &Password:"), {8, 8, 257, 17}, {8, 24, 257, 19});
    field(&form, QStringLiteral("Router &IP:"), {8, 49, 49, 17}, {56, 48, 73, 19}, QStringLiteral("10.0.0.2"));
    field(&form, QStringLiteral("&WAN IP:"), {8, 72, 257, 17}, {8, 88, 257, 19});
    auto* go = new QPushButton(QStringLiteral("&Go"), &form);
    go->setGeometry(96, 120, 81, 25);
    go->setDefault(true);
    auto* frame = new QGroupBox(QStringLiteral("Service details"), &form);
    frame->setGeometry(272, 8, 209, 137);
    field(frame, QStringLiteral("Service &URL:"), {8, 16, 57, 25}, {64, 16, 137, 19},
          QStringLiteral("http://ddns.example.net/dyn.asp"));
    field(frame, QStringLiteral("User &Name:"), {8, 48, 57, 17}, {64, 48, 137, 19});
    field(frame, QStringLiteral("Pa&ssword:"), {8, 72, 57, 17}, {64, 72, 137, 19});
    field(frame, QStringLiteral("&Hostname:"), {8, 104, 57, 17}, {64, 104, 137, 19},
          QStringLiteral("myhost.example.net"));
    form.show();
    return app.exec();
}
