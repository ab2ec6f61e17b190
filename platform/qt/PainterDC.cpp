#include "PainterDC.h"

#include <QPainter>

#include "BitmapImage.h"

BOOL PainterDC::DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY)
{
    if (!m_painter)
        return 0;
    const QImage image = ImageOfBitmap(source, sourceX, sourceY, width, height);
    if (image.isNull())
        return 1;
    // One device pixel per bitmap pixel, whatever the painter's own scaling.
    m_painter->drawImage(QPoint(x + std::max(0, -sourceX), y + std::max(0, -sourceY)), image);
    return 1;
}
