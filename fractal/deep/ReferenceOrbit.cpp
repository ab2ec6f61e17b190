#include "ReferenceOrbit.h"

#include "Mpfr.h"

namespace {
// value less its long double, rounded to a double; `t` is scratch.
double RestOf(mpfr_srcptr value, long double kept, mpfr_ptr t)
{
    mpfr_set_ld(t, kept, MPFR_RNDN);
    mpfr_sub(t, value, t, MPFR_RNDN);
    return mpfr_get_d(t, MPFR_RNDN);
}
} // namespace

bool ReferenceOrbit::Compute(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, std::int32_t limit,
                             const std::atomic<bool>* cancel, bool withRests)
{
    re.assign(1, 0.0);
    im.assign(1, 0.0);
    reRest.assign(withRests ? 1 : 0, 0.0);
    imRest.assign(withRests ? 1 : 0, 0.0);
    Mpfr x(precision), y(precision), xx(precision), yy(precision), t(precision);
    mpfr_set_zero(x, 1);
    mpfr_set_zero(y, 1);
    mpfr_set_zero(xx, 1);
    mpfr_set_zero(yy, 1);
    for (std::int32_t n = 1; n <= limit; ++n) {
        if ((n & 1023) == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return false;
        // y = 2xy + cy, x = xx - yy + cx, from the squares of the step before.
        mpfr_mul(t, x, y, MPFR_RNDN);
        mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
        mpfr_add(y, t, cy, MPFR_RNDN);
        mpfr_sub(t, xx, yy, MPFR_RNDN);
        mpfr_add(x, t, cx, MPFR_RNDN);
        re.push_back(mpfr_get_ld(x, MPFR_RNDN));
        im.push_back(mpfr_get_ld(y, MPFR_RNDN));
        if (withRests) {
            reRest.push_back(RestOf(x, re.back(), t));
            imRest.push_back(RestOf(y, im.back(), t));
        }
        mpfr_sqr(xx, x, MPFR_RNDN);
        mpfr_sqr(yy, y, MPFR_RNDN);
        mpfr_add(t, xx, yy, MPFR_RNDN);
        if (mpfr_cmp_ui(t, 4) > 0)
            break;
    }
    return true;
}

void ReferenceOrbit::KeepDoubles()
{
    reDouble.assign(re.begin(), re.end());
    imDouble.assign(im.begin(), im.end());
}
