#include "EscapeColumn.h"

#include <immintrin.h>

#include <atomic>

#include "FastEscape.h"

namespace {
std::atomic<bool> g_vectorAllowed {true};

void ScalarColumn(double x, const double* ys, std::int64_t rows, std::int32_t maxIterations, std::int32_t* out)
{
    for (std::int64_t r = 0; r < rows; ++r)
        out[r] = FastEscapeCount(x, ys[r], maxIterations);
}

// Four rows at a time, one per lane. A lane whose point is decided takes the
// next row at once, so that no lane idles while its neighbours still iterate.
// Each lane performs exactly the operations of FastEscapeCount, in its order.
__attribute__((target("avx2"))) void VectorColumn(double x, const double* ys, std::int64_t rows,
                                                  std::int32_t maxIterations, std::int32_t* out)
{
    constexpr int kLanes = 4;
    alignas(32) double re[kLanes], im[kLanes], re2[kLanes], im2[kLanes], y[kLanes], n[kLanes], savedRe[kLanes],
        savedIm[kLanes], nextSave[kLanes];
    std::int64_t row[kLanes];
    std::int64_t next = 0;
    int active = 0;
    int activeMask = 0;
    auto load = [&](int lane) {
        if (next < rows) {
            row[lane] = next;
            y[lane] = ys[next++];
            re[lane] = im[lane] = re2[lane] = im2[lane] = savedRe[lane] = savedIm[lane] = 0.0;
            n[lane] = 0.0;
            nextSave[lane] = 8.0;
            ++active;
            activeMask |= 1 << lane;
        } else {
            // An idle lane goes on iterating, but nobody waits for it.
            row[lane] = -1;
            y[lane] = 0.0;
            re[lane] = im[lane] = re2[lane] = im2[lane] = 0.0;
            savedRe[lane] = savedIm[lane] = 1e300;
            n[lane] = 0.0;
            nextSave[lane] = 8.0;
            activeMask &= ~(1 << lane);
        }
    };
    for (int lane = 0; lane < kLanes; ++lane)
        load(lane);
    if (maxIterations <= 0) {
        for (std::int64_t r = 0; r < rows; ++r)
            out[r] = 0;
        return;
    }
    const __m256d vx = _mm256_set1_pd(x);
    const __m256d threshold = _mm256_set1_pd(kEscapeThreshold);
    const __m256d limit = _mm256_set1_pd(double(maxIterations));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d two = _mm256_set1_pd(2.0);
    while (active > 0) {
        __m256d vre = _mm256_load_pd(re), vim = _mm256_load_pd(im), vre2 = _mm256_load_pd(re2),
                vim2 = _mm256_load_pd(im2), vy = _mm256_load_pd(y), vn = _mm256_load_pd(n),
                vsr = _mm256_load_pd(savedRe), vsi = _mm256_load_pd(savedIm), vnext = _mm256_load_pd(nextSave);
        int finished = 0;
        __m256d escaped, periodic, exhausted;
        do {
            vn = _mm256_add_pd(vn, one);
            const __m256d t = _mm256_mul_pd(_mm256_mul_pd(vim, vre), two);
            vre = _mm256_add_pd(_mm256_sub_pd(vre2, vim2), vx);
            vim = _mm256_add_pd(t, vy);
            vre2 = _mm256_mul_pd(vre, vre);
            vim2 = _mm256_mul_pd(vim, vim);
            escaped = _mm256_cmp_pd(_mm256_add_pd(vre2, vim2), threshold, _CMP_NLE_UQ);
            periodic = _mm256_and_pd(_mm256_cmp_pd(vre, vsr, _CMP_EQ_OQ), _mm256_cmp_pd(vim, vsi, _CMP_EQ_OQ));
            exhausted = _mm256_cmp_pd(vn, limit, _CMP_GE_OQ);
            const __m256d save = _mm256_cmp_pd(vn, vnext, _CMP_EQ_OQ);
            vsr = _mm256_blendv_pd(vsr, vre, save);
            vsi = _mm256_blendv_pd(vsi, vim, save);
            vnext = _mm256_blendv_pd(vnext, _mm256_add_pd(vnext, vnext), save);
            finished = _mm256_movemask_pd(_mm256_or_pd(_mm256_or_pd(escaped, periodic), exhausted)) & activeMask;
        } while (!finished);
        _mm256_store_pd(re, vre);
        _mm256_store_pd(im, vim);
        _mm256_store_pd(re2, vre2);
        _mm256_store_pd(im2, vim2);
        _mm256_store_pd(n, vn);
        _mm256_store_pd(savedRe, vsr);
        _mm256_store_pd(savedIm, vsi);
        _mm256_store_pd(nextSave, vnext);
        const int escapedMask = _mm256_movemask_pd(escaped);
        const int periodicMask = _mm256_movemask_pd(periodic);
        for (int lane = 0; lane < kLanes; ++lane) {
            if (!(finished & (1 << lane)))
                continue;
            // Escape is tested first, then the cycle, then the limit, as in the plain loop.
            const bool escapedHere = escapedMask & (1 << lane);
            const bool periodicHere = periodicMask & (1 << lane);
            out[row[lane]] = escapedHere || !periodicHere ? std::int32_t(n[lane]) : maxIterations;
            --active;
            load(lane);
        }
    }
}
} // namespace

bool VectorEscapeAvailable()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void SetVectorEscapeAllowed(bool allowed) { g_vectorAllowed = allowed; }

void EscapeColumn(double x, const double* ys, std::int64_t rows, std::int32_t maxIterations, std::int32_t* out)
{
    if (g_vectorAllowed && VectorEscapeAvailable() && rows >= 4)
        VectorColumn(x, ys, rows, maxIterations, out);
    else
        ScalarColumn(x, ys, rows, maxIterations, out);
}
