#include "DialogProgress.h"

#include "platform/User32.h"

void DialogProgress::Begin(int position) { m_dialog.Start(static_cast<WPARAM>(position)); }

void DialogProgress::Move(int position)
{
    SendMessageA(m_dialog.m_progress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void DialogProgress::End() { m_dialog.DestroyWindow(); }
