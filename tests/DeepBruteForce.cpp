#include "DeepBruteForce.h"

#include <algorithm>

namespace {
mpfr_prec_t DefaultPrecision(const DeepView& view)
{
    Mpfr zoom(64);
    mpfr_set_str(zoom, view.zoom.c_str(), 10, MPFR_RNDN);
    return std::max<mpfr_prec_t>(mpfr_get_exp(zoom), 0) + 400;
}
} // namespace

DeepBruteForce::DeepBruteForce(const DeepView& view, mpfr_prec_t precision)
    : m_view(view), m_precision(precision > 0 ? precision : DefaultPrecision(view)), m_step(m_precision),
      m_cx(m_precision), m_cy(m_precision)
{
    Mpfr zoom(m_precision);
    mpfr_set_str(zoom, view.zoom.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(m_step, "3.6", 10, MPFR_RNDN);
    mpfr_div(m_step, m_step, zoom, MPFR_RNDN);
    mpfr_div_si(m_step, m_step, view.width, MPFR_RNDN);
    mpfr_set_str(m_cx, view.centreX.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(m_cy, view.centreY.c_str(), 10, MPFR_RNDN);
}

std::int32_t DeepBruteForce::Count(std::int32_t c, std::int32_t r) const
{
    const mpfr_prec_t p = m_precision;
    Mpfr x(p), y(p), re(p), im(p), rr(p), ii(p), t(p);
    mpfr_mul_si(x, m_step, 2 * c - m_view.width, MPFR_RNDN);
    mpfr_div_2ui(x, x, 1, MPFR_RNDN);
    mpfr_add(x, x, m_cx, MPFR_RNDN);
    mpfr_mul_si(y, m_step, 2 * r - m_view.height, MPFR_RNDN);
    mpfr_div_2ui(y, y, 1, MPFR_RNDN);
    mpfr_sub(y, y, m_cy, MPFR_RNDN);
    mpfr_set_zero(re, 1);
    mpfr_set_zero(im, 1);
    mpfr_set_zero(rr, 1);
    mpfr_set_zero(ii, 1);
    std::int32_t n = 0;
    while (n < m_view.limit) {
        ++n;
        mpfr_mul(t, re, im, MPFR_RNDN);
        mpfr_mul_2ui(t, t, 1, MPFR_RNDN);
        mpfr_add(im, t, y, MPFR_RNDN);
        mpfr_sub(t, rr, ii, MPFR_RNDN);
        mpfr_add(re, t, x, MPFR_RNDN);
        mpfr_sqr(rr, re, MPFR_RNDN);
        mpfr_sqr(ii, im, MPFR_RNDN);
        mpfr_add(t, rr, ii, MPFR_RNDN);
        if (mpfr_cmp_ui(t, 4) > 0)
            break;
    }
    return n;
}

std::vector<std::int32_t> DeepBruteForce::Picture() const
{
    std::vector<std::int32_t> counts;
    counts.reserve(static_cast<std::size_t>(m_view.width) * static_cast<std::size_t>(m_view.height));
    for (std::int32_t c = 0; c < m_view.width; ++c)
        for (std::int32_t r = 0; r < m_view.height; ++r)
            counts.push_back(Count(c, r));
    return counts;
}
