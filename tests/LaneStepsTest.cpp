// The counts a lane kernel reads back from the masks its steps stored.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
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
} // namespace
