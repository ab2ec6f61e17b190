#pragma once
// The progress of a picture in progress dialogs, one per phase, each made
// from dialog template 131 (the window's box, or a terminal's line).
#include "CProgressDlg.h"
#include "fractal/RenderProgress.h"

class DialogProgress : public RenderProgress {
public:
    void Begin(int position) override;
    void Move(int position) override;
    void End() override;

private:
    CProgressDlg m_dialog;
};
