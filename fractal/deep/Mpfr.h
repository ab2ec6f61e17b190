#pragma once
// An MPFR number that frees itself.
#include <mpfr.h>

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
