#pragma once
#include <cstdint>

// Iterations of z <- z^2 + c from 0 until |z| > 2 or the limit is reached,
// evaluated exactly in the order the picture is defined by (square root kept).
std::int32_t LiteralEscapeCount(double x, double y, std::int32_t maxIterations);
