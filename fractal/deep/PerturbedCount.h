#pragma once
// The escape count of one pixel as a delta from the reference orbit:
// z(n) = Z(m) + dz, with dz in T (long double, or FloatExp past their
// exponents; double for a first count where doubles reach).
// When the pixel's orbit comes nearer to 0 than to the reference's, or the
// reference has escaped, the delta restarts from the start of the reference
// (dz <- Z(m) + dz, m <- 0), which keeps it small next to the orbit it follows.
// A delta that restarts from a value it restarted from before repeats its
// steps for ever and never escapes (Brent: compared with the value saved at
// the restarts numbered by powers of two).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "BlaTable.h"
#include "DoubleDouble.h"
#include "FloatExp.h"
#include "InteriorDisc.h"
#include "ReferenceOrbit.h"

namespace Perturbation {
inline long double ToLong(long double value) { return value; }
inline double ToLong(double value) { return value; }
inline long double ToLong(const FloatExp& value) { return value.ToLongDouble(); }

// Whether Z + dz is nearer to 0 than dz is.
// In hardware floats `zNorm` is already |Z + dz|^2.
template <class Z, class T>
bool NearerToZero(Z zNorm, Z, Z, T dzr, T dzi)
{
    return zNorm < dzr * dzr + dzi * dzi;
}

inline bool NearerToZero(long double, long double Zr, long double Zi, const FloatExp& dzr, const FloatExp& dzi)
{
    const FloatExp zr = FloatExp(static_cast<double>(Zr)) + dzr;
    const FloatExp zi = FloatExp(static_cast<double>(Zi)) + dzi;
    return zr * zr + zi * zi < dzr * dzr + dzi * dzi;
}

template <class T, class Z>
T Wide(Z value)
{
    if constexpr (std::is_same_v<T, FloatExp>)
        return FloatExp(static_cast<double>(value));
    else
        return static_cast<T>(value);
}

// Where |z|^2 is this near 4, the escape test takes the orbit's excess as
// MPFR made it: Z(m) rounded to long doubles could otherwise put an orbit
// that runs along the circle (the needle's, -2 -> 2 -> 2 ...) on the
// wrong side of it.
constexpr long double kNearEscape = 0x1p-30L;
// The excess is kept to a double's digits.
constexpr long double kExcessRounding = 0x1p-50L;

// |Z(m) + dz|^2 - 4 as |Z(m)|^2 - 4 + 2 Z(m).dz + |dz|^2, clamped to the
// long doubles' range, which keeps its sign.
template <class Z, class T>
long double PreciseExcess(const FloatExp& orbitExcess, Z Zr, Z Zi, T dzr, T dzi)
{
    if constexpr (std::is_same_v<T, FloatExp>) {
        const FloatExp cross = FloatExp(static_cast<double>(Zr)) * dzr + FloatExp(static_cast<double>(Zi)) * dzi;
        const FloatExp sum = orbitExcess + (cross * 2.0 + (dzr * dzr + dzi * dzi));
        const auto exponent = static_cast<int>(std::clamp<std::int64_t>(sum.e, -16000, 16000));
        return std::ldexp(static_cast<long double>(sum.m), exponent);
    } else {
        const long double r = dzr, i = dzi;
        return orbitExcess.ToLongDouble() + (2 * (Zr * r + Zi * i) + (r * r + i * i));
    }
}

// The same in double-doubles, from Z(m) in double-doubles: the orbit's own
// excess replaces theirs where it is too small for them to hold.
inline DoubleDouble PreciseExcess(const FloatExp& orbitExcess, DoubleDouble Zr, DoubleDouble Zi, DoubleDouble dzr,
                                  DoubleDouble dzi)
{
    const DoubleDouble own = orbitExcess.e < -60 ? DoubleDouble {static_cast<double>(orbitExcess.ToLongDouble()), 0.0}
                                                 : (Zr * Zr + Zi * Zi) - DoubleDouble {4.0, 0.0};
    const DoubleDouble cross = Zr * dzr + Zi * dzi;
    return own + ((cross + cross) + (dzr * dzr + dzi * dzi));
}

// A run of steps is used while the dropped squares stay this far under the
// kept terms. Careful: over the longest runs their sum stays near the long
// doubles' own rounding (2^-45 moved a few pixels of 1000 near minibrots).
// First pass: runs far longer, their error bounded along the way; a pixel
// whose bound reaches an escape test is computed again with the careful one.
constexpr double kCarefulEpsilon = 0x1p-56;
constexpr double kFirstPassEpsilon = 0x1p-16;
// The double-doubles' runs: 2^8 under the long doubles' rounding; their
// estimate sends the few pixels that need more to plain steps (the
// double-double counts of an elephant valley at 1e50 took 1.4 times as long
// at 2^-80, 3.6 times at 2^-88).
constexpr double kPreciseEpsilon = 0x1p-72;

// What CountIfSure returns when rounding or dropped terms may have moved the count.
constexpr std::int32_t kUnsure = -1;

// What one step's rounding adds to the error of dz, relative to dz: long
// doubles round to 2^-64, a step has a few roundings. Generous: it decides
// only what is computed again.
constexpr long double kRoundingShare = 0x1p-58L;
// The same for doubles, which round to 2^-53, their dc itself rounded from long doubles.
constexpr double kDoubleRoundingShare = 0x1p-49;
// The error of |z|^2 near 4 is about 4 times the error of z: this margin
// keeps a pixel sure only well clear of the escape test.
constexpr long double kEscapeMargin = 64.0L;
// Past this share of |z|^2, the error's square no longer stays small next
// to what it grows by each step, 2 |z| error.
constexpr long double kLargestErrorShare = 0x1p-16L;

// An estimate of a count's error: each rounding's share of |dz| (squared)
// added to the others' as independent errors add, each grown by the steps
// after it. Pixels whose count is decided by structure finer than 1e-13 of
// a pixel step (in valleys, where orbits wander long before they escape)
// come out wrong from long doubles with an estimate within a few times the
// distance to an escape test; a margin of 64 leaves a more precise count to
// about 0.5 % of those views' pixels. Held in S: doubles, long doubles past
// their exponents, FloatExp for the count in fixed point, whose errors lie
// below both.
template <class S>
class BasicErrorEstimate {
public:
    // The long doubles' rounding of one step, 2^-63, squared.
    static constexpr double kLongDoubleShare = 0x1p-126;
    // The double-doubles', 2^-100, squared.
    static constexpr double kDoubleDoubleShare = 0x1p-200;

