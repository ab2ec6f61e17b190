#pragma once
// A library bitmap: an upright copy of the picture, ready for Qt's writers.
#include <QImage>

#include "Gdiplus.h"

class QtBitmap : public GpBitmap {
public:
    explicit QtBitmap(QImage picture) : m_picture(std::move(picture)) {}
    const QImage& Picture() const { return m_picture; }

private:
    QImage m_picture;
};
