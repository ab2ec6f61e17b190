#pragma once
// What an HDC points at. The base is a memory device context: it draws into
// the bitmap selected into it. Window and printer contexts override DrawBitmap.
#include "WinTypes.h"

class DeviceContext {
public:
    virtual ~DeviceContext() = default;

    HBITMAP Selected() const { return m_selected; }
    HBITMAP Select(HBITMAP bitmap);
    BOOL SetPixel(int x, int y, COLORREF colour);

    // Copies a rectangle of `source` (row 0 at the top) to (x, y) of this context.
    virtual BOOL DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY);

private:
    HBITMAP m_selected = nullptr;
};
