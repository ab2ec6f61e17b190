#pragma once
// Bitmap pixels as Qt images, upright.
#include <QImage>
#include <QPoint>
#include <QRect>

class GdiObject;

// A copy of (part of) a bitmap's pixels.
QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height);
// Copies the part `from` of a 24- or 32-bit bitmap into a 32-bit image at
// `at`, both clipped; returns the rectangle of the image it wrote.
QRect CopyBitmapToImage(const GdiObject& bitmap, QRect from, QImage& image, QPoint at);
