#pragma once
// The escape count of one pixel as a delta from the reference orbit:
// z(n) = Z(m) + dz, with dz in T (long double, or FloatExp past their exponents).
// When the pixel's orbit comes nearer to 0 than to the reference's, or the
// reference has escaped, the delta restarts from the start of the reference
// (dz <- Z(m) + dz, m <- 0), which keeps it small next to the orbit it follows.
// A delta that restarts from a value it restarted from before repeats its
// steps for ever and never escapes (Brent: compared with the value saved at
// the restarts numbered by powers of two).
#include <cstdint>
#include <limits>
#include <type_traits>

#include "BlaTable.h"
#include "FloatExp.h"
#include "ReferenceOrbit.h"

namespace Perturbation {
inline long double ToLong(long double value) { return value; }
inline long double ToLong(const FloatExp& value) { return value.ToLongDouble(); }

// Whether Z + dz is nearer to 0 than dz is.
// In hardware floats `zNorm` is already |Z + dz|^2.
template <class T>
bool NearerToZero(long double zNorm, long double, long double, T dzr, T dzi)
{
    return zNorm < dzr * dzr + dzi * dzi;
}

inline bool NearerToZero(long double, long double Zr, long double Zi, const FloatExp& dzr, const FloatExp& dzi)
{
    const FloatExp zr = FloatExp(static_cast<double>(Zr)) + dzr;
    const FloatExp zi = FloatExp(static_cast<double>(Zi)) + dzi;
    return zr * zr + zi * zi < dzr * dzr + dzi * dzi;
}

template <class T>
T Wide(long double value)
{
    if constexpr (std::is_same_v<T, FloatExp>)
        return FloatExp(static_cast<double>(value));
    else
        return static_cast<T>(value);
}

template <class T>
std::int32_t Count(const ReferenceOrbit& orbit, const BlaTable<T>& bla, T dcr, T dci, std::int32_t limit)
{
    const long double* Zr = orbit.re.data();
    const long double* Zi = orbit.im.data();
    const std::int32_t last = orbit.Last();
    T dzr = 0.0;
    T dzi = 0.0;
    std::int32_t m = 0;
    std::int32_t n = 0;
    T savedR = std::numeric_limits<double>::quiet_NaN();
    T savedI = savedR;
    std::int64_t restarts = 0;
    std::int64_t saveAt = 1;
    while (n < limit) {
        std::int32_t length = 1;
        const BlaStep<T>* run = m > 0 ? bla.Find(m, dzr * dzr + dzi * dzi, limit - n, length) : nullptr;
        if (run) {
            const T r = (dzr * run->ar - dzi * run->ai) + (dcr * run->br - dci * run->bi);
            const T i = (dzr * run->ai + dzi * run->ar) + (dcr * run->bi + dci * run->br);
            dzr = r;
            dzi = i;
        } else {
            // (2Z + dz) dz + dc
            const T tr = Wide<T>(2 * Zr[m]) + dzr;
            const T ti = Wide<T>(2 * Zi[m]) + dzi;
            const T r = (tr * dzr - ti * dzi) + dcr;
            const T i = (tr * dzi + ti * dzr) + dci;
            dzr = r;
            dzi = i;
        }
        m += length;
        n += length;
        const long double zr = Zr[m] + ToLong(dzr);
        const long double zi = Zi[m] + ToLong(dzi);
        const long double zNorm = zr * zr + zi * zi;
        if (zNorm > 4.0)
            return n;
        if (m == last || NearerToZero(zNorm, Zr[m], Zi[m], dzr, dzi)) {
            dzr = Wide<T>(Zr[m]) + dzr;
            dzi = Wide<T>(Zi[m]) + dzi;
            m = 0;
            if (dzr == savedR && dzi == savedI)
                return limit;
            if (++restarts == saveAt) {
                savedR = dzr;
                savedI = dzi;
                saveAt *= 2;
            }
        }
    }
    return limit;
}
} // namespace Perturbation
