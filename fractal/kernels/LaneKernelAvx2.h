#pragma once
// The escape loop on AVX2, several vectors of four pixels in flight. A lane
// whose pixel is done takes the next pixel at once, so lanes never wait for
// slow neighbours. Counts are those of ScalarKernel::Count, bit for bit.
#include <cstdint>

class LaneQueue;

namespace LaneKernelAvx2 {
// Whether this processor runs AVX2; the rest of the program is built without it.
bool Supported();
// Fills every pixel the queue hands out. maxIterations >= 1.
void Run(LaneQueue& queue, std::int32_t* out, std::int32_t maxIterations);
} // namespace LaneKernelAvx2
