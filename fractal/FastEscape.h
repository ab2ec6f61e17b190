#pragma once
#include <cstdint>

// The same count as EscapeCount for every input, computed faster:
// - |z|^2 <= 4 + 2^-50 decides exactly what sqrt(m) * sqrt(m) <= 4 decides,
//   since both roundings are monotone and this is the largest m that passes;
// - the squares of one iteration are the next one's re*re and im*im;
// - an orbit that comes back to a value it had, bit for bit, repeats for
//   ever and never escapes, so its count is the limit.
std::int32_t FastEscapeCount(double x, double y, std::int32_t maxIterations);

// The largest |z|^2 that the square-root test keeps.
constexpr double kEscapeThreshold = 0x1.0000000000001p+2;
