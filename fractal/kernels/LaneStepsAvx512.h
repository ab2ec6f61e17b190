#pragma once
// Building blocks shared by the AVX-512 code: eight pixels per vector and
// mask registers for the lanes still counting, compiled for AVX-512 function
// by function like the AVX2 ones.
#include <immintrin.h>

#include <cstdint>

#include "ScalarKernel.h"
#include "InteriorRegion.h"

// GCC 12's AVX-512 intrinsics start some results from an undefined vector
// and then warn about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define NIVO_AVX512 __attribute__((target("avx512f,avx512dq")))
#define NIVO_AVX512_INLINE __attribute__((target("avx512f,avx512dq"), always_inline)) inline

namespace LaneStepsAvx512 {

// Eight orbits. n counts the escape tests passed; z is the point after n
// steps, not yet tested; a lane stops counting at its first failed test.
struct Orbit {
    __m512d re, im;
    __m512i n;
    __mmask8 alive;
};

// The next point, from the current one and its squared parts. `fused`
// doubles re*im and adds cy in one multiply-add: the doubling is exact, so
// the bits are the same, but the work moves from the adders to the
// multipliers. Where they are separate pipes (AMD), vectors stepped together
// mix the two forms to keep both busy.
NIVO_AVX512_INLINE void Advance(Orbit& o, __m512d rr, __m512d ii, __m512d cx, __m512d cy, bool fused)
{
    const __m512d reIm = _mm512_mul_pd(o.im, o.re);
    const __m512d two = _mm512_set1_pd(2.0);
    o.im = fused ? _mm512_fmadd_pd(reIm, two, cy) : _mm512_add_pd(_mm512_mul_pd(reIm, two), cy);
    o.re = _mm512_add_pd(_mm512_sub_pd(rr, ii), cx);
}

// The escape test of the current point, then the next point, with the
// operations and order of LiteralEscapeCount (the test without its square root);
// n is left to the caller.
NIVO_AVX512_INLINE void TestAndStep(Orbit& o, __m512d cx, __m512d cy, bool fused)
{
    const __m512d rr = _mm512_mul_pd(o.re, o.re);
    const __m512d ii = _mm512_mul_pd(o.im, o.im);
    o.alive = _mm512_mask_cmp_pd_mask(o.alive, _mm512_add_pd(rr, ii), _mm512_set1_pd(ScalarKernel::kEscapeBound),
                                      _CMP_LE_OQ);
    Advance(o, rr, ii, cx, cy, fused);
}

// The step alone, untested.
NIVO_AVX512_INLINE void StepWithoutTest(Orbit& o, __m512d cx, __m512d cy, bool fused)
{
    Advance(o, _mm512_mul_pd(o.re, o.re), _mm512_mul_pd(o.im, o.im), cx, cy, fused);
}

// The lanes of `lanes` whose x^2 + y^2, as the escape test rounds it, is not
// at most `bound` (NaN included).
NIVO_AVX512_INLINE __mmask8 Beyond(__mmask8 lanes, __m512d x, __m512d y, double bound)
{
    return _mm512_mask_cmp_pd_mask(lanes, _mm512_add_pd(_mm512_mul_pd(x, x), _mm512_mul_pd(y, y)),
                                   _mm512_set1_pd(bound), _CMP_NLE_UQ);
}

// Stores a mask straight from its mask register: left to itself, GCC gathers
// a step's masks in a general register first, at the cost of a vector
// instruction each.
NIVO_AVX512_INLINE void StoreMask(__mmask8* to, __mmask8 mask) { __asm__("kmovb %1, %0" : "=m"(*to) : "k"(mask)); }

// For each lane, how many of the masks passed[0..steps) have its bit set,
// steps <= 64; the bytes from steps up to the next multiple of eight are zero.
NIVO_AVX512_INLINE __m512i CountPassed(const __mmask8* passed, int steps)
{
    const __m512i lane = _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512i lowBits = _mm512_set1_epi64(0x0101010101010101);
    // Eight masks make a word, byte k the mask of step k: lane l keeps bit l
    // of each byte. A byte sums at most eight bits, so no carry crosses bytes.
    __m512i perByte = _mm512_setzero_si512();
    for (int k = 0; k < steps; k += 8) {
        std::int64_t word;
        __builtin_memcpy(&word, passed + k, sizeof word);
        perByte = _mm512_add_epi64(perByte, _mm512_and_si512(_mm512_srlv_epi64(_mm512_set1_epi64(word), lane), lowBits));
    }
    // The top byte of the product sums the eight bytes (at most 64).
    return _mm512_srli_epi64(_mm512_mullo_epi64(perByte, lowBits), 56);
}

// InteriorRegion::Contains for eight points, with the same operations.
NIVO_AVX512_INLINE __mmask8 Interior(__m512d x, __m512d y)
{
    using namespace InteriorRegion;
    const __m512d dx = _mm512_add_pd(x, _mm512_set1_pd(1.0));
    const __mmask8 bulb = _mm512_cmp_pd_mask(_mm512_add_pd(_mm512_mul_pd(dx, dx), _mm512_mul_pd(y, y)),
                                             _mm512_set1_pd(kBulbBound), _CMP_LE_OQ);
    __mmask8 box = _mm512_cmp_pd_mask(x, _mm512_set1_pd(kBoxLeft), _CMP_GT_OQ);
    box = _mm512_mask_cmp_pd_mask(box, x, _mm512_set1_pd(kBoxRight), _CMP_LT_OQ);
    box = _mm512_mask_cmp_pd_mask(box, y, _mm512_set1_pd(-kBoxHalfHeight), _CMP_GT_OQ);
    box = _mm512_mask_cmp_pd_mask(box, y, _mm512_set1_pd(kBoxHalfHeight), _CMP_LT_OQ);
    if (box == 0)
        return bulb;
    const __m512d a = _mm512_sub_pd(_mm512_set1_pd(1.0), _mm512_mul_pd(_mm512_set1_pd(4.0), x));
    const __m512d b = _mm512_mul_pd(_mm512_set1_pd(4.0), y);
    const __m512d half = _mm512_set1_pd(0.5);
    const __m512d modulus = _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(a, a), _mm512_mul_pd(b, b)));
    const __m512d re = _mm512_sqrt_pd(_mm512_mul_pd(_mm512_add_pd(modulus, a), half));
    const __m512d d = _mm512_sub_pd(_mm512_set1_pd(1.0), re);
    const __m512d m2 = _mm512_add_pd(_mm512_mul_pd(d, d), _mm512_mul_pd(_mm512_sub_pd(modulus, a), half));
    return bulb | _mm512_mask_cmp_pd_mask(box, m2, _mm512_set1_pd(kCardioidBound), _CMP_LE_OQ);
}

} // namespace LaneStepsAvx512
