#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "fractal/kernels/ScalarKernel.h"

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

// The test the escape loop is defined with.
bool SquareRootTestKeeps(double m)
{
    const double r = std::sqrt(m);
    return r * r <= 4.0;
}

TEST(EscapeThreshold, DecidesLikeTheSquareRootAroundTheThreshold)
{
    const std::uint64_t centre = Bits(ScalarKernel::kEscapeBound);
    EXPECT_EQ(centre, 0x4010000000000001u);
    int mismatches = 0;
    for (std::int64_t step = -(std::int64_t(1) << 26); step <= (std::int64_t(1) << 26); ++step) {
        const double m = FromBits(centre + step);
        mismatches += SquareRootTestKeeps(m) != (m <= ScalarKernel::kEscapeBound);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(EscapeThreshold, DecidesLikeTheSquareRootForRandomValues)
{
    std::mt19937_64 random(7);
    int mismatches = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        const double m = FromBits(random() & 0x7FFFFFFFFFFFFFFFu);
        mismatches += SquareRootTestKeeps(m) != (m <= ScalarKernel::kEscapeBound);
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
