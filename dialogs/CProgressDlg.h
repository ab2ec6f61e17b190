#pragma once
// The small captionless window with one bar that each render phase shows.
// Its window comes from dialog template 131, which the Qt shell registers;
// without it (command-line renders, core tests) the dialog has no window and
// the position messages go nowhere.
#include "platform/WinTypes.h"

class CProgressDlg {
public:
    static constexpr int IDD = 131;
    static constexpr int IDC_PROGRESS = 1002;

    explicit CProgressDlg(HWND parent = nullptr);
    ~CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    BOOL Create(int templateId, HWND parent = nullptr);
    void CenterWindow();
    BOOL ShowWindow(int command);
    BOOL DestroyWindow();
    // What every phase does first: window from the template, centred and
    // shown, bar range 0 to 100, bar at `position`.
    void Start(WPARAM position);

    HWND m_hWnd = nullptr;
    HWND m_progress = nullptr;

private:
    HWND m_parent;
};
