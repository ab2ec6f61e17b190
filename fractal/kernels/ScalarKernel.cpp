#include "ScalarKernel.h"

#include <limits>

#include "InteriorRegion.h"

namespace ScalarKernel {

// The literal loop with three shortcuts that keep every count:
// - re*re and im*im of the escape test are the next step's squares;
// - an orbit that comes back to an earlier value repeats for ever and never
//   escapes (Brent: compare with a value saved at doubling ages). Values equal
//   up to the sign of a zero step on to values equal in the same sense;
// - InteriorRegion points never escape.
std::int32_t Count(double x, double y, std::int32_t maxIterations)
{
    if (maxIterations <= 0)
        return 0;
    if (InteriorRegion::Contains(x, y))
        return maxIterations;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double re = 0.0, im = 0.0, rr = 0.0, ii = 0.0;
    double savedRe = nan, savedIm = nan;
    std::int64_t saveAt = 1;
    for (std::int32_t n = 1;; ++n) {
        const double t = (im * re) * 2;
        re = (rr - ii) + x;
        im = t + y;
        rr = re * re;
        ii = im * im;
        if (!(rr + ii <= kEscapeBound) || n == maxIterations)
            return n;
        if (re == savedRe && im == savedIm)
            return maxIterations;
        if (n == saveAt) {
            savedRe = re;
            savedIm = im;
            saveAt *= 2;
        }
    }
}

} // namespace ScalarKernel
