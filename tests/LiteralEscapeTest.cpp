#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fractal/LiteralEscape.h"

namespace {
struct PointCase {
    double x, y;
    int limit;
    int expected;
};

void PrintTo(const PointCase& c, std::ostream* os)
{
    *os << "(" << c.x << ", " << c.y << ") limit " << c.limit << " -> " << c.expected;
}

class EscapeCountCases : public testing::TestWithParam<PointCase> {};

TEST_P(EscapeCountCases, CountsIterationsUntilTheModulusPassesTwo)
{
    const PointCase& c = GetParam();
    EXPECT_EQ(LiteralEscapeCount(c.x, c.y, c.limit), c.expected) << c.x << " + " << c.y << "i, limit " << c.limit;
}

INSTANTIATE_TEST_SUITE_P(Limit50, EscapeCountCases,
                         testing::Values(PointCase {0, 0, 50, 50}, PointCase {1, 0, 50, 3}, PointCase {2, 0, 50, 2},
                                         // -2 lands exactly on modulus 2 and stays: never escapes.
                                         PointCase {-2, 0, 50, 50}, PointCase {3, 0, 50, 1},
                                         PointCase {0.5, 0.5, 50, 5}, PointCase {0.3, 0, 50, 12}));

INSTANTIATE_TEST_SUITE_P(SmallLimits, EscapeCountCases,
                         testing::Values(PointCase {0, 0, 1, 1}, PointCase {3, 0, 1, 1}, PointCase {0, 0, 0, 0},
                                         PointCase {3, 0, 0, 0}, PointCase {0, 0, -5, 0}));

TEST(LiteralEscapeCount, NotANumberAndInfinityEscapeAtOnce)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(LiteralEscapeCount(nan, 0, 50), 1);
    EXPECT_EQ(LiteralEscapeCount(0, nan, 50), 1);
    EXPECT_EQ(LiteralEscapeCount(-inf, -inf, 50), 1);
}

TEST(LiteralEscapeCount, TheConjugatePointHasTheSameCount)
{
    for (double y = 0.01; y < 1.2; y += 0.037)
        EXPECT_EQ(LiteralEscapeCount(-0.7436, y, 500), LiteralEscapeCount(-0.7436, -y, 500)) << y;
}
} // namespace
