#include "PreciseCount.h"

#include "FloatExp.h"
#include "Mpfr.h"
#include "PerturbedCount.h"

namespace {
// Steps between two looks at the cancel flag.
constexpr std::int32_t kCancelStride = 1024;
// Bits beyond those that place the pixel, at first: the valleys where
// double-doubles fail needed 50 to 200.
constexpr mpfr_prec_t kFirstExtraBits = 128;
} // namespace

// Each step magnifies errors by |2z| <= 4 until the orbit escapes: past
// two bits a step more precision is no surer.
PreciseCount::PreciseCount(const DeepView& view, mpfr_prec_t precision)
    : m_view(view), m_precision(precision), m_most(precision + 2 * static_cast<mpfr_prec_t>(view.limit) + 64)
{
}

std::int32_t PreciseCount::Count(std::int32_t column, std::int32_t row, const std::atomic<bool>* cancel) const
{
    for (mpfr_prec_t extra = kFirstExtraBits;; extra *= 2) {
        // Down to whole limbs: a part-filled one costs as much as a whole
        // one (257 bits took 8 % longer than 256, 321 29 % longer than 320).
        const mpfr_prec_t bits = (m_precision + extra) / mp_bits_per_limb * mp_bits_per_limb;
        const Attempt attempt = CountAt(std::min(bits, m_most), column, row, cancel);
        if (attempt.sure)
            return attempt.count;
    }
}

PreciseCount::Attempt PreciseCount::CountAt(mpfr_prec_t p, std::int32_t column, std::int32_t row,
                                            const std::atomic<bool>* cancel) const
{
    Mpfr zoom(p), step(p), x(p), y(p), centre(p), re(p), im(p), rr(p), ii(p), t(p);
    mpfr_set_str(zoom, m_view.zoom.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(step, "3.6", 10, MPFR_RNDN);
    mpfr_div(step, step, zoom, MPFR_RNDN);
    mpfr_div_si(step, step, m_view.width, MPFR_RNDN);
    // x = cx + (c - W/2) s, y = -cy + (r - H/2) s
    mpfr_mul_si(x, step, 2 * static_cast<long>(column) - m_view.width, MPFR_RNDN);
    mpfr_div_2ui(x, x, 1, MPFR_RNDN);
    mpfr_set_str(centre, m_view.centreX.c_str(), 10, MPFR_RNDN);
    mpfr_add(x, x, centre, MPFR_RNDN);
    mpfr_mul_si(y, step, 2 * static_cast<long>(row) - m_view.height, MPFR_RNDN);
    mpfr_div_2ui(y, y, 1, MPFR_RNDN);
    mpfr_set_str(centre, m_view.centreY.c_str(), 10, MPFR_RNDN);
    mpfr_sub(y, y, centre, MPFR_RNDN);
    // On the real axis from -2 to 1/4 the orbit stays within [-2, 2] for
    // ever, however its roundings grow (near -2 by a bit a step).
    if (2 * row == m_view.height && mpfr_zero_p(centre) && mpfr_cmp_si(x, -2) >= 0 && mpfr_cmp_d(x, 0.25) <= 0)
        return {m_view.limit, true};
    mpfr_set_zero(re, 1);
    mpfr_set_zero(im, 1);
    mpfr_set_zero(rr, 1);
    mpfr_set_zero(ii, 1);
    // A step's few roundings of numbers up to 4, squared, generously.
    const FloatExp made = FloatExp(1.0, 8 - 2 * static_cast<std::int64_t>(p));
    Perturbation::BasicErrorEstimate<FloatExp> estimate;
    // At the most bits, the count stands whatever the estimate says.
    const bool last = p >= m_most;
    for (std::int32_t n = 1; n <= m_view.limit; ++n) {
        if (n % kCancelStride == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return {n, true};
        mpfr_mul(t, re, im, MPFR_RNDN);
        mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
        mpfr_add(im, t, y, MPFR_RNDN);
        mpfr_sub(t, rr, ii, MPFR_RNDN);
        mpfr_add(re, t, x, MPFR_RNDN);
        mpfr_sqr(rr, re, MPFR_RNDN);
        mpfr_sqr(ii, im, MPFR_RNDN);
        mpfr_add(t, rr, ii, MPFR_RNDN);
        const double zNorm = mpfr_get_d(t, MPFR_RNDN);
        FloatExp excess;
        if (zNorm >= 2) {
            mpfr_sub_ui(t, t, 4, MPFR_RNDN);
            excess = ToFloatExp(t);
        }
        if (!estimate.Step(estimate.PlainWidening(), made, zNorm, excess) && !last)
            return {n, false};
        if (excess.m > 0)
            return {n, true};
    }
    return {m_view.limit, last || estimate.Close()};
}
