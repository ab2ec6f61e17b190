#include "PreciseCount.h"

#include <vector>

#include "FixedPoint.h"
#include "FloatExp.h"
#include "Mpfr.h"
#include "PerturbedCount.h"

namespace {
// Steps between two looks at the cancel flag.
constexpr std::int32_t kCancelStride = 1024;
// Bits beyond those that place the pixel, at first: beside the minibrot of
// period 251 at 3.4e12, placed by 129 bits, 160 in all were too few, 330 enough.
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
        // Down to whole limbs, which the fixed point works in.
        const mpfr_prec_t bits = (m_precision + extra) / mp_bits_per_limb * mp_bits_per_limb;
        const Attempt attempt = CountAt(std::min(bits, m_most), column, row, cancel);
        if (attempt.sure)
            return attempt.count;
    }
}

PreciseCount::Attempt PreciseCount::CountAt(mpfr_prec_t p, std::int32_t column, std::int32_t row,
                                            const std::atomic<bool>* cancel) const
{
    // The point to more bits than the fixed point keeps: rounded once, into it.
    const mpfr_prec_t placed = p + mp_bits_per_limb + 64;
    Mpfr zoom(placed), step(placed), x(placed), y(placed), centre(placed);
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
    // Past 4 on either axis, |z|^2 > 4 at the first step; within, the
    // orbit's numbers stay below 2^32 and their products within the limbs.
    if (mpfr_cmpabs_ui(x, 4) > 0 || mpfr_cmpabs_ui(y, 4) > 0)
        return {1, true};
    const auto fraction = static_cast<mp_size_t>((p + mp_bits_per_limb - 1) / mp_bits_per_limb);
    const FixedPoint cx = FixedPoint::Of(x, fraction);
    const FixedPoint cy = FixedPoint::Of(y, fraction);
    FixedPoint re(fraction), im(fraction), rr(fraction), ii(fraction), t(fraction), norm(fraction);
    std::vector<mp_limb_t> scratch(2 * static_cast<std::size_t>(fraction + 1));
    // A step's few truncations of numbers up to 4, squared, generously.
    const FloatExp made = FloatExp(1.0, 8 - 2 * static_cast<std::int64_t>(fraction) * mp_bits_per_limb);
    Perturbation::BasicErrorEstimate<FloatExp> estimate;
    // At the most bits, the count stands whatever the estimate says.
    const bool last = p >= m_most;
    for (std::int32_t n = 1; n <= m_view.limit; ++n) {
        if (n % kCancelStride == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return {n, true};
        // im = 2 re im + y, re = re^2 - im^2 + x
        FixedPoint::Multiply(t, re, im, scratch);
        t.Double();
        FixedPoint::Add(im, t, cy);
        FixedPoint::Subtract(t, rr, ii);
        FixedPoint::Add(re, t, cx);
        FixedPoint::Multiply(rr, re, re, scratch);
        FixedPoint::Multiply(ii, im, im, scratch);
        FixedPoint::Add(norm, rr, ii);
        const double zNorm = norm.Magnitude();
        FloatExp excess;
        if (zNorm >= 2)
            excess = norm.MagnitudeLess4();
        if (!estimate.Step(estimate.PlainWidening(), made, zNorm, excess) && !last)
            return {n, false};
        if (excess.m > 0)
            return {n, true};
    }
    return {m_view.limit, last || estimate.Close()};
}