    void Add(S squaredError) { m_spread = m_spread + squaredError; }

    // What a plain step from the last |z| magnifies errors by, squared.
    S PlainWidening() const { return m_norm * S(4.0); }

    // After a step that magnified errors by sqrt(widening), added `made`
    // (squared) of its own and came to |z|^2 = zNorm, 4 + excess: false when
    // the estimate comes near an escape test or near |z|.
    bool Step(S widening, S made, S zNorm, S excess)
    {
        m_spread = m_spread * widening + made;
        m_norm = zNorm;
        // Only where an escape test is near, and at restarts below.
        return zNorm < S(2.0) || (Close() && zNorm * S(4.0) * m_spread < excess * excess * S(kMarginSquared));
    }

    // False when the estimate nears |z|, past which the orbit is no longer
    // the pixel's: checked at each restart, where |z| is least.
    bool Close() const { return m_spread < m_norm * S(kLargestShareSquared); }

private:
    static constexpr double kMarginSquared = 0x1p-12;
    // Past this share of |z| (squared), the orbit is no longer the pixel's.
    static constexpr double kLargestShareSquared = 0x1p-20;

    S m_spread = S(0.0);
    S m_norm = S(0.0);
};

using ErrorEstimate = BasicErrorEstimate<double>;

enum class Tracking {
    // The count alone.
    None,
    // A bound on the error: the first pass.
    Bound,
    // An estimate of the error: the careful pass, where a more precise count can take over.
    Estimate,
};

// Everything Count does, and with Tracking::Bound a bound on the error of dz
// carried along (e <- |2z| e + what the step adds): the count is kUnsure
// when that bound, with the rounding of Z(m) itself, does not keep every
// escape test on the same side; with Tracking::Estimate, when the estimate
// comes near an escape test or near |z|. Double deltas read the orbit in doubles.
// Brent's check on the points a delta restarts from: true once it restarts
// from the point saved at the last restart numbered by a power of two.
template <class T>
class RestartCycle {
public:
    explicit RestartCycle(T none) : m_savedR(none), m_savedI(none) {}

