#pragma once
// Lets a test see the message boxes a window shows and close them as a
// person would, without anyone at the screen.

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

namespace parlowen::test {

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

class MessageBoxWatcher : public QObject {
    Q_OBJECT
public:
    // Boxes are closed with OK after closeAfter; a longer time lets a test
    // act while a box is still open.
    explicit MessageBoxWatcher(std::chrono::milliseconds closeAfter = std::chrono::milliseconds(0),
                               QObject* parent = nullptr);

    const QList<ShownMessage>& messages() const { return m_messages; }
    // How many boxes are on screen right now.
    int openCount() const;

signals:
    void messageShown(const parlowen::test::ShownMessage& message);

private:
    void poll();

    std::chrono::milliseconds m_closeAfter;
    QTimer m_poll;
    QList<QPointer<QMessageBox>> m_seen;
    QList<ShownMessage> m_messages;
};

} // namespace parlowen::test
