#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "ProcessMemory.h"
#include "fractal/ComputeSettings.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi32.h"
#include "platform/GdiObject.h"
#include "render/CDibImage.h"
#include "render/FrameRenderer.h"
#include "render/MemoryDCCache.h"

namespace {
// Counts device contexts so that deletions can be observed.
int g_liveContexts = 0;
class CountedDC : public DeviceContext {
public:
    CountedDC() { ++g_liveContexts; }
    ~CountedDC() override { --g_liveContexts; }
};

struct Cache : testing::Test {
    MemoryDCCache cache;
};

TEST_F(Cache, TakesFromTheFirstFullSlotOrCreatesOne)
{
    HDC created = cache.TakeDC();
    ASSERT_NE(created, nullptr);
    cache.ReturnDC(created);
    EXPECT_EQ(cache.Peek(0), created);
    EXPECT_EQ(cache.TakeDC(), created);
    EXPECT_EQ(cache.Peek(0), nullptr);
    DeleteDC(created);
}

TEST_F(Cache, ReturnPushesOlderContextsAlongAndDropsTheOldest)
{
    HDC dcs[5];
    for (HDC& dc : dcs)
        dc = new CountedDC;
    for (int i = 0; i < 4; ++i)
        cache.ReturnDC(dcs[i]);
    EXPECT_EQ(cache.Peek(0), dcs[3]);
    EXPECT_EQ(cache.Peek(3), dcs[0]);
    EXPECT_EQ(g_liveContexts, 5);
    cache.ReturnDC(dcs[4]);
    // The one that was in slot 3 is gone; the newest is in slot 0.
    EXPECT_EQ(g_liveContexts, 4);
    EXPECT_EQ(cache.Peek(0), dcs[4]);
    EXPECT_EQ(cache.Peek(3), dcs[1]);
    cache.DeleteAll();
    EXPECT_EQ(g_liveContexts, 0);
}

TEST_F(Cache, TakeScansSlotsInOrder)
{
    HDC a = new CountedDC, b = new CountedDC;
    cache.ReturnDC(a);
    cache.ReturnDC(b); // b in slot 0, a in slot 1
    EXPECT_EQ(cache.TakeDC(), b);
    EXPECT_EQ(cache.TakeDC(), a);
    DeleteDC(a);
    DeleteDC(b);
}

struct PitchCase {
    int width;
    int pitch;
};

void PrintTo(const PitchCase& c, std::ostream* os) { *os << "width " << c.width << ", pitch " << c.pitch; }
class DibPitch : public testing::TestWithParam<PitchCase> {};

TEST_P(DibPitch, BottomUpRowsPaddedToFourBytes)
{
    CDibImage image;
    image.CreateDib(GetParam().width, 3);
    ASSERT_NE(image.m_bitmap, nullptr);
    EXPECT_EQ(image.m_pitch, -GetParam().pitch);
    EXPECT_EQ(image.m_bitsPerPixel, 24);
    EXPECT_EQ(image.m_height, 3);
    // The top row is the last one in memory.
    EXPECT_EQ(image.m_topRow, image.m_bitmap->Bits() + 2 * GetParam().pitch);
}

INSTANTIATE_TEST_SUITE_P(Widths, DibPitch,
                         testing::Values(PitchCase {800, 2400}, PitchCase {801, 2404}, PitchCase {1, 4},
                                         PitchCase {3, 12}, PitchCase {4, 12}));

TEST(CDibImage, FailedCreationLeavesTheImageAsEmptyAsANewOne)
{
    CDibImage image;
    for (auto [width, height] : {std::pair {0, 600}, std::pair {800, 0}}) {
        image.CreateDib(width, height);
        EXPECT_EQ(image.m_bitmap, nullptr);
        EXPECT_EQ(image.m_topRow, nullptr);
        EXPECT_EQ(image.m_width, 0);
        EXPECT_EQ(image.m_memDC, nullptr);
    }
}

TEST(CDibImage, SizesNoSectionCanHoldLeaveTheImageEmptyAndReserveNothing)
{
    const std::int64_t peak = PeakAddressSpace();
    ASSERT_GT(peak, 0);
    // 30 GB; rows of 6 GB; 2 GiB and one row; a top-down height past any count; 3 bytes past 2 GiB.
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {100000, 100000}, {0x7fffffff, 2}, {2, 0x7fffffff}, {2, -0x7fffffff - 1}, {26755, 26755}};
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        CDibImage image;
        image.CreateDib(w, h);
        EXPECT_EQ(image.m_bitmap, nullptr);
        EXPECT_EQ(image.m_topRow, nullptr);
        EXPECT_EQ(image.m_width, 0);
        EXPECT_EQ(image.m_height, 0);
        EXPECT_EQ(image.DetachBitmap(), nullptr);
    }
    EXPECT_LT(PeakAddressSpace() - peak, 256 * kMiB);
}