    bool Repeats(const T& dzr, const T& dzi)
    {
        if (dzr == m_savedR && dzi == m_savedI)
            return true;
        if (++m_restarts == m_saveAt) {
            m_savedR = dzr;
            m_savedI = dzi;
            m_saveAt *= 2;
        }
        return false;
    }

private:
    T m_savedR;
    T m_savedI;
    std::int64_t m_restarts = 0;
    std::int64_t m_saveAt = 1;
};

template <class T, Tracking kTracking, class S = double>
std::int32_t Iterate(const ReferenceOrbit& orbit, const BlaTable<T>& bla, T dcr, T dci, std::int32_t limit)
{
    constexpr bool kTracked = kTracking == Tracking::Bound;
    constexpr bool kEstimated = kTracking == Tracking::Estimate;
    using Z = std::conditional_t<std::is_same_v<T, double>, double, long double>;
    constexpr Z kShare = std::is_same_v<T, double> ? Z(kDoubleRoundingShare) : Z(kRoundingShare);
    const Z* Zr = nullptr;
    const Z* Zi = nullptr;
    if constexpr (std::is_same_v<T, double>) {
        Zr = orbit.reDouble.data();
        Zi = orbit.imDouble.data();
    } else {
        Zr = orbit.re.data();
        Zi = orbit.im.data();
    }
    const std::int32_t last = orbit.Last();
    const Z dcNorm = kTracked ? std::sqrt(Z(ToLong(dcr) * ToLong(dcr) + ToLong(dci) * ToLong(dci))) : Z(0);
    // The first count in doubles also tries to prove that the orbit stays bounded.
    constexpr bool kProved = kTracked && std::is_same_v<T, double>;
    InteriorDisc<Z> disc;
    T dzr = 0.0;
    T dzi = 0.0;
    Z error = 0;
    BasicErrorEstimate<S> estimate;
    std::int32_t m = 0;
    std::int32_t n = 0;
    RestartCycle<T> cycle {T(std::numeric_limits<double>::quiet_NaN())};
    while (n < limit) {
        std::int32_t length = 1;
        const T dzNorm = dzr * dzr + dzi * dzi;
        // The last step's rounding, grown by this one below.
        if constexpr (kEstimated)
            estimate.Add(S(ErrorEstimate::kLongDoubleShare) * S(ToLong(dzNorm)));
        // While a disc is carried, runs must hold up to its edge.
        const bool carried = kProved && disc.Carried();
        const Z edge = carried ? std::sqrt(Z(ToLong(dzNorm))) + disc.Radius() : Z(0);
        const BlaStep<T>* run = m > 0 ? bla.Find(m, carried ? T(edge * edge) : dzNorm, limit - n, length) : nullptr;
        Z growth = 0;
        S widening = 0;
        Z dropped = 0;
        Z droppedAtEdge = 0;
        Z square = 0;
        if (run) {
            const T r = (dzr * run->ar - dzi * run->ai) + (dcr * run->br - dci * run->bi);
            const T i = (dzr * run->ai + dzi * run->ar) + (dcr * run->bi + dci * run->br);
            dzr = r;
            dzi = i;
            if constexpr (kEstimated)
                widening = S(run->aNorm * run->aNorm);
            if constexpr (kTracked) {
                const Z dz = std::sqrt(Z(ToLong(dzNorm)));
                growth = run->aNorm;
                dropped = (run->dzz * dz + 2 * run->dzc * dcNorm) * dz + run->dcc * dcNorm * dcNorm;
                if (carried)
                    droppedAtEdge = (run->dzz * edge + 2 * run->dzc * dcNorm) * edge + run->dcc * dcNorm * dcNorm;
            }
        } else {
            // (2Z + dz) dz + dc
            const T tr = Wide<T>(2 * Zr[m]) + dzr;
            const T ti = Wide<T>(2 * Zi[m]) + dzi;
            const T r = (tr * dzr - ti * dzi) + dcr;
            const T i = (tr * dzi + ti * dzr) + dci;
            if constexpr (kTracked)
                growth = 2 * std::sqrt((Zr[m] + dzr) * (Zr[m] + dzr) + (Zi[m] + dzi) * (Zi[m] + dzi));
            if constexpr (kEstimated)
                widening = estimate.PlainWidening();
            if (carried)
                square = disc.Radius() * disc.Radius();
            dzr = r;
            dzi = i;
        }
        m += length;
        n += length;
        const Z zr = Zr[m] + Z(ToLong(dzr));
        const Z zi = Zi[m] + Z(ToLong(dzi));
        const Z zNorm = zr * zr + zi * zi;
        Z excess = zNorm - Z(4);
        const bool near = zNorm > Z(4) - Z(kNearEscape) && zNorm < Z(4) + Z(kNearEscape);
        if (near) [[unlikely]]
            excess = static_cast<Z>(PreciseExcess(orbit.excess[m], Zr[m], Zi[m], dzr, dzi));
        if constexpr (kTracked) {
            error = growth * error + dropped + kShare * (std::fabs(dzr) + std::fabs(dzi));
            if (carried)
                disc.Step(growth, droppedAtEdge, square, kShare * (std::fabs(dzr) + std::fabs(dzi)));
            const Z zError = error + kShare * (std::fabs(Zr[m]) + std::fabs(Zi[m]));
            // The precise excess leaves Z(m)'s rounding out, and adds its own.
            const Z testError =
                near ? error + kShare * (std::fabs(dzr) + std::fabs(dzi)) +
                           Z(kExcessRounding * std::fabs(orbit.excess[m].ToLongDouble()))
                     : zError;
            if (!(zError * zError < Z(kLargestErrorShare) * zNorm) ||
                std::fabs(excess) <= Z(kEscapeMargin) * testError)
                return kUnsure;
        }
        if constexpr (kEstimated) {
            if (!estimate.Step(widening, S(0), S(zNorm), S(excess)))
                return kUnsure;
        }
        if (excess > 0)
            return n;
        if (m == last || NearerToZero(zNorm, Zr[m], Zi[m], dzr, dzi)) {
            if constexpr (kEstimated) {
                if (!estimate.Close())
                    return kUnsure;
                estimate.Add(S(ErrorEstimate::kLongDoubleShare) * S(Zr[m] * Zr[m] + Zi[m] * Zi[m]));
            }
            if constexpr (kTracked)
                error += kShare * (std::fabs(Zr[m]) + std::fabs(Zi[m]));
            dzr = Wide<T>(Zr[m]) + dzr;
            dzi = Wide<T>(Zi[m]) + dzi;
            if constexpr (kTracked)
                error += kShare * (std::fabs(dzr) + std::fabs(dzi));
            if constexpr (kProved) {
                const Z rounding = kShare * (std::fabs(Zr[m]) + std::fabs(Zi[m]) + std::fabs(dzr) + std::fabs(dzi));
                if (disc.Restart(dzr, dzi, error, rounding))
                    return limit;
            }
            m = 0;
            if (cycle.Repeats(dzr, dzi))
                return limit;
        }
    }
    return limit;
}

template <class T>
std::int32_t Count(const ReferenceOrbit& orbit, const BlaTable<T>& bla, T dcr, T dci, std::int32_t limit)
{
    return Iterate<T, Tracking::None>(orbit, bla, dcr, dci, limit);
}

// The careful count, or kUnsure where its estimated error may have moved
// it. The estimate in S: doubles, faster, while the deltas' squares stay
// within their exponents (pixel steps above 2^-300); long doubles past them.
template <class S>
std::int32_t CountIfLikely(const ReferenceOrbit& orbit, const BlaTable<long double>& bla, long double dcr,
                           long double dci, std::int32_t limit)
{
    return Iterate<long double, Tracking::Estimate, S>(orbit, bla, dcr, dci, limit);
}

// The count with the deltas, the orbit and the runs in double-doubles, for
// the pixels CountIfLikely is unsure of, with `bla` by runs, else step by
// step; kUnsure where the estimated error (the roundings, and the runs'
// dropped squares) may have moved the count. Needs the orbit's rests.
inline std::int32_t CountInDoubleDoubles(const ReferenceOrbit& orbit, const BlaTable<DoubleDouble>* bla,
                                         DoubleDouble dcr, DoubleDouble dci, std::int32_t limit)
{
    const std::int32_t last = orbit.Last();
    const double dcNorm = std::hypot(dcr.hi, dci.hi);
    ErrorEstimate estimate;
    DoubleDouble dzr, dzi;
    std::int32_t m = 0;
    std::int32_t n = 0;
    RestartCycle<DoubleDouble> cycle(DoubleDouble {std::numeric_limits<double>::quiet_NaN(), 0.0});
    while (n < limit) {
        const double dzNorm = dzr.hi * dzr.hi + dzi.hi * dzi.hi;
        estimate.Add(ErrorEstimate::kDoubleDoubleShare * dzNorm);
        std::int32_t length = 1;
        const BlaStep<DoubleDouble>* run = bla && m > 0 ? bla->Find(m, dzNorm, limit - n, length) : nullptr;
        double widening = estimate.PlainWidening();
        double dropped = 0;
        if (run) {
            const DoubleDouble r = (run->ar * dzr - run->ai * dzi) + (run->br * dcr - run->bi * dci);
            dzi = (run->ar * dzi + run->ai * dzr) + (run->br * dci + run->bi * dcr);
            dzr = r;
            widening = static_cast<double>(run->aNorm * run->aNorm);
            const double dz = std::sqrt(dzNorm);
            dropped = static_cast<double>((run->dzz * dz + 2 * run->dzc * dcNorm) * dz + run->dcc * dcNorm * dcNorm);
        } else {
            const DoubleDouble Zr = orbit.PreciseRe(m);
            const DoubleDouble Zi = orbit.PreciseIm(m);
            // (2Z + dz) dz + dc
            const DoubleDouble tr = (Zr + Zr) + dzr;
            const DoubleDouble ti = (Zi + Zi) + dzi;
            const DoubleDouble r = (tr * dzr - ti * dzi) + dcr;
            dzi = (tr * dzi + ti * dzr) + dci;
            dzr = r;
        }
        m += length;
        n += length;
        const DoubleDouble Zr = orbit.PreciseRe(m);
        const DoubleDouble Zi = orbit.PreciseIm(m);
        const DoubleDouble zr = Zr + dzr;
        const DoubleDouble zi = Zi + dzi;
        const double zNorm = zr.hi * zr.hi + zi.hi * zi.hi;
        // In double-doubles only where doubles could be on the wrong side of 4.
        const bool near = std::fabs(zNorm - 4) < kNearEscape;
        const DoubleDouble excess =
            near ? PreciseExcess(orbit.excess[m], Zr, Zi, dzr, dzi) : DoubleDouble {zNorm - 4, 0.0};
        if (!estimate.Step(widening, dropped * dropped, zNorm, excess.hi))
            return kUnsure;
        if (Exceeds(excess, 0.0))
            return n;
        if (m == last || zNorm < dzr.hi * dzr.hi + dzi.hi * dzi.hi) {
            if (!estimate.Close())
                return kUnsure;
            dzr = zr;
            dzi = zi;
            m = 0;
            if (cycle.Repeats(dzr, dzi))
                return limit;
        }
    }
    return estimate.Close() ? limit : kUnsure;
}

// The count, or kUnsure; for long double or double deltas, whose error fits
// their exponents. Double deltas need orbit.KeepDoubles().
template <class T>
std::int32_t CountIfSure(const ReferenceOrbit& orbit, const BlaTable<T>& bla, T dcr, T dci, std::int32_t limit)
{
    static_assert(!std::is_same_v<T, FloatExp>);
    return Iterate<T, Tracking::Bound>(orbit, bla, dcr, dci, limit);
}
} // namespace Perturbation
