#include "LaneKernelAvx2.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "LaneStepsAvx2.h"
#include "LaneQueue.h"

namespace LaneKernelAvx2 {
namespace {
using namespace LaneStepsAvx2;

constexpr int kVectors = 4;
constexpr int kLanes = 4 * kVectors;
// As on AVX-512: a block ends after the chunk in which a quarter of the lanes
// came to stand idle, or at kLongestBlock steps.
constexpr int kChunk = 8;
constexpr int kLongestBlock = 64;
constexpr int kIdleLanes = kLanes / 4;
static_assert(kLanes <= LaneQueue::kMaxWanted && kLanes <= 64);

// Lane state that the iteration does not touch, kept in memory.
struct LaneBook {
    alignas(32) double cx[kLanes];
    alignas(32) double cy[kLanes];
    alignas(32) double savedRe[kLanes];
    alignas(32) double savedIm[kLanes];
    alignas(32) std::int64_t saveAt[kLanes]; // count at which the next cycle save is due
    alignas(32) std::int64_t index[kLanes];  // buffer entry, -1 when parked
    alignas(32) std::int32_t* entry[4];
    alignas(32) std::int32_t result[8];
    std::int32_t trash = 0;
};

NIVO_AVX2_INLINE __m256d Take(const double* entries, __m256i order)
{
    return Permute(_mm256_loadu_pd(entries), order);
}
NIVO_AVX2_INLINE __m256i Take(const std::int64_t* entries, __m256i order)
{
    return Permute(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries)), order);
}

// Branch-free: lanes that write nothing write into the trash.
NIVO_AVX2_INLINE void WriteResults(LaneBook& book, std::int32_t* out, int v, __m256i finished, __m256i counts)
{
    const __m256i index = _mm256_load_si256(reinterpret_cast<const __m256i*>(book.index + 4 * v));
    const __m256i parked = _mm256_cmpgt_epi64(_mm256_setzero_si256(), index);
    const __m256i writes = _mm256_andnot_si256(parked, finished);
    const __m256i entry = _mm256_add_epi64(_mm256_set1_epi64x(reinterpret_cast<std::intptr_t>(out)),
                                           _mm256_slli_epi64(index, 2));
    const __m256i trash = _mm256_set1_epi64x(reinterpret_cast<std::intptr_t>(&book.trash));
    _mm256_store_si256(reinterpret_cast<__m256i*>(book.entry), _mm256_blendv_epi8(trash, entry, writes));
    // The low halves of the 64-bit counts.
    _mm256_store_si256(reinterpret_cast<__m256i*>(book.result),
                       _mm256_permutevar8x32_epi32(counts, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
    for (int l = 0; l < 4; ++l)
        *book.entry[l] = book.result[l];
}

// Ends the block for vector v: writes the lanes that escaped, reached the
// limit or came back to a saved point, saves points that are due (Brent's
// cycle detection at doubling counts), and gives the finished lanes the next
// queued pixels.
NIVO_AVX2_INLINE void EndBlock(Orbit& o, LaneBook& book, LaneQueue& queue, std::int32_t* out, int v, __m256i limit,
                               bool start)
{
    const __m256i ones = _mm256_set1_epi64x(-1);
    const __m256d nan = _mm256_set1_pd(std::numeric_limits<double>::quiet_NaN());
    double* const savedRe = book.savedRe + 4 * v;
    double* const savedIm = book.savedIm + 4 * v;
    __m256i* const saveAt = reinterpret_cast<__m256i*>(book.saveAt + 4 * v);

    const __m256d oldRe = _mm256_load_pd(savedRe);
    const __m256d oldIm = _mm256_load_pd(savedIm);
    const __m256i alive = _mm256_castpd_si256(o.alive);
    const __m256i cycling = _mm256_castpd_si256(_mm256_and_pd(
        o.alive, _mm256_and_pd(_mm256_cmp_pd(o.re, oldRe, _CMP_EQ_OQ), _mm256_cmp_pd(o.im, oldIm, _CMP_EQ_OQ))));
    const __m256i atLimit = _mm256_cmpeq_epi64(o.n, limit);
    __m256i finished = _mm256_or_si256(_mm256_xor_si256(alive, ones), _mm256_or_si256(cycling, atLimit));
    if (start)
        finished = ones;
    WriteResults(book, out, v, finished, _mm256_blendv_epi8(o.n, limit, cycling));

    const unsigned lanes = static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(finished)));
    const __m256d fresh = Mask(lanes);
    const __m256i order = Spread(lanes);
    const __m256i nextSaveAt = _mm256_load_si256(saveAt);
    const __m256d due = _mm256_castsi256_pd(_mm256_andnot_si256(_mm256_cmpgt_epi64(nextSaveAt, o.n), ones));
    _mm256_store_pd(savedRe, _mm256_blendv_pd(_mm256_blendv_pd(oldRe, o.re, due), nan, fresh));
    _mm256_store_pd(savedIm, _mm256_blendv_pd(_mm256_blendv_pd(oldIm, o.im, due), nan, fresh));
    const __m256i doubled = _mm256_blendv_epi8(nextSaveAt, _mm256_add_epi64(o.n, o.n), _mm256_castpd_si256(due));
    _mm256_store_si256(saveAt, _mm256_blendv_epi8(doubled, _mm256_set1_epi64x(1), _mm256_castpd_si256(fresh)));

    double* const cx = book.cx + 4 * v;
    double* const cy = book.cy + 4 * v;
    double* const index = reinterpret_cast<double*>(book.index + 4 * v);
    _mm256_store_pd(cx, _mm256_blendv_pd(_mm256_load_pd(cx), Take(queue.X(), order), fresh));
    _mm256_store_pd(cy, _mm256_blendv_pd(_mm256_load_pd(cy), Take(queue.Y(), order), fresh));
    _mm256_store_pd(index, _mm256_blendv_pd(_mm256_load_pd(index),
                                            Take(reinterpret_cast<const double*>(queue.Index()), order), fresh));
    o.re = _mm256_blendv_pd(o.re, Take(queue.Re(), order), fresh);
    o.im = _mm256_blendv_pd(o.im, Take(queue.Im(), order), fresh);
    o.n = _mm256_blendv_epi8(o.n, Take(queue.Count(), order), _mm256_castpd_si256(fresh));
    o.alive = _mm256_or_pd(o.alive, fresh);
    queue.Consume(std::popcount(lanes));
}

