#pragma once
// The runs from each pass of the reference orbit near 0 to the next (as in
// BlaTable) with their coefficients in double-doubles, for the count in
// double-doubles: near a minibrot, where pixels follow its orbit period after
// period, that count then takes a few steps a period instead of thousands.
#include <cstdint>
#include <vector>

#include "BlaTable.h"
#include "DoubleDouble.h"
#include "ReferenceOrbit.h"

struct PreciseRun {
    // dz -> A dz + B dc while |dz|^2 < r2.
    DoubleDouble ar, ai, br, bi;
    double r2;
    std::int32_t length;
};

class PreciseSegments {
public:
    // The squares a run drops stay under this share of the terms it keeps:
    // 2^16 under the long doubles' rounding, which a pass to the next
    // (thousands of steps) multiplies by its length.
    static constexpr double kEpsilon = 0x1p-80;

    // `radii`: the runs from pass to pass built with kEpsilon, whose radii and
    // lengths these keep. The orbit needs its rests.
    void Build(const ReferenceOrbit& orbit, const BlaTable<long double>& radii);

    // The run from `m` valid for `dzNorm` and at most `most` steps long; null if none.
    const PreciseRun* Find(std::int32_t m, double dzNorm, std::int32_t most) const
    {
        const std::int32_t run = m < static_cast<std::int32_t>(m_from.size()) ? m_from[m] : -1;
        if (run < 0 || m_runs[run].length > most || !(dzNorm < m_runs[run].r2))
            return nullptr;
        return &m_runs[run];
    }

private:
    // Indices into m_runs by starting m, -1 where none starts.
    std::vector<std::int32_t> m_from;
    std::vector<PreciseRun> m_runs;
};

// Z(m) in double-doubles, from the orbit's long double and its rest.
inline DoubleDouble OrbitAt(const std::vector<long double>& kept, const std::vector<double>& rests, std::int32_t m)
{
    const auto hi = static_cast<double>(kept[m]);
    return DoubleDoubleExact::QuickTwoSum(hi, static_cast<double>((kept[m] - hi) + rests[m]));
}

inline void PreciseSegments::Build(const ReferenceOrbit& orbit, const BlaTable<long double>& radii)
{
    const std::int32_t last = orbit.Last();
    m_from.assign(static_cast<std::size_t>(last) + 1, -1);
    m_runs.clear();
    for (std::int32_t m = 1; m < last; ++m) {
        std::int32_t length = 0;
        const BlaStep<long double>* segment = radii.SegmentFrom(m, length);
        if (!segment)
            continue;
        // Single steps dz -> 2 Z(k) dz + dc, composed.
        PreciseRun run {{}, {}, {1.0, 0.0}, {}, static_cast<double>(segment->r2), length};
        for (std::int32_t k = m; k < m + length; ++k) {
            const DoubleDouble zr = OrbitAt(orbit.re, orbit.reRest, k);
            const DoubleDouble zi = OrbitAt(orbit.im, orbit.imRest, k);
            const DoubleDouble twoR {2 * zr.hi, 2 * zr.lo};
            const DoubleDouble twoI {2 * zi.hi, 2 * zi.lo};
            if (k == m) {
                run.ar = twoR;
                run.ai = twoI;
                continue;
            }
            const DoubleDouble ar = twoR * run.ar - twoI * run.ai;
            run.ai = twoR * run.ai + twoI * run.ar;
            run.ar = ar;
            const DoubleDouble br = (twoR * run.br - twoI * run.bi) + DoubleDouble {1.0, 0.0};
            run.bi = twoR * run.bi + twoI * run.br;
            run.br = br;
        }
        m_from[m] = static_cast<std::int32_t>(m_runs.size());
        m_runs.push_back(run);
    }
}
