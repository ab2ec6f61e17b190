#include "CProgressDlg.h"

#include "platform/User32.h"
#include "platform/WindowObject.h"

CProgressDlg::CProgressDlg(HWND parent) : m_parent(parent) {}

CProgressDlg::~CProgressDlg() { DestroyWindow(); }

BOOL CProgressDlg::Create(int templateId, HWND parent)
{
    m_hWnd = CreateDialogFromTemplate(templateId, parent ? parent : m_parent);
    // Binds the bar control the way data exchange would.
    m_progress = GetDlgItem(m_hWnd, IDC_PROGRESS);
    return m_hWnd != nullptr;
}

void CProgressDlg::CenterWindow()
{
    if (m_hWnd)
        m_hWnd->CentreOverParent();
}

BOOL CProgressDlg::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }

BOOL CProgressDlg::DestroyWindow()
{
    HWND window = m_hWnd;
    m_hWnd = nullptr;
    m_progress = nullptr;
    return ::DestroyWindow(window);
}

void CProgressDlg::Start(WPARAM position)
{
    Create(IDD, nullptr);
    CenterWindow();
    ShowWindow(SW_SHOW);
    SendMessageA(m_progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(m_progress, PBM_SETPOS, position, 0);
}
