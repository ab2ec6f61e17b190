// Bitmaps copied into the window's 32-bit image: every width (the copy goes
// eight pixels at a time where it can), clipped at both ends, nothing written
// outside what it reports.
#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "Sections.h"
#include "platform/GdiObject.h"
#include "platform/qt/BitmapImage.h"

namespace {
constexpr QRgb kUntouched = 0xFF345678;

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

// Past 16 MiB the pixels are stored past the cache from each row's first
// 32-byte boundary on: rows of 2103 pixels start at every alignment.
TEST(CopyBitmapToImage, LargeCopiesSharedAmongCoresWriteEveryRowOnce)
{
    std::mt19937 random(11);
    for (const QSize size : {QSize(1200, 1100), QSize(2100, 2100)}) {
        SCOPED_TRACE(size.width());
        HBITMAP section = NewSection(size.width(), size.height());
        ASSERT_NE(section, nullptr);
        FillRandomly(*section, random);
        QImage image(size.width() + 3, size.height() - 100, QImage::Format_RGB32);
        image.fill(kUntouched);
        // Clipped at both ends: the rows the cores share start 30 rows into the copy.
        ASSERT_EQ(CopyBitmapToImage(*section, 0, 50, size.width(), size.height(), image, 2, -30),
                  QRect(2, 0, size.width(), image.height()));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = x >= 2 && x < size.width() + 2;
                ASSERT_EQ(image.pixel(x, y), inside ? PixelOf(*section, x - 2, y + 80) : kUntouched) << x << "," << y;
            }
        DeleteObject(section);
    }
}
