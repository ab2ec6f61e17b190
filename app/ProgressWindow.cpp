#include "ProgressWindow.h"

#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>

#include "CProgressDlg.h"
#include "DialogUnits.h"
#include "platform/User32.h"

class ProgressWindow::Bar : public QProgressBar, public WindowObject {
public:
    explicit Bar(QWidget* parent) : QProgressBar(parent)
    {
        setObjectName("IDC_PROGRESS");
        setTextVisible(false);
        setRange(0, 100);
        setValue(0);
    }

    RECT ClientRect() const override { return {0, 0, width(), height()}; }
    void Destroy() override {}

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == PBM_SETRANGE) {
            const int previousMax = maximum();
            setRange(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
            return previousMax << 16;
        }
        if (msg == PBM_SETPOS) {
            const int previous = value();
            const int position = static_cast<int>(wParam);
            if (position != previous) {
                setValue(position);
                repaint();
            }
            return previous;
        }
        return 0;
    }
};

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint), m_bar(new Bar(this))
{
    setObjectName("IDD_PROGRESS");
    // It must never take the focus from the main window, or its shortcuts would stop working.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setStyleSheet("ProgressWindow { border: 1px solid palette(dark); }");
    setFont(DialogUnits::TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(186, 22));
    du.Place(m_bar, 7, 7, 172, 6);
}

void ProgressWindow::RegisterTemplate(QWidget* mainWindow)
{
    QPointer<QWidget> owner(mainWindow);
    RegisterDialogTemplate(CProgressDlg::IDD, [owner](int, HWND) -> HWND { return new ProgressWindow(owner.data()); });
}

RECT ProgressWindow::ClientRect() const { return {0, 0, width(), height()}; }

WindowObject* ProgressWindow::Child(int id) { return id == CProgressDlg::IDC_PROGRESS ? m_bar : nullptr; }

void ProgressWindow::Show(int)
{
    show();
    // Let the window system map it once, so that the bar can be seen moving;
    // input stays queued until the render is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWindow::CentreOverParent()
{
    const QWidget* over = parentWidget();
    const QRect area = over ? over->frameGeometry() : screen()->availableGeometry();
    move(area.center() - rect().center());
}

void ProgressWindow::Destroy()
{
    QPointer<QWidget> owner = parentWidget();
    const bool wasActive = isActiveWindow();
    delete this;
    // Give the activation back where some platforms moved it to us.
    if (owner && wasActive)
        owner->activateWindow();
}
