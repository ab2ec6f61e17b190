#pragma once
// The escape loop on AVX2, several vectors of four pixels in flight. A lane
// whose pixel is done takes the next pixel at once, so lanes never wait for
// slow neighbours. Counts are those of EscapeKernel::Count, bit for bit.
#include <cstdint>

class PixelFeed;

namespace LaneKernelAvx2 {
// Whether this processor runs AVX2; the rest of the program is built without it.
bool Supported();
// Fills every pixel the feed hands out. maxIterations >= 1.
void Run(PixelFeed& feed, std::int32_t* out, std::int32_t maxIterations);
} // namespace LaneKernelAvx2
