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

// The imaginary part after one step: the only part the two forms compute differently.
NIVO_AVX512 std::array<double, 8> NextImaginary(const double (&re)[8], const double (&im)[8], const double (&cy)[8],
                                                bool fused)
{
    LaneStepsAvx512::Orbit o {_mm512_loadu_pd(re), _mm512_loadu_pd(im), _mm512_setzero_si512(), 0xFF};
    LaneStepsAvx512::StepWithoutTest(o, _mm512_setzero_pd(), _mm512_loadu_pd(cy), fused);
    std::array<double, 8> next;
    _mm512_storeu_pd(next.data(), o.im);
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
    // re, im and cy of eight lanes: products and sums that round, doublings
    // that overflow or come just under it, subnormals, NaN, signed zeros.
    const double rows[][3][8] = {
        {{0.1, -1.25, 1e-300, 0.0, 1.0 / 3, -0.75, 2, 0.5},
         {0.3, 0.7, 3e-10, -0.0, 2.0 / 3, 0.1, 2, 0.5},
         {0.0, -0.1, 1e-16, -0.0, 0.65, 0.1, -0.7, -0.5}},
        {{0x1p511, 0x1p511, big, big, -big, 1e200, 1, 1e154},
         {0x1p511, 0x1.8p511, 0.5, -0.5, 0.75, 1e200, big, 1e154},
         {1.5, -2, 0, 1.9, -1.9, 0, 2, -2}},
        {{tiny, tiny, -tiny, nan, 1.0, 0x1p-1074, 3e-162, 0.0},
         {1.0, 0.5, 0.25, 1.0, nan, 0.5, 3e-162, 5.0},
         {0, -0.0, 1e-320, 0, 0, -1e-323, 1e-310, -0.0}},
    };
    for (const auto& r : rows) {
        const std::array<double, 8> plain = NextImaginary(r[0], r[1], r[2], false);
        const std::array<double, 8> fused = NextImaginary(r[0], r[1], r[2], true);
        for (int l = 0; l < 8; ++l)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(fused[l]), std::bit_cast<std::uint64_t>(plain[l]))
                << "re " << r[0][l] << ", im " << r[1][l] << ", cy " << r[2][l];
    }
}
} // namespace
