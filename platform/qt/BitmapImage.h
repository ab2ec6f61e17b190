#pragma once
// An upright QImage copy of (part of) a bitmap's pixels.
#include <QImage>

class GdiObject;

QImage ImageOfBitmap(const GdiObject& bitmap, int x, int y, int width, int height);
