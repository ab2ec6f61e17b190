// Bitmaps copied into the window's 32-bit images: every width (the copy goes
// eight pixels at a time where it can), clipped at both ends, nothing written
// outside what it reports.
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

void FillRandomly(const GdiObject& bitmap, std::mt19937& random)
{
    for (LONG row = 0; row < bitmap.Height(); ++row)
        for (LONG i = 0; i < bitmap.Stride(); ++i)
            bitmap.Row(row)[i] = static_cast<BYTE>(random());
}

QRgb PixelOf(const GdiObject& bitmap, int x, int y)
{
    const BYTE* pixel = bitmap.Row(y) + x * (bitmap.Header().biBitCount / 8);
    return qRgb(pixel[2], pixel[1], pixel[0]);
}

// Copies rows 1 and 2 of the bitmap from sourceX on to (2, 1) of an image three
// pixels wider than the bitmap, and checks every pixel of the image.
void ExpectCopied(const GdiObject& bitmap, int sourceX)
{
    const int width = bitmap.Width();
    QImage image(width + 3, 4, QImage::Format_RGB32);
    image.fill(kUntouched);
    const QRect written = CopyBitmapToImage(bitmap, sourceX, 1, width, 2, image, 2, 1);
    const QRect expected = sourceX < width ? QRect(2, 1, width - sourceX, 2) : QRect();
    ASSERT_EQ(written, expected) << "width " << width << " from " << sourceX;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb want = expected.contains(x, y) ? PixelOf(bitmap, sourceX + x - 2, y) : kUntouched;
            ASSERT_EQ(image.pixel(x, y), want) << "width " << width << " from " << sourceX << " at " << x << "," << y;
        }
}
} // namespace

TEST(CopyBitmapToImage, SectionsOfEveryWidthCopyExactlyTheirOverlap)
{
    std::mt19937 random(20261208);
    for (LONG width = 1; width <= 41; ++width) {
        HBITMAP section = NewSection(width, 3);
        ASSERT_NE(section, nullptr);
        FillRandomly(*section, random);
        for (int sourceX : {0, 1, 7, 9})
            ExpectCopied(*section, sourceX);
        DeleteObject(section);
    }
}

TEST(CopyBitmapToImage, ThirtyTwoBitBitmapsDropTheirFourthByte)
{
    std::mt19937 random(7);
    for (LONG width : {1, 8, 9, 17}) {
        HBITMAP bitmap = GdiObject::NewDeviceBitmap(width, 3, 32);
        ASSERT_NE(bitmap, nullptr);
        FillRandomly(*bitmap, random);
        ExpectCopied(*bitmap, 0);
        ExpectCopied(*bitmap, 3);
        DeleteObject(bitmap);
    }
}

TEST(CopyBitmapToImage, LargeCopiesSharedAmongCoresWriteEveryRowOnce)
{
    std::mt19937 random(11);
    HBITMAP section = NewSection(1200, 1100);
    ASSERT_NE(section, nullptr);
    FillRandomly(*section, random);
    QImage image(1203, 1000, QImage::Format_RGB32);
    image.fill(kUntouched);
    // Clipped at both ends: the rows the cores share start 30 rows into the copy.
    ASSERT_EQ(CopyBitmapToImage(*section, 0, 50, 1200, 1100, image, 2, -30), QRect(2, 0, 1200, 1000));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = x >= 2 && x < 1202;
            ASSERT_EQ(image.pixel(x, y), inside ? PixelOf(*section, x - 2, y + 80) : kUntouched) << x << "," << y;
        }
    DeleteObject(section);
}

// A window's drawing painted onto its backing store, straight where it can:
// exactly what drawImage leaves of the same bitmaps drawn into an image.
struct PainterCase {
    const char* name;
    qreal ratio;
    QImage::Format format;
    QTransform transform; // logical
    QRegion region;       // logical
    bool straight;
};

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
