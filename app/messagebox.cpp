// The modal message box the program reports with.
#include "app/messagebox.h"

#include <QMessageBox>

namespace parlowen {

void showMessage(QWidget* parent, const QString& text, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Critical,
                    QString::fromUtf16(ApplicationTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("parlowenMessage"));
    box.exec();
}

} // namespace parlowen
