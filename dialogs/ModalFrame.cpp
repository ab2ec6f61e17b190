#include "ModalFrame.h"

#include <QEvent>
#include <QMessageBox>
#include <QTimer>

namespace {
// Some window managers (openbox among them) ignore the frame's hints and
// iconify a dialog, and its owner with it, on request: both are shown again.
class StayShown : public QObject {
public:
    explicit StayShown(QWidget* dialog) : QObject(dialog), m_dialog(dialog) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::WindowStateChange && m_dialog->isMinimized())
            QTimer::singleShot(0, this, &StayShown::Restore);
        return false;
    }

private:
    void Restore()
    {
        QWidget* owner = m_dialog->parentWidget() ? m_dialog->parentWidget()->window() : nullptr;
        if (owner && owner->isMinimized())
            owner->setWindowState(owner->windowState() & ~Qt::WindowMinimized);
        if (!m_dialog->isMinimized())
            return;
        m_dialog->setWindowState(m_dialog->windowState() & ~Qt::WindowMinimized);
        m_dialog->raise();
        m_dialog->activateWindow();
    }

    QWidget* m_dialog;
};
} // namespace

void ModalFrame::Apply(QDialog* dialog)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint |
                           (dialog->windowFlags() & Qt::MSWindowsFixedSizeDialogHint));
    dialog->installEventFilter(new StayShown(dialog));
}

void ModalFrame::Warn(QWidget* owner, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
    Apply(&box);
    box.exec();
}
