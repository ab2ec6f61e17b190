// The counts a lane kernel reads back from the masks its steps stored.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "fractal/kernels/LaneKernelAvx512.h"
#include "fractal/kernels/LaneStepsAvx512.h"

namespace {
using Counts = std::array<std::int64_t, 8>;

NIVO_AVX512 Counts CountWithAvx512(const __mmask8* passed, int steps)
{
    alignas(64) Counts counts;
    _mm512_store_si512(counts.data(), LaneStepsAvx512::CountPassed(passed, steps));
    return counts;
}

struct Point {
    double re, im;
};

NIVO_AVX512 std::array<Point, 8> StepWithAvx512(const std::array<Point, 8>& z, const std::array<Point, 8>& c, bool fused)
{
    alignas(64) double re[8], im[8], cx[8], cy[8];
    for (int l = 0; l < 8; ++l) {
        re[l] = z[l].re;
        im[l] = z[l].im;
        cx[l] = c[l].re;
        cy[l] = c[l].im;
    }
    LaneStepsAvx512::Orbit o {_mm512_load_pd(re), _mm512_load_pd(im), _mm512_setzero_si512(), 0xFF};
    LaneStepsAvx512::StepWithoutTest(o, _mm512_load_pd(cx), _mm512_load_pd(cy), fused);
    _mm512_store_pd(re, o.re);
    _mm512_store_pd(im, o.im);
    std::array<Point, 8> next;
    for (int l = 0; l < 8; ++l)
        next[l] = {re[l], im[l]};
    return next;
}

// Masks of `steps` steps in which lane l passes its first alive[l] tests,
// zero up to 64 as the kernel leaves them.
std::vector<__mmask8> Masks(int steps, const Counts& alive)
{
    std::vector<__mmask8> masks(64, 0);
    for (int k = 0; k < steps; ++k)
        for (int l = 0; l < 8; ++l)
            if (k < alive[l])
                masks[k] = static_cast<__mmask8>(masks[k] | (1u << l));
    return masks;
}

TEST(LaneSteps, CountsAreTheStepsEachLanePassed)
{
    if (!LaneKernelAvx512::Supported())
        GTEST_SKIP() << "no AVX-512";
    struct Case {
        int steps;
        Counts alive;
    };
    const Case cases[] = {
        {0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {1, {1, 1, 1, 1, 1, 1, 1, 1}},
        {1, {0, 1, 0, 1, 0, 1, 0, 0}},
        {8, {8, 8, 8, 8, 8, 8, 8, 8}},
        {13, {13, 0, 12, 1, 8, 9, 7, 13}},
        // Every lane passing all 64: the largest sum the bytes make.
        {64, {64, 64, 64, 64, 64, 64, 64, 64}},
        {64, {0, 1, 7, 8, 9, 33, 63, 64}},
        {57, {57, 56, 49, 48, 41, 17, 2, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CountWithAvx512(Masks(c.steps, c.alive).data(), c.steps), c.alive) << c.steps << " steps";
}

TEST(LaneSteps, CountsEveryPassedTestWhereverItIs)
{
    if (!LaneKernelAvx512::Supported())
        GTEST_SKIP() << "no AVX-512";
    // Bits in no particular order: each lane counts its own bits only.
    std::vector<__mmask8> masks(64, 0);
    Counts expected {};
    for (int k = 0; k < 40; ++k) {
        masks[k] = static_cast<__mmask8>(k % 2 ? 0xAA : 0x55) ^ static_cast<__mmask8>(k % 5 == 0 ? 0x81 : 0);
        for (int l = 0; l < 8; ++l)
            expected[l] += (masks[k] >> l) & 1;
    }
    EXPECT_EQ(CountWithAvx512(masks.data(), 40), expected);
}
TEST(LaneSteps, FusedDoublingGivesTheSameBits)
{
    if (!LaneKernelAvx512::Supported())
        GTEST_SKIP() << "no AVX-512";
    const double big = std::numeric_limits<double>::max();
    const double tiny = std::numeric_limits<double>::denorm_min();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Each row: eight points and their c. re*im rounds; twice it overflows
    // at 2^1023 and is exact below; rounding of the sum with cy decides the rest.
    const std::array<Point, 8> z[] = {
        {{{0.1, 0.3}, {-1.25, 0.7}, {1e-300, 3e-10}, {0.0, -0.0}, {1.0 / 3, 2.0 / 3}, {-0.75, 0.1}, {2, 2}, {0.5, 0.5}}},
        {{{0x1p511, 0x1p511}, {0x1p511, 0x1.8p511}, {big, 0.5}, {big, -0.5}, {-big, 0.75}, {1e200, 1e200}, {1, big}, {1e154, 1e154}}},
        {{{tiny, 1.0}, {tiny, 0.5}, {-tiny, 0.25}, {nan, 1.0}, {1.0, nan}, {0x1p-1074, 0x1p-1}, {3e-162, 3e-162}, {0.0, 5.0}}},
    };
    const std::array<Point, 8> c[] = {
        {{{-0.5, 0.0}, {0.25, -0.1}, {-2, 1e-16}, {0.0, -0.0}, {-0.1, 0.65}, {-0.75, 0.1}, {0.3, -0.7}, {1e-17, -0.5}}},
        {{{0, 1.5}, {0, -2}, {0, 0}, {0, 1.9}, {0, -1.9}, {0, 0}, {0, 2}, {0, -2}}},
        {{{0, 0}, {0, -0.0}, {0, 1e-320}, {0, 0}, {0, 0}, {0, -1e-323}, {0, 1e-310}, {0, -0.0}}},
    };
    for (std::size_t row = 0; row < std::size(z); ++row) {
        const std::array<Point, 8> plain = StepWithAvx512(z[row], c[row], false);
        const std::array<Point, 8> fused = StepWithAvx512(z[row], c[row], true);
        for (int l = 0; l < 8; ++l) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(fused[l].re), std::bit_cast<std::uint64_t>(plain[l].re))
                << "row " << row << " lane " << l;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(fused[l].im), std::bit_cast<std::uint64_t>(plain[l].im))
                << "row " << row << " lane " << l;
        }
    }
}
} // namespace
