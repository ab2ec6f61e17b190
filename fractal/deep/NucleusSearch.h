#pragma once
// Finds the centre of a minibrot in a view, to serve as a reference orbit
// that never escapes: pixels then never outlive their reference.
#include <atomic>
#include <cstdint>
#include <mpfr.h>

#include "FloatExp.h"
#include "ReferenceOrbit.h"

namespace NucleusSearch {
// The first n at which the disc of `radius` about the orbit's point, carried
// along by the iteration, holds 0: the period of the lowest-period minibrot
// the disc may hold. 0 when there is none within the orbit.
std::int32_t BallPeriod(const ReferenceOrbit& orbit, FloatExp radius);

// Newton's method on Z(period) = 0 from (cx, cy), replaced by the nucleus.
// False when it does not settle to within `tolerance` or `cancel` was raised.
bool Newton(mpfr_ptr cx, mpfr_ptr cy, std::int32_t period, FloatExp tolerance, const std::atomic<bool>* cancel);
} // namespace NucleusSearch
