#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "platform/PngRows.h"

namespace {
// Red, green, blue of each pixel minus the pixel above, for widths about the
// vectors' sixteen pixels, and not a byte written past the row.
TEST(PngRows, FilterUpGivesEachRowsDifferencesAndNoMore)
{
    std::mt19937 random(11);
    for (const int width : {0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 49, 100}) {
        std::vector<BYTE> row(3 * width), above(3 * width), out(3 * width + 64, 0xA5);
        for (BYTE& b : row)
            b = static_cast<BYTE>(random());
        for (BYTE& b : above)
            b = static_cast<BYTE>(random());
        PngRows::FilterUp(row.data(), above.data(), width, out.data());
        for (int i = 0; i < 3 * width; ++i) {
            const int source = 3 * (i / 3) + 2 - i % 3;
            ASSERT_EQ(out[i], static_cast<BYTE>(row[source] - above[source])) << width << " pixels, byte " << i;
        }
        for (int i = 3 * width; i < 3 * width + 64; ++i)
            ASSERT_EQ(out[i], 0xA5) << width << " pixels: byte " << i << " past the row written";
    }
}

// The vector Adler-32 must give zlib's sum for any length and start,
// including blocks of bytes that drive every partial sum to its largest.
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
