#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "FakeWindows.h"
#include "fractal/CNivoDoc.h"
#include "fractal/ColumnScheduler.h"
#include "fractal/EscapeColumn.h"
#include "fractal/EscapeTime.h"
#include "fractal/FastEscape.h"
#include "fractal/ReferenceCompute.h"

namespace {
double FromBits(std::uint64_t bits)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
std::uint64_t Bits(double d)
{
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

bool SquareRootTestKeeps(double m)
{
    const double r = std::sqrt(m);
    return r * r <= 4.0;
}

TEST(EscapeThreshold, DecidesLikeTheSquareRootAroundTheThreshold)
{
    const std::uint64_t centre = Bits(kEscapeThreshold);
    EXPECT_EQ(centre, 0x4010000000000001u);
    int mismatches = 0;
    for (std::int64_t step = -(std::int64_t(1) << 26); step <= (std::int64_t(1) << 26); ++step) {
        const double m = FromBits(centre + step);
        mismatches += SquareRootTestKeeps(m) != (m <= kEscapeThreshold);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(EscapeThreshold, DecidesLikeTheSquareRootForRandomValues)
{
    std::mt19937_64 random(7);
    int mismatches = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        const double m = FromBits(random() & 0x7FFFFFFFFFFFFFFFu);
        mismatches += SquareRootTestKeeps(m) != (m <= kEscapeThreshold);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FastEscapeCount, EqualsTheLiteralCountOnSpecialPoints)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double x : {-2.0, 0.25, 0.0, -0.75, -1.0, 2.0, -0.0, 0.2500000000000001, -1.401155, nan})
        for (double y : {0.0, -0.0, 1e-300, 0.1, 1.0, nan})
            for (int limit : {0, 1, 2, 50, 1000})
                EXPECT_EQ(FastEscapeCount(x, y, limit), EscapeCount(x, y, limit)) << x << "," << y << "," << limit;
}

TEST(EscapeColumn, EveryLaneGivesThePlainCountWhateverItsNeighbours)
{
    // Rows whose counts differ wildly, so that lanes are refilled out of step.
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> spread(-1.5, 1.5);
    std::vector<double> ys(997);
    for (double& y : ys)
        y = spread(random);
    ys[5] = 0.0;
    ys[6] = -0.0;
    ys[7] = std::numeric_limits<double>::quiet_NaN();
    for (double x : {-0.75, -0.1, 0.25, -2.0, 0.3})
        for (int limit : {1, 2, 7, 50, 1000}) {
            std::vector<std::int32_t> out(ys.size(), -1);
            EscapeColumn(x, ys.data(), std::int64_t(ys.size()), limit, out.data());
            for (std::size_t r = 0; r < ys.size(); ++r)
                ASSERT_EQ(out[r], EscapeCount(x, ys[r], limit)) << x << " row " << r << " limit " << limit;
        }
    EXPECT_TRUE(VectorEscapeAvailable() || !__builtin_cpu_supports("avx2"));
}

struct Fast : testing::Test {
    ProgressRecorder recorder;
    void TearDown() override
    {
        ColumnScheduler::SetThreadCount(0);
        SetVectorEscapeAllowed(true);
    }
};

TEST_F(Fast, BuffersAndProgressMatchTheReferenceOnRandomViews)
{
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int view = 0; view < 120; ++view) {
        const int W = 1 + int(random() % 41), H = 1 + int(random() % 33);
        const int limit = 1 + int(random() % 1000);
        const double zoom = std::pow(10.0, -2.0 + 15.0 * unit(random));
        const double cx = -2.0 + 2.6 * unit(random), cy = -1.2 + 2.4 * unit(random);
        const bool onAxis = view % 7 == 0;
        ColumnScheduler::SetThreadCount(1 + view % 4);
        SetVectorEscapeAllowed(view % 3 != 0);
        FakeWindow window(W, H);
        CNivoDoc doc(&window);
        recorder.log = {};
        doc.Compute(limit, cx, onAxis ? 0.0 : cy, zoom);
        const ReferencePicture expected = ReferenceCompute(W, H, limit, cx, onAxis ? 0.0 : cy, zoom);
        std::vector<int> written(doc.m_buffer, doc.m_buffer + doc.BufferSize());
        // Unwritten entries carry nothing; compare what was computed.
        ASSERT_EQ(written.size(), expected.entries.size());
        for (std::int64_t i = 0; i < expected.written; ++i)
            ASSERT_EQ(written[i], expected.entries[i]) << "view " << view << " entry " << i;
        std::vector<int> positions = recorder.log.Positions();
        positions.erase(positions.begin());
        EXPECT_EQ(positions, expected.positions) << "view " << view;
    }
}

TEST_F(Fast, LargerPicturesWithEveryThreadCount)
{
    for (int threads = 1; threads <= 4; ++threads) {
        ColumnScheduler::SetThreadCount(threads);
        FakeWindow window(160, 90);
        CNivoDoc doc(&window);
        recorder.log = {};
        doc.Compute(300, -0.7436447860, 0.1318252536, 400.0);
        const ReferencePicture expected = ReferenceCompute(160, 90, 300, -0.7436447860, 0.1318252536, 400.0);
        EXPECT_TRUE(std::equal(expected.entries.begin(), expected.entries.end(), doc.m_buffer)) << threads;
        std::vector<int> positions = recorder.log.Positions();
        positions.erase(positions.begin());
        EXPECT_EQ(positions, expected.positions);
    }
}

TEST_F(Fast, DegenerateViewsMatchToo)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double zoom : {0.0, -1.0, nan, 1e300, 4503599627370496.0, 1.08e16})
        for (double cx : {-2.0, 0.25, 1.25, 1e6}) {
            FakeWindow window(7, 5);
            CNivoDoc doc(&window);
            recorder.log = {};
            doc.Compute(40, cx, 1.25, zoom);
            const ReferencePicture expected = ReferenceCompute(7, 5, 40, cx, 1.25, zoom);
            std::vector<int> positions = recorder.log.Positions();
            positions.erase(positions.begin());
            EXPECT_EQ(positions, expected.positions) << zoom << " " << cx;
            for (std::int64_t i = 0; i < expected.written; ++i)
                EXPECT_EQ(doc.m_buffer[i], expected.entries[i]) << zoom << " " << cx << " " << i;
        }
}
} // namespace
