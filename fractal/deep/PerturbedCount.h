#pragma once
// The escape count of one pixel as a delta from the reference orbit:
// z(n) = Z(m) + dz, with dz in T (double, or FloatExp past the doubles).
// When the pixel's orbit comes nearer to 0 than to the reference's, or the
// reference has escaped, the delta restarts from the start of the reference
// (dz <- Z(m) + dz, m <- 0), which keeps it small next to the orbit it follows.
#include <cstdint>

#include "BlaTable.h"
#include "FloatExp.h"
#include "ReferenceOrbit.h"

namespace Perturbation {
inline double ToDouble(double value) { return value; }
inline double ToDouble(const FloatExp& value) { return value.ToDouble(); }

// Whether Z + dz is nearer to 0 than dz is.
// In doubles `zNorm` is already |Z + dz|^2.
inline bool NearerToZero(double zNorm, double, double, double dzr, double dzi) { return zNorm < dzr * dzr + dzi * dzi; }

inline bool NearerToZero(double, double Zr, double Zi, const FloatExp& dzr, const FloatExp& dzi)
{
    const FloatExp zr = FloatExp(Zr) + dzr;
    const FloatExp zi = FloatExp(Zi) + dzi;
    return zr * zr + zi * zi < dzr * dzr + dzi * dzi;
}

template <class T>
std::int32_t Count(const ReferenceOrbit& orbit, const BlaTable<T>& bla, T dcr, T dci, std::int32_t limit)
{
    const double* Zr = orbit.re.data();
    const double* Zi = orbit.im.data();
    const std::int32_t last = orbit.Last();
    T dzr = 0.0;
    T dzi = 0.0;
    std::int32_t m = 0;
    std::int32_t n = 0;
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
            const T tr = T(2 * Zr[m]) + dzr;
            const T ti = T(2 * Zi[m]) + dzi;
            const T r = (tr * dzr - ti * dzi) + dcr;
            const T i = (tr * dzi + ti * dzr) + dci;
            dzr = r;
            dzi = i;
        }
        m += length;
        n += length;
        const double zr = Zr[m] + ToDouble(dzr);
        const double zi = Zi[m] + ToDouble(dzi);
        const double zNorm = zr * zr + zi * zi;
        if (zNorm > 4.0)
            return n;
        if (m == last || NearerToZero(zNorm, Zr[m], Zi[m], dzr, dzi)) {
            dzr = T(Zr[m]) + dzr;
            dzi = T(Zi[m]) + dzi;
            m = 0;
        }
    }
    return limit;
}
} // namespace Perturbation
