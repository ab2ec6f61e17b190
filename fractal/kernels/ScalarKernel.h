#pragma once
// Escape counts equal to LiteralEscapeCount's for every input, computed faster.
#include <cstdint>

namespace ScalarKernel {
// For m >= 0, sqrt(m) * sqrt(m) <= 4.0 exactly when m <= 4 + 2^-50: both
// operations round monotonically, so one threshold decides.
constexpr double kEscapeBound = 0x1.0000000000001p+2;

std::int32_t Count(double x, double y, std::int32_t maxIterations);
} // namespace ScalarKernel
