#include <gtest/gtest.h>

#include "fractal/PlaneGeometry.h"

using namespace PlaneGeometry;

namespace {
TEST(PlaneGeometry, StartViewSpansTheExpectedRectangle)
{
    EXPECT_DOUBLE_EQ(PlaneHeightAtZoom1(800, 600), 2.7);
    EXPECT_DOUBLE_EQ(XStep(1.0, 800), 0.0045);
    EXPECT_DOUBLE_EQ(YStep(1.0, PlaneHeightAtZoom1(800, 600), 600), 0.0045);
}

TEST(PlaneGeometry, PointerAtTheCentreAndTheCornerOfAnEvenWindow)
{
    const PlanePoint centre = PointerToPlane(-0.5, 0.0, 1.0, 800, 600, 400, 300);
    EXPECT_EQ(centre.x, -0.5);
    EXPECT_EQ(centre.y, 0.0);
    const PlanePoint corner = PointerToPlane(-0.5, 0.0, 1.0, 800, 600, 0, 0);
    EXPECT_EQ(corner.x, -2.3);
    EXPECT_EQ(corner.y, 1.35);
}

TEST(PlaneGeometry, ClickOnTheCornerRecentresOnTheTopLeftSample)
{
    const PlanePoint p = RecentreOnClick(-0.5, 0.0, 1.0, 800, 600, 0, 0);
    EXPECT_EQ(p.x, -2.3);
    EXPECT_EQ(p.y, 1.35);
    const PlanePoint small = RecentreOnClick(-0.5, 0.0, 1.0, 400, 300, 0, 0);
    EXPECT_EQ(small.x, -2.3);
    EXPECT_EQ(small.y, 1.35);
}

TEST(PlaneGeometry, OddSizesPutThePointerHalfAStepFromTheClick)
{
    const double s = 3.6 / 801;
    const PlanePoint pointer = PointerToPlane(-0.5, 0.0, 1.0, 801, 601, 400, 300);
    EXPECT_EQ(pointer.x, -0.5);
    EXPECT_EQ(pointer.y, 0.0);
    const PlanePoint click = RecentreOnClick(-0.5, 0.0, 1.0, 801, 601, 400, 300);
    EXPECT_NEAR(click.x, -0.5 - 0.5 * s, 1e-15);
    EXPECT_NEAR(click.y, 0.5 * s, 1e-15);
    EXPECT_NEAR(pointer.x - click.x, 1.8 / 801, 1e-15);
}

TEST(PlaneGeometry, FollowsTheWrittenOrderToTheLastBit)
{
    // Independent evaluation of the same formulas, written out step by step.
    const double cx = -0.743643887037151, cy = 0.13182590420533, zoom = 12345.678;
    const int W = 1023, H = 767, px = 17, py = 700;
    const double inv = 1.0 / zoom;
    const double x = cx + 2 * ((((double(px - W / 2)) * inv) * 1.8) / W);
    const double y = cy + 2 * (((double(H / 2 - py) * (((3.6 / W) * H) * 0.5)) * inv) / H);
    const PlanePoint pointer = PointerToPlane(cx, cy, zoom, W, H, px, py);
    EXPECT_EQ(pointer.x, x);
    EXPECT_EQ(pointer.y, y);
    const double nx = cx + 2 * ((((px - W * 0.5) * inv) * 1.8) / W);
    const double ny = cy - 2 * ((((py - H * 0.5) * (((3.6 / W) * H) * 0.5)) * inv) / H);
    const PlanePoint click = RecentreOnClick(cx, cy, zoom, W, H, px, py);
    EXPECT_EQ(click.x, nx);
    EXPECT_EQ(click.y, ny);
}

TEST(PlaneGeometry, ZoomTwoHalvesTheRectangleAboutTheCentre)
{
    const PlanePoint corner = PointerToPlane(-0.5, 0.0, 2.0, 800, 600, 0, 0);
    EXPECT_DOUBLE_EQ(corner.x, -1.4);
    EXPECT_NEAR(corner.x + 800 * XStep(0.5, 800), 0.4, 1e-15);
}

TEST(PlaneGeometry, StepsOnBothAxesAreFormedDifferently)
{
    // Same step in exact arithmetic, but not always the same double.
    int differing = 0;
    for (int W = 100; W < 400; ++W) {
        const int H = (W * 3) / 4 + 1;
        const double xs = XStep(1.0, W);
        const double ys = YStep(1.0, PlaneHeightAtZoom1(W, H), H);
        EXPECT_NEAR(xs, ys, xs * 1e-15);
        differing += xs != ys;
    }
    EXPECT_GT(differing, 0);
}
} // namespace
