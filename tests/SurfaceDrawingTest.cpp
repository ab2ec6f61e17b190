// A window's drawing painted onto its backing store, straight where it can:
// exactly what drawImage leaves of the same bitmaps drawn into an image.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <random>

#include "Sections.h"
#include "platform/GdiObject.h"
#include "platform/qt/BitmapImage.h"
#include "platform/qt/SurfaceDrawing.h"

namespace {
constexpr QRgb kUntouched = 0xFF345678;

struct PainterCase {
    const char* name;
    qreal ratio;
    QImage::Format format;
    QTransform transform; // logical
    QRegion region;       // logical
    bool straight;
};

} // namespace

TEST(SurfaceDrawing, LeavesWhatDrawImageLeaves)
{
    const PainterCase cases[] = {
        {"moved", 1, QImage::Format_RGB32, QTransform::fromTranslate(3, 4), QRect(0, 0, 25, 20), true},
        {"past the left and bottom edges, two rects", 1, QImage::Format_RGB32, QTransform::fromTranslate(-5, 12),
         QRegion(0, 0, 9, 30) + QRegion(14, 2, 30, 5), true},
        {"onto premultiplied pixels", 1, QImage::Format_ARGB32_Premultiplied, QTransform::fromTranslate(1, 1),
         QRect(2, 3, 10, 10), true},
        {"at twice the scale", 2, QImage::Format_RGB32, QTransform::fromTranslate(3, 4), QRect(1, 0, 8, 7), true},
        {"at one and a half", 1.5, QImage::Format_RGB32, QTransform(), QRect(0, 0, 20, 20), false},
        {"half a pixel over", 1, QImage::Format_RGB32, QTransform::fromTranslate(0.5, 0), QRect(0, 0, 20, 20), false},
        {"scaled by the painter", 1, QImage::Format_RGB32, QTransform::fromScale(2, 2), QRect(0, 0, 20, 20), false},
        {"turned", 1, QImage::Format_RGB32, QTransform().rotate(90), QRect(0, 0, 20, 20), false},
        {"onto 16-bit pixels", 1, QImage::Format_RGB16, QTransform(), QRect(0, 0, 20, 20), false},
    };
    std::mt19937 random(3);
    for (const PainterCase& c : cases) {
        const QSize size(int(25 * c.ratio), int(20 * c.ratio));
        HBITMAP picture = NewSection(size.width() + 5, size.height() + 4);
        HBITMAP patch = NewSection(5, 5);
        FillRandomly(*picture, random);
        FillRandomly(*patch, random);
        // The picture covers the surface from (3, 2) of its own; the patch goes over it.
        SurfaceDrawing drawing;
        drawing.Begin(size, c.ratio);
        ASSERT_EQ(drawing.Add(*picture, 3, 2, 1000, 1000, 0, 0), QRect(QPoint(0, 0), size)) << c.name;
        ASSERT_EQ(drawing.Add(*patch, 1, 0, 5, 5, 4, 6), QRect(4, 6, 4, 5)) << c.name;
        QImage image(size, QImage::Format_RGB32);
        CopyBitmapToImage(*picture, 3, 2, size.width(), size.height(), image, 0, 0);
        CopyBitmapToImage(*patch, 1, 0, 5, 5, image, 4, 6);
        image.setDevicePixelRatio(c.ratio);

        QImage painted(int(40 * c.ratio), int(30 * c.ratio), c.format);
        painted.fill(kUntouched);
        painted.setDevicePixelRatio(c.ratio);
        QImage drawn = painted.copy();
        {
            QPainter painter(&painted);
            painter.setTransform(c.transform);
            ASSERT_EQ(RasterTargetOf(painter, c.ratio, c.region).has_value(), c.straight) << c.name;
            drawing.Paint(painter, c.region);
        }
        {
            QPainter painter(&drawn);
            painter.setTransform(c.transform);
            painter.setClipRegion(c.region);
            painter.drawImage(QPoint(0, 0), image);
        }
        EXPECT_EQ(painted, drawn) << c.name;
        drawing.End();
        DeleteObject(picture);
        DeleteObject(patch);
    }
}
