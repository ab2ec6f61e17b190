#include <gtest/gtest.h>

#include <climits>

#include "render/ColourTable.h"

namespace {
// Counts either side of every boundary the table has: its ends, the limit,
// the table's own size cap and the int range.
TEST(ColourTable, AgreesWithTheRuleForEveryCountAndLimit)
{
    const int limits[] = {INT_MIN, -7, 0, 1, 2, 50, 1000, 65535, 65536, 65537, 1000000, INT_MAX};
    ColourTable table;
    for (int limit : limits) {
        table.Prepare(limit);
        for (long long c : {(long long)INT_MIN, -1LL, 0LL, 1LL, 9LL, 65535LL, 65536LL, 65537LL, (long long)INT_MAX,
                            (long long)limit - 1, (long long)limit, (long long)limit + 1}) {
            if (c < INT_MIN || c > INT_MAX)
                continue;
            const int count = static_cast<int>(c);
            ASSERT_EQ(table.Colour(count), PixelColour(count, limit)) << count << "/" << limit;
        }
    }
}

TEST(ColourTable, FollowsTheLimitWhenItChangesBackAndForth)
{
    ColourTable table;
    for (int limit : {50, 1000, 50, 50, 3, 100000, 3}) {
        table.Prepare(limit);
        for (int count = 0; count <= 1001; ++count)
            ASSERT_EQ(table.Colour(count), PixelColour(count, limit)) << count << "/" << limit;
    }
}
} // namespace
