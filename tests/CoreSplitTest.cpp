// The ranges a split hands out cover every index once, whether the work is
// too small to share, shared unevenly, or has fewer indices than parts.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "HelperThreads.h"
#include "platform/CoreSplit.h"

namespace {
TEST(SplitAmongCores, CoversEveryIndexOnce)
{
    struct Case {
        std::int64_t count, bytes;
    };
    for (const Case c : {Case {1, 1}, Case {3, std::int64_t(1) << 30}, Case {7, 100 << 20}, Case {100003, 100 << 20},
                         Case {100003, 1000}}) {
        const auto seen = std::make_unique<std::atomic<int>[]>(std::size_t(c.count));
        SplitAmongCores(c.count, c.bytes, [&](std::int64_t first, std::int64_t last) {
            ASSERT_LE(first, last);
            for (std::int64_t i = first; i < last; ++i)
                seen[std::size_t(i)].fetch_add(1);
        });
        for (std::int64_t i = 0; i < c.count; ++i)
            ASSERT_EQ(seen[std::size_t(i)].load(), 1) << "index " << i << " of " << c.count;
    }
}

TEST(SplitAmongCores, HelpersRunOffTheCallersProcessor)
{
    if (HelperThreads::CallersProcessors() < 2 || std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "needs two processors";
    HelperThreads helpers;
    SplitAmongCores(8, 100 << 20, [&](std::int64_t, std::int64_t) { helpers.Work(); });
    EXPECT_EQ(helpers.HelperProcessors(), HelperThreads::CallersProcessors() - 1);
}
} // namespace
