#include "BitmapImage.h"

#include <cstdint>
#include <cstring>

#include "platform/BlitRect.h"
#include "platform/GdiObject.h"

QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height)
{
    const QRect wanted = QRect(x, y, width, height).intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if (wanted.isEmpty() || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return {};
    QImage image(wanted.size(), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int row = 0; row < wanted.height(); ++row) {
        const BYTE* from = bitmap.Row(wanted.y() + row) + wanted.x() * bytesPerPixel;
        uchar* to = image.scanLine(row);
        if (bytesPerPixel == 3) {
            std::memcpy(to, from, std::size_t(wanted.width()) * 3);
            continue;
        }
        for (int x = 0; x < wanted.width(); ++x, from += 4, to += 3)
            std::memcpy(to, from, 3);
    }
    return image;
}

QRect CopyBitmapToImage(const GdiObject& bitmap, int sourceX, int sourceY, int width, int height, QImage& image, int x,
                        int y)
{
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || image.depth() != 32)
        return {};
    const BlitRect r =
        BlitRect::Of(x, y, width, height, sourceX, sourceY, bitmap.Width(), bitmap.Height(), image.width(), image.height());
    if (r.Empty())
        return {};
    for (int row = r.top; row < r.bottom; ++row) {
        const BYTE* pixel = bitmap.Row(sourceY + row) + std::ptrdiff_t(sourceX + r.left) * bytesPerPixel;
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y + row)) + x + r.left;
        // Blue, green and red are the low three bytes of a little-endian
        // load; the row's last pixel is read bytewise so as not to read past it.
        const int last = r.Width() - 1;
        for (int column = 0; column < last; ++column, pixel += bytesPerPixel) {
            std::uint32_t bgr;
            std::memcpy(&bgr, pixel, sizeof bgr);
            to[column] = 0xFF000000u | (bgr & 0x00FFFFFFu);
        }
        to[last] = qRgb(pixel[2], pixel[1], pixel[0]);
    }
    return {x + r.left, y + r.top, r.Width(), r.Height()};
}
