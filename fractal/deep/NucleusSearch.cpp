#include "NucleusSearch.h"

#include <cmath>

#include "Mpfr.h"

namespace NucleusSearch {
namespace {
constexpr int kMostNewtonSteps = 64;
} // namespace

std::int32_t BallPeriod(const ReferenceOrbit& orbit, FloatExp radius)
{
    FloatExp r = radius;
    for (std::int32_t n = 1; n <= orbit.Last(); ++n) {
        const double z = std::hypot(static_cast<double>(orbit.re[n]), static_cast<double>(orbit.im[n]));
        if (FloatExp(z) < r)
            return n;
        r = r * (2 * z) + r * r + radius;
        if (FloatExp(1.0) < r)
            return 0;
    }
    return 0;
}

bool Newton(mpfr_ptr cx, mpfr_ptr cy, std::int32_t period, FloatExp tolerance, const std::atomic<bool>* cancel)
{
    const mpfr_prec_t precision = mpfr_get_prec(cx);
    Mpfr x(precision), y(precision), dx(precision), dy(precision), t(precision), u(precision), v(precision);
    for (int step = 0; step < kMostNewtonSteps; ++step) {
        mpfr_set_zero(x, 1);
        mpfr_set_zero(y, 1);
        mpfr_set_zero(dx, 1);
        mpfr_set_zero(dy, 1);
        for (std::int32_t n = 0; n < period; ++n) {
            if ((n & 1023) == 0 && cancel && cancel->load(std::memory_order_relaxed))
                return false;
            // d <- 2 z d + 1, then z <- z^2 + c.
            mpfr_mul(t, x, dx, MPFR_RNDN);
            mpfr_mul(u, y, dy, MPFR_RNDN);
            mpfr_sub(t, t, u, MPFR_RNDN);
            mpfr_mul(u, x, dy, MPFR_RNDN);
            mpfr_mul(v, y, dx, MPFR_RNDN);
            mpfr_add(u, u, v, MPFR_RNDN);
            mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
            mpfr_add_ui(dx, t, 1, MPFR_RNDN);
            mpfr_mul_2ui(dy, u, 1, MPFR_RNDN);
            mpfr_sqr(t, x, MPFR_RNDN);
            mpfr_sqr(u, y, MPFR_RNDN);
            mpfr_sub(t, t, u, MPFR_RNDN);
            mpfr_mul(u, x, y, MPFR_RNDN);
            mpfr_mul_2ui(u, u, 1, MPFR_RNDN);
            mpfr_add(x, t, cx, MPFR_RNDN);
            mpfr_add(y, u, cy, MPFR_RNDN);
        }
        // c <- c - z / d, with z / d = z conj(d) / |d|^2.
        mpfr_sqr(t, dx, MPFR_RNDN);
        mpfr_sqr(u, dy, MPFR_RNDN);
        mpfr_add(v, t, u, MPFR_RNDN);
        if (mpfr_zero_p(v))
            return false;
        mpfr_mul(t, x, dx, MPFR_RNDN);
        mpfr_mul(u, y, dy, MPFR_RNDN);
        mpfr_add(t, t, u, MPFR_RNDN);
        mpfr_div(t, t, v, MPFR_RNDN);
        mpfr_mul(u, y, dx, MPFR_RNDN);
        mpfr_mul(dx, x, dy, MPFR_RNDN);
        mpfr_sub(u, u, dx, MPFR_RNDN);
        mpfr_div(u, u, v, MPFR_RNDN);
        mpfr_sub(cx, cx, t, MPFR_RNDN);
        mpfr_sub(cy, cy, u, MPFR_RNDN);
        if (!mpfr_number_p(cx) || !mpfr_number_p(cy))
            return false;
        const FloatExp moved = ToFloatExp(t) * ToFloatExp(t) + ToFloatExp(u) * ToFloatExp(u);
        if (moved < tolerance * tolerance)
            return true;
    }
    return false;
}
} // namespace NucleusSearch
