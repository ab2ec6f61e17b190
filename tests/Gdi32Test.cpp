#include <gtest/gtest.h>

#include <climits>

#include "Sections.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi32.h"
#include "platform/GdiObject.h"

namespace {
TEST(CreateDIBSection, RowsArePaddedAndStoredBottomUp)
{
    BYTE* bits = nullptr;
    HBITMAP bitmap = NewSection(801, 3, &bits);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    DIBSECTION ds {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof ds, &ds), int(sizeof(DIBSECTION)));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 2404);
    EXPECT_EQ(ds.dsBmih.biSizeImage, 2404u * 3);
    EXPECT_EQ(ds.dsBmih.biHeight, 3);

    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_EQ(SetPixel(dc, 2, 0, RGB(1, 2, 3)), RGB(1, 2, 3));
    // Row 0 is the top of the picture, the last row in memory; blue first.
    const BYTE* top = bits + 2 * 2404 + 2 * 3;
    EXPECT_EQ(top[0], 3);
    EXPECT_EQ(top[1], 2);
    EXPECT_EQ(top[2], 1);
    EXPECT_EQ(SetPixel(dc, 801, 0, 0), CLR_INVALID);
    EXPECT_EQ(SelectObject(dc, nullptr), bitmap);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST(CreateDIBSection, RefusesEmptyAndImpossibleSizes)
{
    BYTE* bits = reinterpret_cast<BYTE*>(1);
    EXPECT_EQ(NewSection(0, 10, &bits), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(NewSection(10, 0, &bits), nullptr);
    EXPECT_EQ(NewSection(0x7fffffff, 0x7fffffff, &bits), nullptr);
    EXPECT_EQ(NewSection(0x7fffffff, -0x7fffffff - 1, &bits), nullptr);
    // One row of 2.4 GB: the size alone would fit, but the stride does not fit its LONG.
    EXPECT_EQ(NewSection(800'000'000, 1, &bits), nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST(CreateCompatibleBitmap, RefusesSizesItCannotHold)
{
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0x7fffffff, 0x7fffffff), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 600'000'000, 1), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 4), nullptr);
}

TEST(GetObjectA, DescribesAPlainBitmapWithoutTheSectionPart)
{
    HBITMAP plain = CreateCompatibleBitmap(nullptr, 4, 4);
    DIBSECTION ds {};
    EXPECT_EQ(GetObjectA(plain, sizeof ds, &ds), int(sizeof(BITMAP)));
    EXPECT_EQ(GetObjectA(nullptr, sizeof ds, &ds), 0);
    DeleteObject(plain);
}

// A source and a target section, each selected into a memory context of its own.
struct Sections {
    Sections(LONG sourceWidth, LONG sourceHeight, LONG targetWidth, LONG targetHeight)
        : source(NewSection(sourceWidth, sourceHeight, &bits)), target(NewSection(targetWidth, targetHeight, &bits))
    {
        SelectObject(from, source);
        SelectObject(to, target);
    }
    ~Sections()
    {
        DeleteDC(from);
        DeleteDC(to);
        DeleteObject(source);
        DeleteObject(target);
    }
    BYTE* bits = nullptr;
    HBITMAP source;
    HBITMAP target;
    HDC from = CreateCompatibleDC(nullptr);
    HDC to = CreateCompatibleDC(nullptr);
};

TEST(BitBlt, CopiesBetweenMemoryContextsAndClips)
{
    Sections pair(3, 2, 2, 2);
    HDC from = pair.from, to = pair.to;
    HBITMAP target = pair.target;
    SetPixel(from, 1, 0, RGB(10, 20, 30));
    SetPixel(from, 2, 1, RGB(40, 50, 60));
    EXPECT_TRUE(BitBlt(to, 0, 0, 3, 2, from, 1, 0, SRCCOPY));
    EXPECT_EQ(target->Row(0)[0], 30);
    EXPECT_EQ(target->Row(1)[3], 60);
    EXPECT_FALSE(BitBlt(to, 0, 0, 3, 2, nullptr, 0, 0, SRCCOPY));
}

TEST(BitBlt, CoordinatesAtTheEndsOfTheIntRangeCopyOnlyWhatOverlaps)
{
    Sections pair(4, 4, 4, 4);
    HDC from = pair.from, to = pair.to;
    HBITMAP target = pair.target;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixel(from, x, y, RGB(1, 2, 3));
    const int far[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 1, INT_MAX};
    for (int a : far)
        for (int b : far) {
            // Nothing reaches the target from out there, and nothing is written elsewhere.
            EXPECT_EQ(BitBlt(to, a, b, INT_MAX, INT_MAX, from, b, a, SRCCOPY), 1);
            EXPECT_EQ(BitBlt(to, 0, 0, a, b, from, a, b, SRCCOPY), 1);
        }
    // The blits that overlap both bitmaps copied their pixels.
    EXPECT_EQ(target->Row(0)[0], 3);
    EXPECT_EQ(target->Row(3)[3 * 3 + 2], 1);
}
} // namespace
