#include "ProgressWindow.h"

#include <QPointer>
#include <QProgressBar>
#include <algorithm>
#include <chrono>

#include "CProgressDlg.h"
#include "DialogUnits.h"
#include "platform/User32.h"
#include "platform/qt/GdiFlush.h"

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
            const bool starting = !m_started;
            m_started = true;
            if (position != previous) {
                // QProgressBar would repaint itself at once: the pace is the bar's own.
                setUpdatesEnabled(false);
                setValue(position);
                setUpdatesEnabled(true);
                if (isVisible() && (starting || DueForPainting()))
                    Paint();
            }
            return previous;
        }
        return 0;
    }

    // The box was just painted, bar and all.
    void Shown()
    {
        m_painted = std::chrono::steady_clock::now();
        m_started = false;
    }

private:
    // Painting the bar again waits for the display to have taken the last
    // painting (a round trip to the X server, 0.2 to 5 ms while the render
    // keeps the cores busy): painted at every position, the bar cost a render
    // more than its colouring. The position it starts at is painted at once,
    // the rest at most once a frame.
    bool DueForPainting() const { return std::chrono::steady_clock::now() - m_painted >= kFrame; }
    void Paint()
    {
        repaint();
        GdiFlush();
        m_painted = std::chrono::steady_clock::now();
    }

    static constexpr std::chrono::milliseconds kFrame {10};
    std::chrono::steady_clock::time_point m_painted;
    bool m_started = false;
};

ProgressWindow::ProgressWindow(QWidget* host) : QFrame(host), m_bar(new Bar(this))
{
    setObjectName("IDD_PROGRESS");
    hide();
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAutoFillBackground(true);
    setFont(DialogUnits::TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(186, 22));
    du.Place(m_bar, 7, 7, 172, 6);
}

void ProgressWindow::RegisterTemplate(QWidget* host)
{
    QPointer<QWidget> drawnIn(host);
    RegisterDialogTemplate(CProgressDlg::IDD, [drawnIn](int, HWND) -> HWND {
        return drawnIn ? new ProgressWindow(drawnIn.data()) : nullptr;
    });
}

RECT ProgressWindow::ClientRect() const { return {0, 0, width(), height()}; }

WindowObject* ProgressWindow::Child(int id) { return id == CProgressDlg::IDC_PROGRESS ? m_bar : nullptr; }

void ProgressWindow::Show(int)
{
    show();
    raise();
    // Painted now: nothing else will run before the render is over.
    if (isVisible()) {
        repaint();
        GdiFlush();
        m_bar->Shown();
    }
}

// Centred over the main window, and kept inside the widget it is drawn in.
void ProgressWindow::CentreOverParent()
{
    const QWidget* host = parentWidget();
    if (!host)
        return;
    const QWidget* frame = host->window();
    const QPoint centre = host->mapFrom(frame, frame->rect().center());
    QPoint at = centre - rect().center();
    at.setX(std::clamp(at.x(), 0, std::max(0, host->width() - width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, host->height() - height())));
    move(at);
}

void ProgressWindow::Destroy() { delete this; }
