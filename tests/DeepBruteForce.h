#pragma once
// Escape counts of a deep view's pixels iterated one by one in MPFR from
// their exact sample points x = cx + (c - W/2) s, y' = -cy + (r - H/2) s,
// s = 3.6 / (zoom W): what the deep calculator is checked against.
#include <cstdint>
#include <vector>

#include "fractal/deep/DeepView.h"
#include "fractal/deep/Mpfr.h"

class DeepBruteForce {
public:
    // Precision 0: the view's magnification in bits plus 400.
    explicit DeepBruteForce(const DeepView& view, mpfr_prec_t precision = 0);

    // The count of column c, row r.
    std::int32_t Count(std::int32_t c, std::int32_t r) const;
    // Every pixel, column c row r at c * height + r.
    std::vector<std::int32_t> Picture() const;

    mpfr_prec_t Precision() const { return m_precision; }

private:
    DeepView m_view;
    mpfr_prec_t m_precision;
    Mpfr m_step;
    Mpfr m_cx;
    Mpfr m_cy;
};
