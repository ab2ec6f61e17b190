#pragma once
// What a window handle points at. Concrete windows (Qt widgets, test doubles,
// headless stand-ins) say how big their client area is and take messages.
#include "WinTypes.h"

class WindowObject {
public:
    virtual ~WindowObject() = default;

    virtual RECT ClientRect() const = 0;
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual WindowObject* Child(int id);
    virtual void Show(int command);
    virtual void CentreOverParent();
    // A device context that draws into this window; null when it cannot be drawn on.
    virtual HDC AcquireDC();
    virtual void ReleaseAcquiredDC(HDC dc);
    // Called by DestroyWindow; the default deletes the object.
    virtual void Destroy();
};
