#include "FakeWindows.h"

#include "dialogs/CProgressDlg.h"
#include "dialogs/DialogProgress.h"
#include "platform/User32.h"

namespace {
class RecordingBar : public WindowObject {
public:
    explicit RecordingBar(ProgressLog& log) : m_log(log) {}
    RECT ClientRect() const override { return {0, 0, 172, 6}; }
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        m_log.messages.push_back({msg, wParam, lParam});
        if (m_log.observer)
            m_log.observer(m_log.messages.back());
        return 0;
    }
    void Destroy() override {}

private:
    ProgressLog& m_log;
};

class RecordingDialog : public WindowObject {
public:
    explicit RecordingDialog(ProgressLog& log) : m_log(log), m_bar(log) { ++m_log.created; }
    RECT ClientRect() const override { return {0, 0, 279, 36}; }
    WindowObject* Child(int id) override { return id == CProgressDlg::IDC_PROGRESS ? &m_bar : nullptr; }
    void Show(int) override { ++m_log.shown; }
    void Destroy() override
    {
        ++m_log.destroyed;
        delete this;
    }

private:
    ProgressLog& m_log;
    RecordingBar m_bar;
};
} // namespace

std::vector<int> ProgressLog::Positions() const
{
    std::vector<int> positions;
    for (const BarMessage& m : messages)
        if (m.msg == PBM_SETPOS)
            positions.push_back(static_cast<int>(m.wParam));
    return positions;
}

ProgressRecorder::ProgressRecorder()
{
    RegisterDialogTemplate(CProgressDlg::IDD, [this](int, HWND) -> HWND { return new RecordingDialog(log); });
}

ProgressRecorder::~ProgressRecorder() { RegisterDialogTemplate(CProgressDlg::IDD, nullptr); }

RenderProgress& DialogBars()
{
    static DialogProgress progress;
    return progress;
}
