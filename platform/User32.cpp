#include "User32.h"

#include <map>

#include "WindowObject.h"

namespace {
std::map<int, DialogTemplateFactory>& Templates()
{
    static std::map<int, DialogTemplateFactory> templates;
    return templates;
}
} // namespace

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (!window || !rect)
        return 0;
    *rect = window->ClientRect();
    return 1;
}

LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return window ? window->OnMessage(msg, wParam, lParam) : 0;
}

BOOL ShowWindow(HWND window, int command)
{
    if (!window)
        return 0;
    window->Show(command);
    return 1;
}

BOOL DestroyWindow(HWND window)
{
    if (!window)
        return 0;
    window->Destroy();
    return 1;
}

HWND GetDlgItem(HWND dialog, int id) { return dialog ? dialog->Child(id) : nullptr; }

HDC GetDC(HWND window) { return window ? window->AcquireDC() : nullptr; }

int ReleaseDC(HWND window, HDC dc)
{
    if (!window || !dc)
        return 0;
    window->ReleaseAcquiredDC(dc);
    return 1;
}

void RegisterDialogTemplate(int templateId, DialogTemplateFactory factory)
{
    if (factory)
        Templates()[templateId] = std::move(factory);
    else
        Templates().erase(templateId);
}

HWND CreateDialogFromTemplate(int templateId, HWND parent)
{
    auto it = Templates().find(templateId);
    return it == Templates().end() ? nullptr : it->second(templateId, parent);
}
