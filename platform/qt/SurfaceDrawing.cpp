#include "SurfaceDrawing.h"

#include <QPainter>

#include "BitmapImage.h"
#include "platform/BlitRect.h"

void SurfaceDrawing::Begin(const QSize& size, qreal ratio)
{
    m_pieces.clear();
    m_size = size;
    m_ratio = ratio;
}

QRect SurfaceDrawing::Add(const GdiObject& bitmap, int sourceX, int sourceY, int width, int height, int x, int y)
{
    const int bytesPerPixel = bitmap.Header().biBitCount / 8;
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        return {};
    const BlitRect r = BlitRect::Of(x, y, width, height, sourceX, sourceY, bitmap.Width(), bitmap.Height(),
                                    m_size.width(), m_size.height());
    if (r.Empty())
        return {};
    const QRect placed(x + r.left, y + r.top, r.Width(), r.Height());
    m_pieces.push_back({bitmap, QPoint(sourceX + r.left, sourceY + r.top), placed});
    return placed;
}

void SurfaceDrawing::Paint(QPainter& painter, const QRegion& region)
{
    if (const std::optional<RasterTarget> target = RasterTargetOf(painter, m_ratio, region)) {
        for (const Piece& piece : m_pieces)
            CopyBitmapToRaster(piece.bitmap, piece.source.x(), piece.source.y(), piece.placed, *target);
        return;
    }
    if (m_image.size() != m_size)
        m_image = QImage(m_size, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(m_ratio);
    for (const Piece& piece : m_pieces)
        CopyBitmapToImage(piece.bitmap, piece.source.x(), piece.source.y(), piece.placed.width(),
                          piece.placed.height(), m_image, piece.placed.x(), piece.placed.y());
    painter.setClipRegion(region);
    painter.drawImage(QPoint(0, 0), m_image);
}
