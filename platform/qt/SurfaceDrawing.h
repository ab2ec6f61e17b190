#pragma once
// What a GetDC drawing put on a window, on its way to the screen: the
// bitmaps drawn and where, in the surface's screen pixels. The surface's
// paint handler copies them onto its backing store in one pass, or, where it
// cannot, through an image of the surface.
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSizeF>
#include <vector>

#include "platform/GdiObject.h"

class QPainter;

class SurfaceDrawing {
public:
    // Starts a drawing of a surface of `size` screen pixels at `ratio` of them a logical pixel.
    void Begin(const QSize& size, qreal ratio);
    // Draws width x height pixels of a bitmap from (sourceX, sourceY) at (x, y),
    // clipped to both; returns the screen pixels it covers.
    QRect Add(const GdiObject& bitmap, int sourceX, int sourceY, int width, int height, int x, int y);
    // Drops the bitmaps, which the drawing keeps alive until then.
    void End() { m_pieces.clear(); }

    QSizeF LogicalSize() const { return QSizeF(m_size) / m_ratio; }
    // Paints the drawing at the painter's origin within `region` (logical).
    void Paint(QPainter& painter, const QRegion& region);

private:
    struct Piece {
        GdiObject bitmap;
        QPoint source;
        QRect placed;
    };

    std::vector<Piece> m_pieces;
    QSize m_size;
    qreal m_ratio = 1;
    // Kept from one drawing to the next, so that a surface Qt cannot be
    // copied onto straight allocates nothing to show a picture.
    QImage m_image;
};
