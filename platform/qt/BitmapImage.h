#pragma once
// Bitmap pixels as Qt images, upright.
#include <optional>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

class QPainter;

class GdiObject;

// A copy of (part of) a bitmap's pixels.
QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height);
// Copies width x height pixels of a 24- or 32-bit bitmap from (sourceX,
// sourceY) into a 32-bit image at (x, y), clipped to both; returns the
// rectangle of the image it wrote.
QRect CopyBitmapToImage(const GdiObject& bitmap, int sourceX, int sourceY, int width, int height, QImage& image, int x,
                        int y);
// The raster image a painter paints on, where a drawing of whole device
// pixel ratio `ratio`, placed at the painter's origin, lands one drawing
// pixel a device pixel: where the origin falls in it, and the device pixels
// of `region` (logical) it may paint. None where the painter paints on
// anything else, clips, or would scale or move the drawing by part of a pixel.
struct RasterTarget {
    QImage& image;
    QPoint origin;
    QRegion covered;
};
std::optional<RasterTarget> RasterTargetOf(QPainter& painter, qreal ratio, const QRegion& region);
// Copies the pixels of a 24- or 32-bit bitmap from (sourceX, sourceY) onto
// `placed` (device pixels of the drawing) in the target, within what it may
// paint, on several cores: what drawing them as a 32-bit image would leave.
void CopyBitmapToRaster(const GdiObject& bitmap, int sourceX, int sourceY, const QRect& placed,
                        const RasterTarget& target);
