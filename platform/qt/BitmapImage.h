#pragma once
// Bitmap pixels as Qt images, upright.
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
// Copies a 32-bit image, drawn at the painter's origin one device pixel a
// pixel, straight into the raster image the painter paints on, within
// `region` (logical): what drawImage would do, on several cores. False,
// having done nothing, where the painter does not paint on such an image or
// would scale the image.
bool CopyImageToPainter(QPainter& painter, const QImage& image, const QRegion& region);
