// Bands of rows computed apart must be the frame image's rows, byte for
// byte, wherever the bands start and end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "render/CDibImage.h"
#include "render/FrameColourer.h"
#include "render/FrameRenderer.h"
#include "render/RenderedBands.h"

namespace {
struct BandCase {
    std::int32_t W, H;
    ViewRecord view;
};

// Sizes about the writers' bands of 80 rows and the colourer's tiles of 16;
// views with few and many steps a pixel, and pixels inside the set.
const BandCase kCases[] = {
    {1, 1, {1000, -0.5, 0.0, 1.0}},
    {7, 3, {50, -0.5, 0.0, 1.0}},
    {33, 129, {1000, -0.75, 0.1, 30.0}},
    {301, 80, {300, -0.5, 0.0, 2.0}},
    {300, 81, {1000, -0.743643887037151, 0.131825904205330, 1e5}},
    {257, 200, {1, -0.5, 0.0, 1.0}},
    // A frame image just large enough to be streamed out of the cache on this machine.
    {1920, std::int32_t(FrameColourer::StreamedBytes() / (1920 * 3)) + 17, {50, -0.5, 0.0, 1.0}},
};

TEST(RenderedBands, EveryBandHoldsTheFrameImagesRows)
{
    for (const BandCase& c : kCases) {
        SilentProgress progress;
        FrameRenderer renderer;
        const std::unique_ptr<CDibImage> image = renderer.Render(c.W, c.H, c.view, progress);
        const RenderedBands bands(c.W, c.H, c.view, 3780, progress);
        ASSERT_TRUE(bands.Regular());
        const auto maker = bands.NewMaker();
        for (const std::int32_t height : {80, 81, 17}) {
            for (std::int32_t first = 0; first < c.H; first += height) {
                const std::int32_t last = std::min(first + height, c.H);
                const SectionRows rows = maker->Rows(first, last);
                ASSERT_EQ(rows.height, last - first);
                for (std::int32_t r = first; r < last; ++r)
                    ASSERT_EQ(std::memcmp(rows.topRow + (r - first) * rows.pitch,
                                          image->m_topRow + r * image->m_pitch, std::size_t(c.W) * 3),
                              0)
                        << c.W << "x" << c.H << " row " << r << " in rows " << first << " to " << last;
            }
        }
    }
}

TEST(RenderedBands, AViewWithoutSamplePointsIsNotMadeInBands)
{
    SilentProgress progress;
    for (const double zoom : {0.0, -1.0})
        EXPECT_FALSE(RenderedBands(64, 48, {100, -0.5, 0.0, zoom}, 3780, progress).Regular()) << zoom;
}
} // namespace
