#include "DeviceContext.h"

#include <algorithm>
#include <cstring>

#include "BlitRect.h"
#include "GdiObject.h"

HBITMAP DeviceContext::Select(HBITMAP bitmap)
{
    HBITMAP previous = m_selected;
    m_selected = bitmap;
    return previous;
}

BOOL DeviceContext::SetPixel(int x, int y, COLORREF colour)
{
    GdiObject* bitmap = m_selected;
    if (!bitmap || x < 0 || y < 0 || x >= bitmap->Width() || y >= bitmap->Height())
        return 0;
    const int bytesPerPixel = bitmap->Header().biBitCount / 8;
    BYTE* pixel = bitmap->Row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel;
    pixel[0] = static_cast<BYTE>(colour >> 16);
    pixel[1] = static_cast<BYTE>(colour >> 8);
    pixel[2] = static_cast<BYTE>(colour);
    return 1;
}

BOOL DeviceContext::DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY)
{
    GdiObject* target = m_selected;
    if (!target || target->Header().biBitCount != source.Header().biBitCount)
        return 0;
    const int bytesPerPixel = source.Header().biBitCount / 8;
    // Clip to both bitmaps; what falls outside is simply not copied.
    const BlitRect r = BlitRect::Of(x, y, width, height, sourceX, sourceY, source.Width(), source.Height(),
                                    target->Width(), target->Height());
    for (int row = r.top; row < r.bottom; ++row) {
        const BYTE* from = source.Row(sourceY + row) + static_cast<std::ptrdiff_t>(sourceX + r.left) * bytesPerPixel;
        BYTE* to = target->Row(y + row) + static_cast<std::ptrdiff_t>(x + r.left) * bytesPerPixel;
        std::memcpy(to, from, static_cast<std::size_t>(r.Width()) * bytesPerPixel);
    }
    return 1;
}
