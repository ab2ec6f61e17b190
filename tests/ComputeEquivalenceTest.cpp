// The fast Compute against the literal loops: every entry of the buffer and
// every progress message must be the same, for any view, thread count and kernel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "FakeWindows.h"
#include "fractal/CNivoDoc.h"
#include "fractal/ComputeSettings.h"
#include "fractal/LiteralEscape.h"
#include "fractal/ReferenceCompute.h"

namespace {
struct View {
    LONG width, height;
    int limit;
    double cx, cy, zoom;
};

std::ostream& operator<<(std::ostream& os, const View& v)
{
    return os << v.width << "x" << v.height << " limit " << v.limit << std::hexfloat << " centre (" << v.cx << ", "
              << v.cy << ") zoom " << v.zoom << std::defaultfloat;
}

struct Mode {
    int threads;
    Kernel kernel;
};

std::ostream& operator<<(std::ostream& os, const Mode& m)
{
    return os << m.threads << " threads, " << KernelName(m.kernel);
}

// Where the processor lacks AVX-512 (or AVX2) the wider modes run the narrower kernel.
constexpr Kernel kScalar = Kernel::Scalar, kAvx2 = Kernel::Avx2, kAvx512 = Kernel::Avx512;
const Mode kModes[] = {{1, kScalar}, {1, kAvx2}, {1, kAvx512}, {2, kScalar}, {2, kAvx2},
                       {2, kAvx512}, {3, kAvx512}, {4, kScalar}, {4, kAvx2}, {4, kAvx512}};

class ComputeEquivalence : public testing::Test {
protected:
    void TearDown() override { ComputeSettings::Set({}); }

    // Compares one view in every mode; returns false at the first difference.
    bool Matches(const View& view)
    {
        const ReferenceResult expected =
            ReferenceCompute(view.width, view.height, view.limit, view.cx, view.cy, view.zoom);
        std::vector<BarMessage> messages {{PBM_SETRANGE, 0, 100 * 65536}, {PBM_SETPOS, 0, 0}};
        for (int p : expected.positions)
            messages.push_back({PBM_SETPOS, static_cast<WPARAM>(p), 0});
        // Every mode's calculator lives to the end, so that no buffer reuses
        // the memory of one that holds the right entries already.
        std::vector<std::unique_ptr<CNivoDoc>> docs;
        FakeWindow window(view.width, view.height);
        for (const Mode& mode : kModes) {
            ComputeSettings::Set({mode.threads, mode.kernel});
            ProgressRecorder recorder;
            CNivoDoc& doc = *docs.emplace_back(std::make_unique<CNivoDoc>(&window));
            doc.Compute(view.limit, view.cx, view.cy, view.zoom, DialogBars());
            const std::vector<std::int32_t> entries(doc.m_buffer, doc.m_buffer + doc.BufferSize());
            EXPECT_EQ(entries, expected.entries) << view << ", " << mode;
            EXPECT_EQ(recorder.log.messages, messages)
                << view << ", " << mode;
            EXPECT_EQ(recorder.log.destroyed, 1);
            if (HasFailure())
                return false;
        }
        return true;
    }
};

// A centre x for which column 0 samples `target` exactly (searched among
// the doubles next to the obvious one).
double CentreSamplingFirstColumn(double target, double zoom)
{
    const double inv = 1.0 / zoom;
    double up = target + inv * 1.8, down = up;
    for (int i = 0; i < 256; ++i) {
        if (up - inv * 1.8 == target)
            return up;
        if (down - inv * 1.8 == target)
            return down;
        up = std::nextafter(up, INFINITY);
        down = std::nextafter(down, -INFINITY);
    }
    return up;
}

TEST_F(ComputeEquivalence, StartViewsAndTheirNeighbours)
{
    for (int limit : {1, 2, 50, 1000})
        for (LONG w : {1, 2, 7, 64})
            for (LONG h : {1, 3, 48})
                ASSERT_TRUE(Matches({w, h, limit, -0.5, -0.0, 1.0}));
}

// Columns taller than the feed queues at once go through it in slices,
// which must join up, whatever the lanes finish first.
TEST_F(ComputeEquivalence, TallColumnsComeOutWhole)
{
    for (LONG h : {3999, 4000, 4001, 4097, 9000, 12289})
        for (LONG w : {1, 3})
            ASSERT_TRUE(Matches({w, h, 300, -0.745, 0.113, 30.0}));
    ASSERT_TRUE(Matches({2, 20000, 1000, -0.5, 0.0, 0.2}));
}

// A row across the seahorse valley: while one pixel near the set runs for
// tens of thousands of steps, the pixels after it finish and hundreds of
// columns wait behind it to be reported, more than a queue keeps at once.
TEST_F(ComputeEquivalence, ColumnsWaitingBehindOneLongOrbitAreAllReported)
{
    ASSERT_TRUE(Matches({1000, 1, 100000, -0.75, -0.05, 10.0}));
    ASSERT_TRUE(Matches({2000, 1, 100000, -0.75, -0.01, 5.0}));
}

// Groups of rows wholly inside the set are settled without a step; the
// rows around them, the slices' ends and the partial last group still step.
TEST_F(ComputeEquivalence, ViewsMostlyInsideTheSet)
{
    // Three columns from y = -0.4 to 0.4, all inside; then to +-0.9, across the edge.
    for (LONG h : {1, 15, 17, 19, 21, 33, 41, 4113, 9001})
        for (double reach : {0.4, 0.9})
            ASSERT_TRUE(Matches({3, h, 1000, -0.2, 0.0, 0.6 * h / reach}));
    ASSERT_TRUE(Matches({64, 48, 50, -0.1, 0.05, 1000.0}));
    ASSERT_TRUE(Matches({40, 40, 200, -1.0, 0.0, 8.0}));
}

TEST_F(ComputeEquivalence, SpecialPointsAreSampledExactly)
{
    // Height 2 puts row 1 on y = 0 exactly: ymin = -half and the step is half.
    // At zoom 2^50 the samples next to -2 are ulps apart, and their orbits
    // stay at |z| = 2 to within rounding for many steps.
    struct Target {
        double x;
        int limit;
    };
    for (const Target& t : {Target {-2.0, 300}, Target {0.25, 1000}, Target {-0.75, 1000}, Target {2.0, 50},
                            Target {0.0, 1000}, Target {-1.0, 777}}) {
        for (double zoom : {64.0, 1024.0, 0x1p30, 0x1p50}) {
            const double cx = CentreSamplingFirstColumn(t.x, zoom);
            ASSERT_EQ(cx - (1.0 / zoom) * 1.8, t.x);
            ASSERT_TRUE(Matches({5, 2, t.limit, cx, 0.0, zoom}));
            ASSERT_TRUE(Matches({4, 2, t.limit, cx, -0.0, zoom}));
        }
    }
    // Row 1 of a height-2 view lies on the centre's y: at 2i and -2i the first
    // point has |z|^2 = 4 on the escape bound, through the imaginary part.
    for (double y : {2.0, -2.0})
        for (double zoom : {64.0, 1024.0, 0x1p30})
            ASSERT_TRUE(Matches({5, 2, 50, CentreSamplingFirstColumn(0.0, zoom), y, zoom}));
    // The point -2 itself never escapes.
    ProgressRecorder recorder;
    FakeWindow window(4, 2);
    CNivoDoc doc(&window);
    doc.Compute(300, CentreSamplingFirstColumn(-2.0, 1.0), 0.0, 1.0, DialogBars());
    EXPECT_EQ(doc.m_buffer[1], 300);
}

TEST_F(ComputeEquivalence, ZoomsThatComputeLittleOrNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double zoom : {0.0, -0.0, -1.0, -1e-300, nan, inf, 1e-300, 5e-324})
        ASSERT_TRUE(Matches({9, 6, 50, -0.5, 0.0, zoom})) << zoom;
    for (double centre : {nan, inf, -inf, 1e308})
        ASSERT_TRUE(Matches({9, 6, 50, centre, 0.0, 1.0})) << centre;
    ASSERT_TRUE(Matches({9, 6, 50, -0.5, nan, 1.0}));
}

