#include "QtBitmap.h"

#include <QGuiApplication>
#include <cmath>

int QtBitmap::DotsPerMeter()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QImage(1, 1, QImage::Format_RGB888).dotsPerMeterX();
    return static_cast<int>(std::lround(96 * 100 / 2.54));
}

const QImage& QtBitmap::Picture() const
{
    const SectionRows* rows = Rows();
    if (!rows || !m_picture.isNull())
        return m_picture;
    QImage picture(rows->width, rows->height, QImage::Format_RGB888);
    if (picture.isNull())
        return m_picture;
    for (int r = 0; r < rows->height; ++r) {
        const BYTE* from = rows->topRow + r * rows->pitch;
        uchar* to = picture.scanLine(r);
        for (int c = 0; c < rows->width; ++c, from += 3, to += 3)
            to[0] = from[2], to[1] = from[1], to[2] = from[0];
    }
    picture.setDotsPerMeterX(DotsPerMeter());
    picture.setDotsPerMeterY(DotsPerMeter());
    m_picture = std::move(picture);
    return m_picture;
}
