#include "Sections.h"

#include "platform/GdiObject.h"

HBITMAP NewSection(LONG width, LONG height, BYTE** bits)
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bits)
        *bits = static_cast<BYTE*>(pixels);
    return section;
}

void FillRandomly(const GdiObject& bitmap, std::mt19937& random)
{
    for (LONG row = 0; row < bitmap.Height(); ++row)
        for (LONG i = 0; i < bitmap.Stride(); ++i)
            bitmap.Row(row)[i] = static_cast<BYTE>(random());
}
