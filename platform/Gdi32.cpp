#include "Gdi32.h"

#include <cstring>
#include <new>

#include "DeviceContext.h"
#include "GdiObject.h"

namespace {
HBITMAP NewSection(const BITMAPINFO* info, UINT usage, void** bits, GdiObject::Pixels pixels)
{
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return nullptr;
    GdiObject* bitmap = GdiObject::NewSection(info->bmiHeader, pixels);
    if (bitmap && bits)
        *bits = bitmap->Bits();
    return bitmap;
}
} // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, void*, DWORD)
{
    return NewSection(info, usage, bits, GdiObject::Pixels::Zero);
}

HBITMAP CreateDIBSectionToOverwrite(const BITMAPINFO* info, void** bits)
{
    return NewSection(info, DIB_RGB_COLORS, bits, GdiObject::Pixels::Unset);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) { return GdiObject::NewDeviceBitmap(width, height, 32); }

int GetObjectA(HGDIOBJ object, int size, void* buffer)
{
    if (!object)
        return 0;
    BITMAP bm {};
    bm.bmWidth = object->Width();
    bm.bmHeight = object->Height();
    bm.bmWidthBytes = object->Stride();
    bm.bmPlanes = 1;
    bm.bmBitsPixel = object->Header().biBitCount;
    if (object->IsSection() && size >= int(sizeof(DIBSECTION))) {
        DIBSECTION ds {};
        bm.bmBits = object->Bits();
        ds.dsBm = bm;
        ds.dsBmih = object->Header();
        if (buffer)
            std::memcpy(buffer, &ds, sizeof ds);
        return sizeof(DIBSECTION);
    }
    if (size < int(sizeof(BITMAP)))
        return 0;
    if (buffer)
        std::memcpy(buffer, &bm, sizeof bm);
    return sizeof(BITMAP);
}

HDC CreateCompatibleDC(HDC) { return new (std::nothrow) DeviceContext; }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) { return dc ? dc->Select(object) : nullptr; }

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour)
{
    return dc && dc->SetPixel(x, y, colour) ? colour : CLR_INVALID;
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop)
{
    if (!target || !source || !source->Selected() || rop != SRCCOPY)
        return 0;
    if (width <= 0 || height <= 0)
        return 1;
    return target->DrawBitmap(x, y, width, height, *source->Selected(), sourceX, sourceY);
}

BOOL DeleteDC(HDC dc)
{
    if (!dc)
        return 0;
    delete dc;
    return 1;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object)
        return 0;
    delete object;
    return 1;
}
