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
    QString detail; // the informative text, the box's second line
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

class MessageBoxWatcher : public QObject {
    Q_OBJECT
public:
    // Boxes are closed with OK (or the answer set) after closeAfter; a longer time lets a test
    // act while a box is still open.
    explicit MessageBoxWatcher(std::chrono::milliseconds closeAfter = std::chrono::milliseconds(0),
                               QObject* parent = nullptr);

    // The button clicked on a box that has no OK button.
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

    const QList<ShownMessage>& messages() const { return m_messages; }
    // How many boxes are on screen right now, and at most so far.
    int openCount() const;
    int mostOpenAtOnce() const { return m_mostOpen; }

signals:
    void messageShown(const parlowen::test::ShownMessage& message);

private:
    void poll();

    std::chrono::milliseconds m_closeAfter;
    QMessageBox::StandardButton m_answer = QMessageBox::Cancel;
    QTimer m_poll;
    QList<QPointer<QMessageBox>> m_seen;
    QList<ShownMessage> m_messages;
    int m_mostOpen = 0;
};

} // namespace parlowen::test
