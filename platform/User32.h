#pragma once
// Window services: client rectangles, messages, dialogs from templates, window DCs.
#include <functional>

#include "WinTypes.h"

BOOL GetClientRect(HWND window, RECT* rect);
LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL ShowWindow(HWND window, int command);
BOOL DestroyWindow(HWND window);
HWND GetDlgItem(HWND dialog, int id);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Dialog templates are built by whoever knows how to show them (the Qt shell);
// with none registered, creation fails and the dialog simply has no window.
using DialogTemplateFactory = std::function<HWND(int templateId, HWND parent)>;
void RegisterDialogTemplate(int templateId, DialogTemplateFactory factory);
HWND CreateDialogFromTemplate(int templateId, HWND parent);