TEST(CDibImage, NestedUsesShareOneContextUntilTheLastRelease)
{
    CDibImage image;
    image.CreateDib(2, 2);
    HDC first = image.GetImageDC();
    HDC second = image.GetImageDC();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Selected(), image.m_bitmap);
    image.ReleaseImageDC();
    EXPECT_EQ(image.m_memDC, first);
    EXPECT_NE(MemoryDCCache::Instance().Peek(0), first);
    image.ReleaseImageDC();
    EXPECT_EQ(image.m_memDC, nullptr);
    EXPECT_EQ(MemoryDCCache::Instance().Peek(0), first);
    EXPECT_EQ(first->Selected(), nullptr);
}

TEST(CDibImage, PixelsLandUprightInTheBottomUpSection)
{
    CDibImage image;
    image.CreateDib(3, 2);
    HDC dc = image.GetImageDC();
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    SetPixel(dc, 2, 1, RGB(4, 5, 6));
    image.ReleaseImageDC();
    EXPECT_EQ(image.m_topRow[0], 3);
    EXPECT_EQ(image.m_topRow[2], 1);
    const BYTE* bottom = image.m_topRow + image.m_pitch;
    EXPECT_EQ(bottom[6], 6);
    EXPECT_EQ(bottom[8], 4);
}

TEST(CDibImage, BlitCopiesTheImageToAnotherContext)
{
    CDibImage image;
    image.CreateDib(2, 2);
    HDC dc = image.GetImageDC();
    SetPixel(dc, 1, 1, RGB(9, 8, 7));
    image.ReleaseImageDC();
    CDibImage target;
    target.CreateDib(2, 2);
    HDC targetDC = target.GetImageDC();
    EXPECT_TRUE(image.Blit(targetDC, 0, 0, 2, 2, 0, 0, SRCCOPY));
    target.ReleaseImageDC();
    EXPECT_EQ(target.m_topRow[target.m_pitch + 3], 7);
}

TEST(CDibImage, DetachedBitmapOutlivesTheImage)
{
    HBITMAP bitmap = nullptr;
    {
        CDibImage image;
        image.CreateDib(5, 4);
        bitmap = image.DetachBitmap();
        EXPECT_EQ(image.m_bitmap, nullptr);
        EXPECT_EQ(image.m_width, 0);
        EXPECT_EQ(image.m_pitch, 0);
    }
    DIBSECTION ds {};
    EXPECT_EQ(GetObjectA(bitmap, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBmih.biWidth, 5);
    DeleteObject(bitmap);
}
// A picture made to be coloured takes a deleted picture's memory as it is:
// its rows' padding is zero all the same, since files take rows whole;
// without counts it is black; with them, every kernel sets every pixel, at
// widths and heights that no tile or block divides.
TEST(CDibImage, AnImageToColourShowsNothingOfThePictureBefore)
{
    constexpr std::int32_t kHeight = 1000; // a section of megabytes, whose memory is kept
    const ComputeSettings saved = ComputeSettings::Current();
    const auto rows = [](const CDibImage& image, auto&& each) {
        for (std::int32_t row = 0; row < image.m_height; ++row)
            each(image.m_topRow + std::ptrdiff_t(row) * image.m_pitch, std::size_t(std::abs(image.m_pitch)));
    };
    const auto fill = [&](const CDibImage& image) {
        rows(image, [](BYTE* row, std::size_t bytes) { std::memset(row, 0xab, bytes); });
    };
    for (const Kernel kernel : {Kernel::Scalar, Kernel::Avx2, Kernel::Avx512})
        for (const std::int32_t width : {1000, 1001, 1002, 1003}) {
            SCOPED_TRACE(testing::Message() << KernelName(kernel) << ", width " << width);
            ComputeSettings::Set({0, kernel});
            const std::size_t used = 3 * std::size_t(width);
            {
                CDibImage before;
                before.CreateDib(width, kHeight);
                ASSERT_NE(before.m_topRow, nullptr);
                fill(before);
            }
            CDibImage image;
            image.CreateDibToColour(width, kHeight);
            ASSERT_NE(image.m_topRow, nullptr);
            ASSERT_EQ(image.m_topRow[0], 0xab) << "not the memory of the picture before";
            rows(image, [&](BYTE* row, std::size_t bytes) {
                ASSERT_TRUE(std::all_of(row + used, row + bytes, [](BYTE b) { return b == 0; }));
            });
            FrameRenderer renderer;
            SilentProgress progress;
            renderer.Colour(image, progress);
            rows(image, [](BYTE* row, std::size_t bytes) {
                ASSERT_TRUE(std::all_of(row, row + bytes, [](BYTE b) { return b == 0; }));
            });

            renderer.Compute(width, kHeight, {50, -0.5, 0.25, 1.5}, progress);
            fill(image);
            renderer.Colour(image, progress);
            CDibImage zeroed;
            zeroed.CreateDib(width, kHeight);
            renderer.Colour(zeroed, progress);
            for (std::int32_t row = 0; row < kHeight; ++row)
                ASSERT_EQ(std::memcmp(image.m_topRow + std::ptrdiff_t(row) * image.m_pitch,
                                      zeroed.m_topRow + std::ptrdiff_t(row) * zeroed.m_pitch, used), 0) << row;
        }
    ComputeSettings::Set(saved);
}
} // namespace
