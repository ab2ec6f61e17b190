#pragma once
// The orbit of one point iterated in MPFR at a given precision, kept as
// doubles: Z(0) = 0, Z(n+1) = Z(n)^2 + C, up to the first Z whose modulus
// squared exceeds 4 or up to Z(limit). Long doubles: their 64-bit mantissa
// keeps the pixels' orbits exact for longer where they wander away from it.
#include <atomic>
#include <cstdint>
#include <mpfr.h>
#include <vector>

#include "DoubleDouble.h"
#include "FloatExp.h"

struct ReferenceOrbit {
    std::vector<long double> re;
    std::vector<long double> im;
    // What the long doubles leave out, rounded to doubles, once
    // ComputeRests() was called: re[n] + reRest[n] holds about 117 bits.
    std::vector<double> reRest;
    std::vector<double> imRest;
    // |Z(n)|^2 - 4 as MPFR makes it: where a pixel's orbit passes this near
    // the escape circle, Z's own rounding could put it on the wrong side.
    std::vector<FloatExp> excess;
    // The same rounded to doubles, once KeepDoubles() was called.
    std::vector<double> reDouble;
    std::vector<double> imDouble;

    // The last index: Z(Last()) escaped, or Last() is the limit.
    std::int32_t Last() const { return static_cast<std::int32_t>(re.size()) - 1; }

    // False when `cancel` was raised before the orbit was done.
    bool Compute(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, std::int32_t limit,
                 const std::atomic<bool>* cancel);
    // The rests of the orbit Compute() made from the same point and precision,
    // for the counts in double-doubles. Where `cancel` was raised, zeros from there on.
    void ComputeRests(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, const std::atomic<bool>* cancel);
    // For the first count in doubles.
    void KeepDoubles();

    // Z(m) with its rest, once ComputeRests() was called.
    DoubleDouble PreciseRe(std::int32_t m) const { return Precise(re[m], reRest[m]); }
    DoubleDouble PreciseIm(std::int32_t m) const { return Precise(im[m], imRest[m]); }

private:
    // Calls keep(x, y, norm, scratch) with each Z(n) from n = 1 and its
    // modulus squared, up to Z(limit) or the first that escapes; false when
    // `cancel` was raised.
    template <class Keep>
    static bool Iterate(mpfr_srcptr cx, mpfr_srcptr cy, mpfr_prec_t precision, std::int32_t limit,
                        const std::atomic<bool>* cancel, Keep keep);

    static DoubleDouble Precise(long double kept, double rest)
    {
        const auto hi = static_cast<double>(kept);
        return DoubleDoubleExact::QuickTwoSum(hi, static_cast<double>((kept - hi) + rest));
    }
};