NIVO_AVX2_INLINE __m256i Larger(__m256i a, __m256i b) { return _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi64(b, a)); }

NIVO_AVX2_INLINE std::int64_t Highest(__m256i v)
{
    v = Larger(v, _mm256_permute4x64_epi64(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = Larger(v, _mm256_permute4x64_epi64(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm256_extract_epi64(v, 0);
}

NIVO_AVX2 void Iterate(LaneQueue& queue, std::int32_t* out, std::int32_t maxIterations)
{
    const __m256i limit = _mm256_set1_epi64x(maxIterations);
    Orbit o[kVectors];
    LaneBook book {};
#pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v)
        o[v] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_si256()};
    for (int i = 0; i < kLanes; ++i)
        book.index[i] = -1;
    bool start = true;
    for (;;) {
        queue.TopUp(kLanes);
        __m256i highest = _mm256_setzero_si256();
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            EndBlock(o[v], book, queue, out, v, limit, start);
            highest = Larger(highest, o[v].n);
        }
        start = false;
        std::uint64_t lowestInLanes = LaneQueue::kParked;
        for (const std::int64_t index : book.index)
            lowestInLanes = std::min(lowestInLanes, static_cast<std::uint64_t>(index));
        queue.Retire(lowestInLanes);
        if (lowestInLanes == LaneQueue::kParked && queue.Exhausted())
            break;

        const std::int64_t room = maxIterations - Highest(highest);
        __m256d cx[kVectors], cy[kVectors];
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            cx[v] = _mm256_load_pd(book.cx + 4 * v);
            cy[v] = _mm256_load_pd(book.cy + 4 * v);
        }
        for (int steps = 0; steps < kLongestBlock && steps < room;) {
            const int chunk = static_cast<int>(std::min<std::int64_t>(kChunk, room - steps));
            for (int k = 0; k < chunk; ++k) {
#pragma GCC unroll 8
                for (int v = 0; v < kVectors; ++v)
                    Step(o[v], cx[v], cy[v]);
            }
            steps += chunk;
            int idle = 0;
#pragma GCC unroll 8
            for (int v = 0; v < kVectors; ++v)
                idle += 4 - std::popcount(static_cast<unsigned>(_mm256_movemask_pd(o[v].alive)));
            if (idle >= kIdleLanes)
                break;
        }
    }
}
} // namespace

bool Supported()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

void Run(LaneQueue& queue, std::int32_t* out, std::int32_t maxIterations) { Iterate(queue, out, maxIterations); }
} // namespace LaneKernelAvx2
