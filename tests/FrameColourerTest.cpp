#include <gtest/gtest.h>

#include <vector>

#include "fractal/ComputeSettings.h"
#include "render/ColourTable.h"
#include "render/FrameColourer.h"
#include "render/PixelColour.h"

namespace {
// Runs of one count skip the vector kernels' transposes and gathers: a
// single other count anywhere in a tile, or in a row's last pixels, must
// still get its own colour.
TEST(FrameColourer, OneOtherCountAnywhereKeepsItsColour)
{
    const int W = 16 * 2 + 5, H = 16 + 3, limit = 1000;
    ColourTable table;
    table.Prepare(limit);
    const ComputeSettings saved = ComputeSettings::Current();
    for (Kernel kernel : {Kernel::Scalar, Kernel::Avx2, Kernel::Avx512}) {
        ComputeSettings::Set({1, kernel});
        // Inside the set, then a count past the table, which the rule colours.
        for (const auto& [run, other] : {std::pair {limit, 3}, std::pair {7, 70000}}) {
            for (int odd = 0; odd < W * H; ++odd) {
                std::vector<std::int32_t> counts(std::size_t(W) * H, run);
                counts[std::size_t(odd)] = other;
                std::vector<BYTE> bytes(std::size_t(W) * 3 * H);
                FrameColourer::ColourRows(counts.data(), W, H, table, bytes.data(), W * 3);
                for (int i = 0; i < W * H; ++i) {
                    const COLORREF want = PixelColour(counts[std::size_t(i)], limit);
                    const BYTE* pixel = bytes.data() + (i % H) * W * 3 + (i / H) * 3;
                    ASSERT_EQ(RGB(pixel[2], pixel[1], pixel[0]), want)
                        << KernelName(kernel) << " other count at " << odd << ", pixel " << i;
                }
            }
        }
    }
    ComputeSettings::Set(saved);
}
} // namespace
