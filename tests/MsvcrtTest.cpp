#include <gtest/gtest.h>

#include "platform/Msvcrt.h"

namespace {
int Sign(int value) { return (value > 0) - (value < 0); }

TEST(WcsIcmp, IgnoresTheCaseOfAsciiLetters)
{
    EXPECT_EQ(_wcsicmp(u".PNG", u".png"), 0);
    EXPECT_EQ(_wcsicmp(u".JpEg", u".jPeG"), 0);
    EXPECT_EQ(_wcsicmp(u"", u""), 0);
}

TEST(WcsIcmp, OrdersByTheLowerCaseCodes)
{
    const struct {
        const WCHAR* left;
        const WCHAR* right;
        int sign;
    } cases[] = {
        {u".png", u".pn", 1},
        {u".pn", u".PNG", -1},
        {u"a", u"B", -1},
        {u"B", u"a", 1},
        // "_" (0x5F) sits between "Z" and "a": folding to lower case puts it first.
        {u"_", u"A", -1},
        {u".png", u".jpg", 1},
        {u"", u"a", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sign(_wcsicmp(c.left, c.right)), c.sign);
}

TEST(WcsIcmp, FoldsNothingBeyondAscii)
{
    // U+00C9 and U+00E9: as in the C locale, accented letters keep their case.
    EXPECT_NE(_wcsicmp(u"\u00C9", u"\u00E9"), 0);
}
} // namespace
