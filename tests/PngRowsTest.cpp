// The vector Adler-32 must give zlib's sum for any length and start,
// including blocks of bytes that drive every partial sum to its largest.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "platform/PngRows.h"

namespace {
TEST(PngRows, Adler32IsZlibs)
{
    std::mt19937 random(7);
    for (const int fill : {-1, 0, 255})
        for (const std::size_t size : {0, 1, 31, 32, 33, 5535, 5536, 5537, 5568, 20000, 100003}) {
            std::vector<BYTE> bytes(size);
            for (BYTE& b : bytes)
                b = static_cast<BYTE>(fill < 0 ? random() : fill);
            for (const std::uint32_t start : {1u, 0xfff0fff0u}) {
                const auto expected = static_cast<std::uint32_t>(adler32_z(start, bytes.data(), size));
                EXPECT_EQ(PngRows::Adler32(start, bytes.data(), size), expected)
                    << size << " bytes of " << fill << " from " << start;
            }
        }
}
} // namespace
