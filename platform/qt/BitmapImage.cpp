#include "BitmapImage.h"

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
