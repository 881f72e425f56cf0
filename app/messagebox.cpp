// The modal message boxes the program reports with.
#include "app/messagebox.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace parlowen {

namespace {
const QString MessageName = QStringLiteral("parlowenMessage");

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        break;
    }
    return QMessageBox::Critical;
}
} // namespace

void showMessage(QWidget* parent, const QString& text, MessageIcon icon, const QString& detail)
{
    QMessageBox box(boxIcon(icon), QString::fromUtf16(ApplicationTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(MessageName);
    box.setInformativeText(detail);
    box.exec();
}

void closeMessages(QWidget* parent)
{
    for (QMessageBox* box : parent->findChildren<QMessageBox*>(MessageName, Qt::FindDirectChildrenOnly))
        box->done(QMessageBox::Ok);
}

bool askToCloseUnsaved(QWidget* parent, const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf16(ApplicationTitle), text,
                    QMessageBox::Cancel | QMessageBox::Discard, parent);
    box.setObjectName(MessageName);
    box.setInformativeText(detail);
    // Keeping the window is the safe answer, and the one Return and Escape give.
    box.button(QMessageBox::Cancel)->setText(QObject::tr("&Keep the Window Open"));
    box.button(QMessageBox::Discard)->setText(QObject::tr("&Close Without Saving"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Discard;
}

ReplaceChoice askToReplaceFile(QWidget* parent, const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf16(ApplicationTitle), text,
                    QMessageBox::Cancel | QMessageBox::Save | QMessageBox::Discard, parent);
    box.setObjectName(MessageName);
    box.setInformativeText(detail);
    box.button(QMessageBox::Cancel)->setText(QObject::tr("&Keep the Window Open"));
    box.button(QMessageBox::Save)->setText(QObject::tr("&Replace the File"));
    box.button(QMessageBox::Discard)->setText(QObject::tr("&Close Without Saving"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return ReplaceChoice::Replace;
    case QMessageBox::Discard:
        return ReplaceChoice::CloseWithoutSaving;
    default:
        return ReplaceChoice::KeepWindowOpen;
    }
}

} // namespace parlowen
