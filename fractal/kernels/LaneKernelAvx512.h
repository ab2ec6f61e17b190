#pragma once
// The lane kernel of LaneKernelAvx2 on AVX-512: eight pixels per vector and
// mask registers for the lanes still counting, so twice the pixels are in
// flight for the same instructions. Counts are those of ScalarKernel::Count,
// bit for bit.
#include <cstdint>

class LaneQueue;

namespace LaneKernelAvx512 {
// Whether this processor runs AVX-512 (F and DQ); the rest of the program is built without it.
bool Supported();
// Fills every pixel the queue hands out. maxIterations >= 1.
void Run(LaneQueue& queue, std::int32_t* out, std::int32_t maxIterations);
} // namespace LaneKernelAvx512
