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

template <class Keep>
bool ReferenceOrbit::Iterate(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, std::int32_t limit,
                             const std::atomic<bool>* cancel, Keep keep)
{
    Mpfr x(precision), y(precision), xx(precision), yy(precision), norm(precision), t(precision);
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
        mpfr_sqr(xx, x, MPFR_RNDN);
        mpfr_sqr(yy, y, MPFR_RNDN);
        mpfr_add(norm, xx, yy, MPFR_RNDN);
        keep(x, y, norm, t);
        if (mpfr_cmp_ui(norm, 4) > 0)
            break;
    }
    return true;
}

bool ReferenceOrbit::Compute(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, std::int32_t limit,
                             const std::atomic<bool>* cancel)
{
    re.assign(1, 0.0);
    im.assign(1, 0.0);
    excess.assign(1, FloatExp(-4.0));
    const auto keep = [this](mpfr_srcptr x, mpfr_srcptr y, mpfr_srcptr norm, mpfr_ptr t) {
        re.push_back(mpfr_get_ld(x, MPFR_RNDN));
        im.push_back(mpfr_get_ld(y, MPFR_RNDN));
        mpfr_sub_ui(t, norm, 4, MPFR_RNDN);
        excess.push_back(ToFloatExp(t));
    };
    return Iterate(cx, cy, precision, limit, cancel, keep);
}

void ReferenceOrbit::ComputeRests(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision,
                                  const std::atomic<bool>* cancel)
{
    reRest.assign(1, 0.0);
    imRest.assign(1, 0.0);
    reRest.reserve(re.size());
    imRest.reserve(im.size());
    Iterate(cx, cy, precision, Last(), cancel, [this](mpfr_srcptr x, mpfr_srcptr y, mpfr_srcptr, mpfr_ptr t) {
        const std::size_t n = reRest.size();
        reRest.push_back(RestOf(x, re[n], t));
        imRest.push_back(RestOf(y, im[n], t));
    });
    reRest.resize(re.size(), 0.0);
    imRest.resize(im.size(), 0.0);
}

void ReferenceOrbit::KeepDoubles()
{
    reDouble.assign(re.begin(), re.end());
    imDouble.assign(im.begin(), im.end());
}
