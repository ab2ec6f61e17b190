#pragma once
// Bilinear approximations of runs of iterations along a reference orbit:
// while |dz|^2 < r2, 2^k perturbed steps from reference index m are
// dz -> A dz + B dc to the rounding of the numbers (long doubles, or
// double-doubles for double-double deltas). Runs start at
// m = 1 + i * 2^k and stay within the orbit, and others run from each pass
// of the orbit near 0 to the next; the lookup takes the longest one.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "DoubleDouble.h"
#include "FloatExp.h"
#include "ReferenceOrbit.h"

// The numbers runs are composed in: long doubles, double-doubles for double-double deltas.
template <class T>
using Wide = std::conditional_t<std::is_same_v<T, DoubleDouble>, DoubleDouble, long double>;

// Radii, squared: as the deltas, in doubles for double-double deltas.
template <class T>
using Radius = std::conditional_t<std::is_same_v<T, DoubleDouble>, double, T>;

inline long double Modulus(long double x, long double y) { return std::hypot(x, y); }
inline long double Modulus(DoubleDouble x, DoubleDouble y) { return std::hypot(x.hi, y.hi); }

// Coefficients as precise as the deltas they scale: long doubles or doubles, and doubles for FloatExp deltas.
template <class T>
using Coefficient = std::conditional_t<std::is_same_v<T, FloatExp>, double, T>;

// Error bounds in doubles for double deltas, long doubles otherwise.
template <class T>
using Bound = std::conditional_t<std::is_same_v<T, double>, double, long double>;

template <class T>
struct BlaStep {
    Coefficient<T> ar, ai, br, bi;
    Radius<T> r2;
    // |A|: how much the run magnifies an error of dz.
    Bound<T> aNorm;
    // The squares the run drops, carried to its end, are at most
    // dzz |dz|^2 + 2 dzc |dz| |dc| + dcc |dc|^2.
    Bound<T> dzz, dzc, dcc;
};

template <class T>
class BlaTable {
public:
    // `reach`: the largest |dc| of the picture. A run is kept only while the
    // squares it drops stay under `epsilon` of the terms it keeps. Double-double
    // deltas need the orbit's rests.
    void Build(const ReferenceOrbit& orbit, FloatExp reach, double epsilon);

    double Epsilon() const { return m_epsilon; }

    // The longest run from `m` (1 <= m <= the orbit's Last()) valid for `dzNorm` and at most `most` steps long;
    // null if none.
    const BlaStep<T>* Find(std::int32_t m, Radius<T> dzNorm, std::int32_t most, std::int32_t& length) const
    {
        const BlaStep<T>* run = FindAligned(m, dzNorm, most, length);
        const std::int32_t segment = m_segmentFrom[m];
        // Off the way of the plain steps, which pass here at every step.
        if (segment < 0) [[likely]]
            return run;
        const std::int32_t steps = m_segmentLength[segment];
        if (steps > most || (run && steps <= length) || !(dzNorm < m_segments[segment].r2))
            return run;
        length = steps;
        return &m_segments[segment];
    }

private:
    // The longest run of 2^k steps from m = 1 + i * 2^k.
    const BlaStep<T>* FindAligned(std::int32_t m, Radius<T> dzNorm, std::int32_t most, std::int32_t& length) const
    {
        const auto from = static_cast<std::uint32_t>(m - 1);
        int level = from == 0 ? static_cast<int>(m_levels.size()) : std::min<int>(std::countr_zero(from), m_levels.size());
        // A longer run from m starts with the shorter ones, so its radius is no larger:
        // where the shortest fails, all do.
        if (level < 1 || (from >> 1) >= m_levels[0].size() || !(dzNorm < m_levels[0][from >> 1].r2))
            return nullptr;
        for (; level >= 1; --level) {
            const std::vector<BlaStep<T>>& runs = m_levels[level - 1];
            const std::uint32_t index = from >> level;
            if (index >= runs.size() || (std::int32_t(1) << level) > most)
                continue;
            if (dzNorm < runs[index].r2) {
                length = std::int32_t(1) << level;
                return &runs[index];
            }
        }
        return nullptr;
    }

    struct Run {
        Wide<T> ar, ai, br, bi;
        FloatExp r;
        long double dzz = 0.0L, dzc = 0.0L, dcc = 0.0L;
    };

    static Run Merge(const Run& x, const Run& y, FloatExp reach);
    static void AddDropped(const Run& x, const Run& y, Run& z);
    static BlaStep<T> StepOf(const Run& run);
    void Keep(const std::vector<Run>& runs);
    void BuildSegments(const ReferenceOrbit& orbit, const std::vector<Run>& single, FloatExp reach);

    std::vector<std::vector<BlaStep<T>>> m_levels;
    // The runs between the orbit's passes near 0, where pixels take plain
    // steps: from m = 1 and from each pass + 1 up to the next pass.
    std::vector<std::int32_t> m_segmentFrom;
    std::vector<BlaStep<T>> m_segments;
    std::vector<std::int32_t> m_segmentLength;
    double m_epsilon = 0.0;
};

// Coefficients past this are left unused: products of them would leave the doubles.
constexpr double kLargestCoefficient = 1e150;
// Where |Z| is under this the orbit passes near 0: runs through there are
// valid only for the smallest deltas.
constexpr long double kPassModulus = 0x1p-10L;

