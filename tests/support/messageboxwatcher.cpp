// Sees and closes the message boxes a window shows.
#include "support/messageboxwatcher.h"

#include <QAbstractButton>
#include <QApplication>

#include <algorithm>

namespace parlowen::test {

MessageBoxWatcher::MessageBoxWatcher(std::chrono::milliseconds closeAfter, QObject* parent)
    : QObject(parent), m_closeAfter(closeAfter)
{
    // A modal box runs its own event loop, so the watcher polls from a timer
    // rather than waiting for the call that opened the box to return.
    m_poll.setInterval(5);
    connect(&m_poll, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    m_poll.start();
}

int MessageBoxWatcher::openCount() const
{
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget) && widget->isVisible())
            ++open;
    }
    return open;
}

void MessageBoxWatcher::poll()
{
    m_mostOpen = std::max(m_mostOpen, openCount());
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible() || m_seen.contains(QPointer<QMessageBox>(box)))
            continue;
        m_seen.append(box);
        ShownMessage message{box->windowTitle(), box->text(), box->informativeText(), box->icon(), {}};
        for (QAbstractButton* button : box->buttons())
            message.buttons.append(box->standardButton(button));
        m_messages.append(message);
        emit messageShown(message);
        QPointer<QMessageBox> guarded(box);
        QTimer::singleShot(m_closeAfter, this, [guarded, answer = m_answer] {
            if (!guarded)
                return;
            if (QAbstractButton* button = guarded->button(QMessageBox::Ok))
                button->click();
            else if (QAbstractButton* button = guarded->button(answer))
                button->click();
        });
    }
}

} // namespace parlowen::test
