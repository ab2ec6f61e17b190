#include "BitmapImage.h"

#include <cstring>

#include "platform/GdiObject.h"

QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height)
{
    const QRect wanted = QRect(x, y, width, height).intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    if (wanted.isEmpty() || bitmap.Header().biBitCount != 24)
        return {};
    QImage image(wanted.size(), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int row = 0; row < wanted.height(); ++row)
        std::memcpy(image.scanLine(row), bitmap.Row(wanted.y() + row) + wanted.x() * 3, std::size_t(wanted.width()) * 3);
    return image;
}
