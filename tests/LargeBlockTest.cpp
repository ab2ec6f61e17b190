#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/LargeBlock.h"

namespace {
// A released block comes back for the next one of its size: zeroed when
// asked for zeroed memory, as it was left otherwise.
TEST(LargeBlock, AReleasedBlockComesBackZeroedOnlyWhenAskedFor)
{
    constexpr std::size_t kSize = (std::size_t(5) << 20) + 12345;
    for (const bool zeroed : {true, false}) {
        auto* block = static_cast<unsigned char*>(LargeBlock::AllocateZeroed(kSize));
        ASSERT_NE(block, nullptr);
        std::memset(block, 0xab, kSize);
        LargeBlock::Release(block, kSize);
        auto* again = static_cast<unsigned char*>(zeroed ? LargeBlock::AllocateZeroed(kSize) : LargeBlock::Allocate(kSize));
        ASSERT_EQ(again, block) << zeroed;
        const unsigned char expected = zeroed ? 0 : 0xab;
        EXPECT_TRUE(std::all_of(again, again + kSize, [&](unsigned char b) { return b == expected; })) << zeroed;
        LargeBlock::Release(again, kSize);
    }
}
} // namespace
