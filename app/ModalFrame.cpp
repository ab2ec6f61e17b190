#include "ModalFrame.h"

#include <QMessageBox>

void ModalFrame::Warn(QWidget* owner, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner,
                    kFlags | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}
