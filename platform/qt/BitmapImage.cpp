#include "BitmapImage.h"

#include <cstdint>
#include <cstring>

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

QRect CopyBitmapToImage(const GdiObject& bitmap, QRect from, QImage& image, QPoint at)
{
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || image.depth() != 32)
        return {};
    // Clip the source to the bitmap and the destination to the image, keeping
    // the two rectangles in step.
    const QRect source = from.intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    const QRect target = source.translated(at - from.topLeft()).intersected(image.rect());
    if (target.isEmpty())
        return {};
    const QPoint offset = from.topLeft() - at;
    for (int row = target.top(); row <= target.bottom(); ++row) {
        const BYTE* pixel = bitmap.Row(row + offset.y()) + std::ptrdiff_t(target.left() + offset.x()) * bytesPerPixel;
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(row)) + target.left();
        // Blue, green and red are the low three bytes of a little-endian
        // load; the row's last pixel is read bytewise so as not to read past it.
        const int last = target.width() - 1;
        for (int x = 0; x < last; ++x, pixel += bytesPerPixel) {
            std::uint32_t bgr;
            std::memcpy(&bgr, pixel, sizeof bgr);
            to[x] = 0xFF000000u | (bgr & 0x00FFFFFFu);
        }
        to[last] = qRgb(pixel[2], pixel[1], pixel[0]);
    }
    return target;
}
