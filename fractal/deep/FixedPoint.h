#pragma once
// A number of magnitude below 2^32 with a whole number of limbs after the
// point, as sign and magnitude (least significant limb first, the last one
// the whole part): the count of one pixel at a few hundred bits takes about
// a third of MPFR's time, with no exponents to align and no rounding to
// nearest. Products and sums truncate: each is off by less than a unit of
// the last limb.
#include <algorithm>
#include <cstdint>
#include <gmp.h>
#include <mpfr.h>
#include <vector>

#include "FloatExp.h"
#include "Mpfr.h"

class FixedPoint {
public:
    explicit FixedPoint(mp_size_t fraction) : m_limbs(static_cast<std::size_t>(fraction) + 1, 0) {}

    // `value` rounded to `fraction` limbs after the point.
    static FixedPoint Of(mpfr_srcptr value, mp_size_t fraction)
    {
        FixedPoint result(fraction);
        Mpfr scaled(mpfr_get_prec(value));
        mpfr_mul_2si(scaled, value, static_cast<long>(fraction) * mp_bits_per_limb, MPFR_RNDN);
        mpz_t whole;
        mpz_init(whole);
        mpfr_get_z(whole, scaled, MPFR_RNDN);
        result.m_negative = mpz_sgn(whole) < 0;
        mpz_abs(whole, whole);
        std::size_t count = 0;
        mpz_export(result.m_limbs.data(), &count, -1, sizeof(mp_limb_t), 0, 0, whole);
        mpz_clear(whole);
        return result;
    }

    // r = a b, through `scratch` of twice the limbs.
    static void Multiply(FixedPoint& r, const FixedPoint& a, const FixedPoint& b, std::vector<mp_limb_t>& scratch)
    {
        const mp_size_t n = a.Size();
        if (&a == &b)
            mpn_sqr(scratch.data(), a.m_limbs.data(), n);
        else
            mpn_mul_n(scratch.data(), a.m_limbs.data(), b.m_limbs.data(), n);
        std::copy_n(scratch.begin() + (n - 1), n, r.m_limbs.begin());
        r.m_negative = &a != &b && a.m_negative != b.m_negative;
    }

    static void Add(FixedPoint& r, const FixedPoint& a, const FixedPoint& b) { Combine(r, a, b, b.m_negative); }
    static void Subtract(FixedPoint& r, const FixedPoint& a, const FixedPoint& b) { Combine(r, a, b, !b.m_negative); }

    void Double() { mpn_lshift(m_limbs.data(), m_limbs.data(), Size(), 1); }

    // The magnitude, to a double's digits or so.
    double Magnitude() const
    {
        return static_cast<double>(m_limbs.back()) + static_cast<double>(m_limbs[m_limbs.size() - 2]) * 0x1p-64;
    }

    // This magnitude less 4, exactly, then rounded to a double's digits.
    FloatExp MagnitudeLess4() const
    {
        const mp_size_t n = Size();
        std::vector<mp_limb_t> difference(m_limbs);
        const bool below = m_limbs.back() < 4;
        if (below) {
            std::vector<mp_limb_t> four(m_limbs.size(), 0);
            four.back() = 4;
            mpn_sub_n(difference.data(), four.data(), m_limbs.data(), n);
        } else {
            difference.back() -= 4;
        }
        mp_size_t top = n - 1;
        while (top >= 0 && difference[static_cast<std::size_t>(top)] == 0)
            --top;
        if (top < 0)
            return FloatExp();
        const auto i = static_cast<std::size_t>(top);
        const double mantissa =
            static_cast<double>(difference[i]) + (i > 0 ? static_cast<double>(difference[i - 1]) * 0x1p-64 : 0.0);
        return FloatExp(below ? -mantissa : mantissa, static_cast<std::int64_t>(top - (n - 1)) * mp_bits_per_limb);
    }

private:
    mp_size_t Size() const { return static_cast<mp_size_t>(m_limbs.size()); }

    // r = a + b with b's sign taken as `bNegative`.
    static void Combine(FixedPoint& r, const FixedPoint& a, const FixedPoint& b, bool bNegative)
    {
        const mp_size_t n = a.Size();
        if (a.m_negative == bNegative) {
            mpn_add_n(r.m_limbs.data(), a.m_limbs.data(), b.m_limbs.data(), n);
            r.m_negative = bNegative;
        } else if (mpn_cmp(a.m_limbs.data(), b.m_limbs.data(), n) >= 0) {
            mpn_sub_n(r.m_limbs.data(), a.m_limbs.data(), b.m_limbs.data(), n);
            r.m_negative = a.m_negative;
        } else {
            mpn_sub_n(r.m_limbs.data(), b.m_limbs.data(), a.m_limbs.data(), n);
            r.m_negative = bNegative;
        }
    }

    bool m_negative = false;
    std::vector<mp_limb_t> m_limbs;
};