TEST_F(ComputeEquivalence, EmptyAndThinClientAreas)
{
    for (LONG w : {0, 1, 2, 5})
        for (LONG h : {0, 1, 2, 5})
            ASSERT_TRUE(Matches({w, h, 100, -0.7, 0.3, 2.0}));
    ASSERT_TRUE(Matches({3000, 1, 200, -0.74, 0.13, 50.0}));
    ASSERT_TRUE(Matches({1, 3000, 200, -0.74, 0.13, 50.0}));
    ASSERT_TRUE(Matches({700, 0, 200, -0.74, 0.13, 50.0}));
    ASSERT_TRUE(Matches({-3, 5, 200, -0.74, 0.13, 50.0}));
    ASSERT_TRUE(Matches({5, -3, 200, -0.74, 0.13, 50.0}));
}

TEST_F(ComputeEquivalence, LimitsAtAndBelowOne)
{
    for (int limit : {-1000, -1, 0, 1})
        ASSERT_TRUE(Matches({17, 13, limit, -0.5, 0.0, 1.0}));
}

// Inside the period-3 bulb, which the interior test leaves to the steps, the
// lockstep runs to the limit, or to its longest run, column after column: its
// chunks, and the pairs it takes where the last column ran further, must stop
// there exactly.
TEST_F(ComputeEquivalence, LockstepRunsThatReachTheLimit)
{
    for (int limit : {16, 17, 23, 24, 25, 40, 255, 256, 257, 264})
        ASSERT_TRUE(Matches({24, 48, limit, -1.754, 0.0, 300.0}));
}

