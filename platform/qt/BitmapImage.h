#pragma once
// Bitmap pixels as Qt images, upright.
#include <QImage>
#include <QPoint>
#include <QRect>

class GdiObject;

// A copy of (part of) a bitmap's pixels.
QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height);
// Copies width x height pixels of a 24- or 32-bit bitmap from (sourceX,
// sourceY) into a 32-bit image at (x, y), clipped to both; returns the
// rectangle of the image it wrote.
QRect CopyBitmapToImage(const GdiObject& bitmap, int sourceX, int sourceY, int width, int height, QImage& image, int x,
                        int y);
