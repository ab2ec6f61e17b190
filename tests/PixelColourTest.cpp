#include <gtest/gtest.h>

#include "render/PixelColour.h"

namespace {
struct ColourCase {
    int count;
    int limit;
    int blue; // -1 for white
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << "count " << c.count << " of " << c.limit; }

class PixelColourCases : public testing::TestWithParam<ColourCase> {};

TEST_P(PixelColourCases, ShadesOfBlueOrWhiteInside)
{
    const ColourCase& c = GetParam();
    const COLORREF expected = c.blue < 0 ? RGB(255, 255, 255) : RGB(0, 0, BYTE(c.blue));
    EXPECT_EQ(PixelColour(c.count, c.limit), expected) << "count " << c.count << " limit " << c.limit;
}

INSTANTIATE_TEST_SUITE_P(
    Limit50, PixelColourCases,
    testing::Values(ColourCase {1, 50, 40}, ColourCase {2, 50, 30}, ColourCase {3, 50, 20}, ColourCase {4, 50, 10},
                    ColourCase {5, 50, 1}, ColourCase {6, 50, 11}, ColourCase {10, 50, 52}, ColourCase {20, 50, 154},
                    ColourCase {25, 50, 205}, ColourCase {26, 50, 41}, ColourCase {30, 50, 0}, ColourCase {40, 50, 102},
                    ColourCase {49, 50, 193}, ColourCase {50, 50, -1}));

INSTANTIATE_TEST_SUITE_P(Limit1000, PixelColourCases,
                         testing::Values(ColourCase {1, 1000, 50}, ColourCase {100, 1000, 1}, ColourCase {250, 1000, 77},
                                         ColourCase {500, 1000, 205}, ColourCase {502, 1000, 50},
                                         ColourCase {600, 1000, 0}, ColourCase {750, 1000, 76},
                                         ColourCase {999, 1000, 203}, ColourCase {1000, 1000, -1}));

INSTANTIATE_TEST_SUITE_P(Limit1, PixelColourCases, testing::Values(ColourCase {1, 1, -1}, ColourCase {0, 1, 50}));

TEST(PixelColour, MatchesTheNetRuleForEveryCountBelowTheLimit)
{
    for (int limit : {1, 2, 7, 50, 333, 1000})
        for (int count = 0; count < limit; ++count) {
            const int b = ((510 * count) / limit) % 256;
            EXPECT_EQ(PixelColour(count, limit), RGB(0, 0, BYTE(std::abs(b - 50)))) << count << "/" << limit;
        }
}

TEST(ShadeByte, IsTheMagnitudeModulo255)
{
    EXPECT_EQ(ShadeByte(-50), 50);
    EXPECT_EQ(ShadeByte(205), 205);
    EXPECT_EQ(ShadeByte(255), 0);
    EXPECT_EQ(ShadeByte(-256), 1);
    EXPECT_EQ(ShadeByte(INT32_MIN), BYTE(2147483648LL % 255));
}
} // namespace
