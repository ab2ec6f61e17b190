#pragma once
// Building blocks shared by the AVX2 code: four pixels per vector, compiled
// for AVX2 function by function so that the rest of the program runs on any
// x86-64 processor.
#include <immintrin.h>

#include <cstdint>

#include "ScalarKernel.h"
#include "InteriorRegion.h"

#define NIVO_AVX2 __attribute__((target("avx2")))
#define NIVO_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace LaneStepsAvx2 {

// For each set of lanes (4 bits): the lanes as a mask, the permutation that
// spreads entries 0, 1, .. onto the set lanes in order, and the one that packs
// the set lanes into entries 0, 1, ..
struct Tables {
    alignas(32) std::int64_t mask[16][4];
    alignas(32) std::int32_t spread[16][8];
    alignas(32) std::int32_t pack[16][8];
};

constexpr Tables MakeTables()
{
    Tables t {};
    for (int m = 0; m < 16; ++m) {
        int rank = 0;
        for (int l = 0; l < 4; ++l) {
            const bool in = (m >> l) & 1;
            t.mask[m][l] = in ? -1 : 0;
            t.spread[m][2 * l] = 2 * rank;
            t.spread[m][2 * l + 1] = 2 * rank + 1;
            if (in) {
                t.pack[m][2 * rank] = 2 * l;
                t.pack[m][2 * rank + 1] = 2 * l + 1;
            }
            rank += in;
        }
    }
    return t;
}
inline constexpr Tables kTables = MakeTables();

NIVO_AVX2_INLINE __m256d Mask(unsigned lanes)
{
    return _mm256_load_pd(reinterpret_cast<const double*>(kTables.mask[lanes]));
}
NIVO_AVX2_INLINE __m256i Spread(unsigned lanes)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kTables.spread[lanes]));
}
NIVO_AVX2_INLINE __m256i Pack(unsigned lanes)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kTables.pack[lanes]));
}
// Moves 64-bit lanes by a Spread or Pack order.
NIVO_AVX2_INLINE __m256d Permute(__m256d v, __m256i order)
{
    return _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(v), order));
}
NIVO_AVX2_INLINE __m256i Permute(__m256i v, __m256i order) { return _mm256_permutevar8x32_epi32(v, order); }

// Orbits of four pixels. n counts the escape tests passed; z is the point
// after n steps, not yet tested; a lane stops counting at its first failed test.
struct Orbit {
    __m256d re, im, alive;
    __m256i n;
};

// The next point, from the current one and its squared parts.
NIVO_AVX2_INLINE void Advance(Orbit& o, __m256d rr, __m256d ii, __m256d cx, __m256d cy)
{
    const __m256d t = _mm256_mul_pd(_mm256_mul_pd(o.im, o.re), _mm256_set1_pd(2.0));
    o.re = _mm256_add_pd(_mm256_sub_pd(rr, ii), cx);
    o.im = _mm256_add_pd(t, cy);
}

// The escape test of the current point, then the next point, with the
// operations and order of LiteralEscapeCount (the test without its square root).
NIVO_AVX2_INLINE void Step(Orbit& o, __m256d cx, __m256d cy)
{
    const __m256d rr = _mm256_mul_pd(o.re, o.re);
    const __m256d ii = _mm256_mul_pd(o.im, o.im);
    o.alive = _mm256_and_pd(o.alive, _mm256_cmp_pd(_mm256_add_pd(rr, ii), _mm256_set1_pd(ScalarKernel::kEscapeBound),
                                                   _CMP_LE_OQ));
    o.n = _mm256_sub_epi64(o.n, _mm256_castpd_si256(o.alive));
    Advance(o, rr, ii, cx, cy);
}

// The step alone, untested and uncounted.
NIVO_AVX2_INLINE void StepWithoutTest(Orbit& o, __m256d cx, __m256d cy)
{
    Advance(o, _mm256_mul_pd(o.re, o.re), _mm256_mul_pd(o.im, o.im), cx, cy);
}

// The lanes (4 bits) whose x^2 + y^2, as the escape test rounds it, is not at
// most `bound` (NaN included).
NIVO_AVX2_INLINE unsigned Beyond(__m256d x, __m256d y, double bound)
{
    const __m256d squared = _mm256_add_pd(_mm256_mul_pd(x, x), _mm256_mul_pd(y, y));
    return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(squared, _mm256_set1_pd(bound), _CMP_NLE_UQ)));
}

// InteriorRegion::Contains for four points, with the same operations.
NIVO_AVX2_INLINE __m256d Interior(__m256d x, __m256d y)
{
    using namespace InteriorRegion;
    const __m256d dx = _mm256_add_pd(x, _mm256_set1_pd(1.0));
    const __m256d bulb = _mm256_cmp_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(y, y)),
                                       _mm256_set1_pd(kBulbBound), _CMP_LE_OQ);
    const __m256d box = _mm256_and_pd(
        _mm256_and_pd(_mm256_cmp_pd(x, _mm256_set1_pd(kBoxLeft), _CMP_GT_OQ),
                      _mm256_cmp_pd(x, _mm256_set1_pd(kBoxRight), _CMP_LT_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(y, _mm256_set1_pd(-kBoxHalfHeight), _CMP_GT_OQ),
                      _mm256_cmp_pd(y, _mm256_set1_pd(kBoxHalfHeight), _CMP_LT_OQ)));
    if (_mm256_movemask_pd(box) == 0)
        return bulb;
    const __m256d a = _mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(_mm256_set1_pd(4.0), x));
    const __m256d b = _mm256_mul_pd(_mm256_set1_pd(4.0), y);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d modulus = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(a, a), _mm256_mul_pd(b, b)));
    const __m256d re = _mm256_sqrt_pd(_mm256_mul_pd(_mm256_add_pd(modulus, a), half));
    const __m256d d = _mm256_sub_pd(_mm256_set1_pd(1.0), re);
    const __m256d m2 = _mm256_add_pd(_mm256_mul_pd(d, d), _mm256_mul_pd(_mm256_sub_pd(modulus, a), half));
    const __m256d cardioid = _mm256_and_pd(box, _mm256_cmp_pd(m2, _mm256_set1_pd(kCardioidBound), _CMP_LE_OQ));
    return _mm256_or_pd(cardioid, bulb);
}

} // namespace LaneStepsAvx2
