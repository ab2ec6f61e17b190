#pragma once
// An MPFR number that frees itself.
#include <mpfr.h>

#include "FloatExp.h"

class Mpfr {
public:
    explicit Mpfr(mpfr_prec_t precision) { mpfr_init2(m_value, precision); }
    ~Mpfr() { mpfr_clear(m_value); }
    Mpfr(const Mpfr&) = delete;
    Mpfr& operator=(const Mpfr&) = delete;

    operator mpfr_ptr() { return m_value; }
    operator mpfr_srcptr() const { return m_value; }

private:
    mpfr_t m_value;
};

// Rounded once to a double's digits, with the exponent kept whole.
inline FloatExp ToFloatExp(mpfr_srcptr value)
{
    long exponent = 0;
    const double mantissa = mpfr_get_d_2exp(&exponent, value, MPFR_RNDN);
    return FloatExp(mantissa, exponent);
}
