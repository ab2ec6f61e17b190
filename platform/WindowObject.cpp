#include "WindowObject.h"

LRESULT WindowObject::OnMessage(UINT, WPARAM, LPARAM) { return 0; }
WindowObject* WindowObject::Child(int) { return nullptr; }
void WindowObject::Show(int) {}
void WindowObject::CentreOverParent() {}
HDC WindowObject::AcquireDC() { return nullptr; }
void WindowObject::ReleaseAcquiredDC(HDC) {}
void WindowObject::Destroy() { delete this; }