template <class T>
typename BlaTable<T>::Run BlaTable<T>::Merge(const Run& x, const Run& y, FloatExp reach)
{
    // x first, then y.
    Run z {y.ar * x.ar - y.ai * x.ai, y.ar * x.ai + y.ai * x.ar, (y.ar * x.br - y.ai * x.bi) + y.br,
           (y.ar * x.bi + y.ai * x.br) + y.bi, FloatExp()};
    const auto aNorm = static_cast<double>(Modulus(x.ar, x.ai));
    const auto bNorm = static_cast<double>(Modulus(x.br, x.bi));
    AddDropped(x, y, z);
    if (!(aNorm > 0.0) || !(Modulus(z.ar, z.ai) < kLargestCoefficient) ||
        !(Modulus(z.br, z.bi) < kLargestCoefficient))
        return {{0.0}, {0.0}, {0.0}, {0.0}, FloatExp()};
    // Valid for x, and x's result A dz + B dc stays within y's radius.
    const FloatExp left = y.r - reach * bNorm;
    if (left.m <= 0.0)
        return z;
    const FloatExp through = left * (1.0 / aNorm);
    z.r = through < x.r ? through : x.r;
    return z;
}

// x's dropped squares grow by |A_y|; y's start from dz A_x + dc B_x.
template <class T>
void BlaTable<T>::AddDropped(const Run& x, const Run& y, Run& z)
{
    const long double ax = Modulus(x.ar, x.ai), bx = Modulus(x.br, x.bi), ay = Modulus(y.ar, y.ai);
    z.dzz = ay * x.dzz + y.dzz * ax * ax;
    z.dzc = ay * x.dzc + y.dzz * ax * bx + y.dzc * ax;
    z.dcc = ay * x.dcc + y.dzz * bx * bx + 2 * y.dzc * bx + y.dcc;
}

template <class T>
BlaStep<T> BlaTable<T>::StepOf(const Run& run)
{
    const FloatExp r2 = run.r * run.r;
    using C = Coefficient<T>;
    const auto ar = static_cast<C>(run.ar), ai = static_cast<C>(run.ai);
    const auto br = static_cast<C>(run.br), bi = static_cast<C>(run.bi);
    const long double aNorm = Modulus(run.ar, run.ai);
    if constexpr (std::is_same_v<T, DoubleDouble>) {
        return {ar, ai, br, bi, static_cast<double>(r2.ToLongDouble()), aNorm, run.dzz, run.dzc, run.dcc};
    } else if constexpr (std::is_same_v<T, double>) {
        // Bounds rounded up to doubles.
        constexpr long double kUp = 1.0L + 0x1p-50L;
        return {ar, ai, br, bi, static_cast<double>(r2.ToLongDouble()), static_cast<double>(aNorm * kUp),
                static_cast<double>(run.dzz * kUp), static_cast<double>(run.dzc * kUp), static_cast<double>(run.dcc * kUp)};
    } else if constexpr (std::is_same_v<T, long double>) {
        return {ar, ai, br, bi, r2.ToLongDouble(), aNorm, run.dzz, run.dzc, run.dcc};
    } else {
        return {ar, ai, br, bi, r2, aNorm, run.dzz, run.dzc, run.dcc};
    }
}

template <class T>
void BlaTable<T>::Keep(const std::vector<Run>& runs)
{
    std::vector<BlaStep<T>>& kept = m_levels.emplace_back();
    kept.reserve(runs.size());
    for (const Run& run : runs)
        kept.push_back(StepOf(run));
}

// Pixels whose deltas are too large to run through a pass near 0 take it
// as a plain step, then climb the aligned runs again; a segment takes them
// from there to the next pass at once.
template <class T>
void BlaTable<T>::BuildSegments(const ReferenceOrbit& orbit, const std::vector<Run>& single, FloatExp reach)
{
    const std::int32_t last = orbit.Last();
    m_segmentFrom.assign(static_cast<std::size_t>(last) + 1, -1);
    std::int32_t from = 1;
    for (std::int32_t m = 1; m <= last; ++m) {
        const bool pass = m == last || std::hypot(orbit.re[m], orbit.im[m]) < kPassModulus;
        if (!pass)
            continue;
        // single[k] is the step from k + 1.
        if (m - from >= 2) {
            Run run = single[from - 1];
            for (std::int32_t k = from + 1; k < m; ++k)
                run = Merge(run, single[k - 1], reach);
            m_segmentFrom[from] = static_cast<std::int32_t>(m_segments.size());
            m_segments.push_back(StepOf(run));
            m_segmentLength.push_back(m - from);
        }
        from = m + 1;
    }
}

template <class T>
void BlaTable<T>::Build(const ReferenceOrbit& orbit, FloatExp reach, double epsilon)
{
    m_levels.clear();
    m_segmentFrom.clear();
    m_segments.clear();
    m_segmentLength.clear();
    m_epsilon = epsilon;
    // Single steps 1 .. Last() - 1: dz -> 2 Z dz + dc, dropping dz^2.
    const std::int32_t last = orbit.Last();
    std::vector<Run> runs;
    for (std::int32_t m = 1; m < last; ++m) {
        Wide<T> re, im;
        if constexpr (std::is_same_v<T, DoubleDouble>) {
            re = orbit.PreciseRe(m);
            im = orbit.PreciseIm(m);
        } else {
            re = orbit.re[m];
            im = orbit.im[m];
        }
        // It drops dz^2 exactly. No escape is tested within a run: a step
        // takes only deltas that keep |Z + dz| well under 2.
        const auto modulus = static_cast<double>(Modulus(re, im));
        const FloatExp radius(std::max(0.0, std::min(epsilon * modulus, 0.5 * (2.0 - modulus))));
        runs.push_back({re + re, im + im, {1.0}, {0.0}, radius, 1.0L});
    }
    BuildSegments(orbit, runs, reach);
    while (runs.size() >= 2) {
        std::vector<Run> longer;
        longer.reserve(runs.size() / 2);
        for (std::size_t i = 0; i + 1 < runs.size(); i += 2)
            longer.push_back(Merge(runs[i], runs[i + 1], reach));
        runs.swap(longer);
        Keep(runs);
    }
}
