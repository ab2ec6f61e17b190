#include "PainterDC.h"

#include <QPaintDevice>
#include <QPainter>
#include <climits>

#include "BitmapImage.h"
#include "platform/BlitRect.h"
#include "platform/GdiObject.h"

BOOL PainterDC::DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY)
{
    if (!m_painter)
        return 0;
    // The painter clips to its device; the target bounds only keep every coordinate an int.
    const BlitRect r = BlitRect::Of(x, y, width, height, sourceX, sourceY, source.Width(), source.Height(), INT_MAX,
                                    INT_MAX);
    if (r.Empty())
        return 1;
    const QImage image = ImageOfBitmap(source, sourceX + r.left, sourceY + r.top, r.Width(), r.Height());
    if (image.isNull())
        return 1;
    // One device pixel per bitmap pixel, whatever the painter's own scaling:
    // on a scaled screen, one screen pixel; on a printer, one dot.
    const double scale = m_painter->device() ? m_painter->device()->devicePixelRatioF() : 1.0;
    QImage placed = image;
    placed.setDevicePixelRatio(scale);
    m_painter->drawImage(QPointF((x + r.left) / scale, (y + r.top) / scale), placed);
    return 1;
}