TEST_F(ComputeEquivalence, DeepZoomStallsAndEarlyEnds)
{
    // Steps near or below one ulp of the centre: repeated samples, columns and
    // rows that end before their counters do, the tail left unwritten.
    for (double zoom : {2e15, 4503599627370496.0, 1.08e16, 1e17, 1e20})
        for (double centre : {1.5, -1.25, -0.75, 0.3})
            ASSERT_TRUE(Matches({11, 7, 40, centre, centre * 0.1 + 0.1, zoom})) << zoom << " " << centre;
    ASSERT_TRUE(Matches({6, 5, 20, 1.5, 1.5, 4503599627370496.0}));
}

// A point near the boundary of the set: bisection between 0 and a point
// outside, on the count at a moderate limit.
std::pair<double, double> BoundaryPoint(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> angle(0.0, 6.283185307179586);
    const double a = angle(random);
    double inside = 0.0, outside = 2.5;
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (inside + outside);
        (LiteralEscapeCount(mid * std::cos(a) - 0.25, mid * std::sin(a), 400) == 400 ? inside : outside) = mid;
    }
    return {inside * std::cos(a) - 0.25, inside * std::sin(a)};
}

TEST_F(ComputeEquivalence, RandomViewsNearTheBoundary)
{
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<LONG> size(1, 40);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 400; ++i) {
        const auto [x, y] = BoundaryPoint(random);
        View view;
        view.width = size(random);
        view.height = size(random);
        view.limit = static_cast<int>(std::pow(1000.0, unit(random)));
        view.zoom = std::pow(10.0, -2.0 + 15.0 * unit(random));
        view.cx = x;
        view.cy = unit(random) < 0.2 ? 0.0 : -y;
        ASSERT_TRUE(Matches(view)) << "view " << i;
    }
}

TEST_F(ComputeEquivalence, RandomWideViews)
{
    std::mt19937_64 random(7);
    std::uniform_int_distribution<LONG> size(1, 40);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 100; ++i) {
        const View view {size(random), size(random), static_cast<int>(std::pow(1000.0, unit(random))),
                         -2.5 + 3.5 * unit(random), -1.5 + 3.0 * unit(random), std::pow(10.0, -2.0 + 3.0 * unit(random))};
        ASSERT_TRUE(Matches(view)) << "view " << i;
    }
}

TEST_F(ComputeEquivalence, EachColumnIsWrittenBeforeItsProgressMessage)
{
    // The bar hears of a column only once all of its entries are final, and
    // only from the thread that called Compute. Short columns with counts
    // that vary a lot keep pixels of many columns in flight at once.
    for (const View& view : {View {120, 90, 1000, -0.7436447860, -0.1318252536, 300.0},
                             View {400, 3, 1000, -0.7436447860, -0.1318252536, 3000.0},
                             View {300, 1, 1000, -0.16, -1.0355, 40.0}}) {
        const ReferenceResult expected =
            ReferenceCompute(view.width, view.height, view.limit, view.cx, view.cy, view.zoom);
        for (const Mode& mode : kModes) {
            ComputeSettings::Set({mode.threads, mode.kernel});
            ProgressRecorder recorder;
            FakeWindow window(view.width, view.height);
            CNivoDoc doc(&window);
            const std::thread::id caller = std::this_thread::get_id();
            int columns = -1; // the first PBM_SETPOS is the initial 0
            bool early = false, foreign = false;
            recorder.log.observer = [&](const BarMessage& m) {
                if (m.msg != PBM_SETPOS)
                    return;
                foreign = foreign || std::this_thread::get_id() != caller;
                if (++columns == 0)
                    return;
                const std::int64_t written = std::int64_t(columns) * view.height;
                early = early || !std::equal(expected.entries.begin(), expected.entries.begin() + written, doc.m_buffer);
            };
            doc.Compute(view.limit, view.cx, view.cy, view.zoom, DialogBars());
            EXPECT_EQ(columns, view.width);
            EXPECT_FALSE(early) << view << ", " << mode;
            EXPECT_FALSE(foreign);
        }
    }
}

TEST_F(ComputeEquivalence, RepeatedComputesReuseThreadsAndScratch)
{
    // Sizes grow and shrink between computes on one calculator.
    ComputeSettings::Set({2});
    ProgressRecorder recorder;
    CNivoDoc doc;
    for (const View& view : {View {30, 20, 300, -0.75, 0.1, 20.0}, View {7, 90, 300, -0.75, 0.1, 20.0},
                             View {64, 3, 300, -0.1, 0.9, 5.0}, View {30, 20, 300, -0.75, 0.1, 20.0}}) {
        FakeWindow window(view.width, view.height);
        doc.SetWindow(&window);
        doc.Compute(view.limit, view.cx, view.cy, view.zoom, DialogBars());
        const ReferenceResult expected =
            ReferenceCompute(view.width, view.height, view.limit, view.cx, view.cy, view.zoom);
        ASSERT_EQ(std::vector<std::int32_t>(doc.m_buffer, doc.m_buffer + doc.BufferSize()), expected.entries) << view;
    }
}
} // namespace
