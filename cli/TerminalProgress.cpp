#include "TerminalProgress.h"

#include <unistd.h>

#include "dialogs/CProgressDlg.h"
#include "platform/User32.h"
#include "platform/WindowObject.h"

namespace {
constexpr char kLine[] = "\rRendu : %3d %%";
constexpr int kLineWidth = 14;
} // namespace

// One phase's dialog: its bar hands the positions on; closing it clears the line.
class TerminalProgress::Dialog : public WindowObject {
public:
    explicit Dialog(TerminalProgress& progress) : m_bar(progress), m_progress(progress) {}
    ~Dialog() override { m_progress.Clear(); }

    RECT ClientRect() const override { return {0, 0, 0, 0}; }
    WindowObject* Child(int id) override { return id == CProgressDlg::IDC_PROGRESS ? &m_bar : nullptr; }

private:
    class Bar : public WindowObject {
    public:
        explicit Bar(TerminalProgress& progress) : m_progress(progress) {}
        RECT ClientRect() const override { return {0, 0, 0, 0}; }
        void Destroy() override {}
        LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM) override
        {
            if (msg == PBM_SETPOS)
                m_progress.Report(static_cast<int>(wParam));
            return 0;
        }

    private:
        TerminalProgress& m_progress;
    };

    Bar m_bar;
    TerminalProgress& m_progress;
};

TerminalProgress::TerminalProgress(std::FILE* out, std::chrono::milliseconds delay)
    : TerminalProgress(out, isatty(fileno(out)) == 1, delay)
{
}

TerminalProgress::TerminalProgress(std::FILE* out, bool terminal, std::chrono::milliseconds delay)
    : m_out(out), m_terminal(terminal), m_start(std::chrono::steady_clock::now()), m_delay(delay)
{
    if (m_terminal)
        RegisterDialogTemplate(CProgressDlg::IDD, [this](int, HWND) -> HWND { return new Dialog(*this); });
}

TerminalProgress::~TerminalProgress()
{
    if (m_terminal)
        RegisterDialogTemplate(CProgressDlg::IDD, nullptr);
    Clear();
}

void TerminalProgress::Report(int position)
{
    if (!m_terminal || position == m_shown || std::chrono::steady_clock::now() - m_start < m_delay)
        return;
    m_shown = position;
    std::fprintf(m_out, kLine, position);
    std::fflush(m_out);
}

void TerminalProgress::Clear()
{
    if (m_shown < 0)
        return;
    m_shown = -1;
    std::fprintf(m_out, "\r%*s\r", kLineWidth, "");
    std::fflush(m_out);
}
