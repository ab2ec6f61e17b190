#include "LaneKernelAvx512.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "LaneStepsAvx512.h"
#include "LaneQueue.h"

namespace LaneKernelAvx512 {
namespace {
using namespace LaneStepsAvx512;

// Six vectors in flight cover the latency of a step's chain of operations.
constexpr int kVectors = 6;
constexpr int kLanes = 8 * kVectors;
// A block runs in chunks of kChunk steps, at most kLongestBlock steps, and
// ends after the chunk in which a quarter of the lanes came to stand idle:
// a finished lane waits for the block's end to take a new pixel.
constexpr int kChunk = 8;
constexpr int kLongestBlock = 64;
constexpr int kIdleLanes = kLanes / 4;
// A refill reads up to eight entries past the queue's cursor.
static_assert(kLanes <= LaneQueue::kMaxWanted && LaneQueue::kPadding >= 8);

// Lane state that the iteration does not touch, kept in memory.
struct LaneBook {
    alignas(64) double cx[kLanes];
    alignas(64) double cy[kLanes];
    alignas(64) double savedRe[kLanes];
    alignas(64) double savedIm[kLanes];
    alignas(64) std::int64_t saveAt[kLanes]; // count at which the next cycle save is due
    alignas(64) std::int64_t index[kLanes];  // buffer entry, -1 when parked
};

// Ends the block for vector v: writes the lanes that escaped, reached the
// limit or came back to a saved point, saves points that are due (Brent's
// cycle detection at doubling counts), and gives the finished lanes the next
// queued pixels, in queue order.
NIVO_AVX512_INLINE void EndBlock(Orbit& o, LaneBook& book, LaneQueue& queue, std::int32_t* out, int v, __m512i limit,
                                 bool start)
{
    double* const savedRe = book.savedRe + 8 * v;
    double* const savedIm = book.savedIm + 8 * v;
    std::int64_t* const saveAt = book.saveAt + 8 * v;
    const __m512d oldRe = _mm512_load_pd(savedRe);
    const __m512d oldIm = _mm512_load_pd(savedIm);
    const __mmask8 cycling = _mm512_mask_cmp_pd_mask(_mm512_mask_cmp_pd_mask(o.alive, o.re, oldRe, _CMP_EQ_OQ), o.im,
                                                     oldIm, _CMP_EQ_OQ);
    const __mmask8 atLimit = _mm512_cmpeq_epi64_mask(o.n, limit);
    const __mmask8 finished = start ? __mmask8(0xFF) : __mmask8(~o.alive | cycling | atLimit);

    const __m512i index = _mm512_load_si512(book.index + 8 * v);
    const __mmask8 writes = _mm512_mask_cmpge_epi64_mask(finished, index, _mm512_setzero_si512());
    const __m256i counts = _mm512_cvtepi64_epi32(_mm512_mask_blend_epi64(cycling, o.n, limit));

    const __mmask8 fresh = finished;
    const __m512i nextSaveAt = _mm512_load_si512(saveAt);
    const __mmask8 due = _mm512_cmpge_epi64_mask(o.n, nextSaveAt);
    const __m512d nan = _mm512_set1_pd(std::numeric_limits<double>::quiet_NaN());
    _mm512_store_pd(savedRe, _mm512_mask_blend_pd(fresh, _mm512_mask_blend_pd(due, oldRe, o.re), nan));
    _mm512_store_pd(savedIm, _mm512_mask_blend_pd(fresh, _mm512_mask_blend_pd(due, oldIm, o.im), nan));
    const __m512i doubled = _mm512_mask_add_epi64(nextSaveAt, due, o.n, o.n);
    _mm512_store_si512(saveAt, _mm512_mask_blend_epi64(fresh, doubled, _mm512_set1_epi64(1)));

    // Expanding loads put the next queued entries on the fresh lanes, in order.
    double* const cx = book.cx + 8 * v;
    double* const cy = book.cy + 8 * v;
    std::int64_t* const entries = book.index + 8 * v;
    _mm512_store_pd(cx, _mm512_mask_expandloadu_pd(_mm512_load_pd(cx), fresh, queue.X()));
    _mm512_store_pd(cy, _mm512_mask_expandloadu_pd(_mm512_load_pd(cy), fresh, queue.Y()));
    _mm512_store_si512(entries, _mm512_mask_expandloadu_epi64(index, fresh, queue.Index()));
    o.re = _mm512_mask_expandloadu_pd(o.re, fresh, queue.Re());
    o.im = _mm512_mask_expandloadu_pd(o.im, fresh, queue.Im());
    o.n = _mm512_mask_expandloadu_epi64(o.n, fresh, queue.Count());
    o.alive = o.alive | fresh;
    queue.Consume(std::popcount(static_cast<unsigned>(fresh)));
    // The scatter comes last: loads after it waited for its addresses (2 to 5 %
    // of the lanes' time on Zen 4).
    _mm512_mask_i64scatter_epi32(out, writes, index, counts, 4);
}

NIVO_AVX512 void Iterate(LaneQueue& queue, std::int32_t* out, std::int32_t maxIterations)
{
    const __m512i limit = _mm512_set1_epi64(maxIterations);
    Orbit o[kVectors];
    LaneBook book {};
#pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v)
        o[v] = {_mm512_setzero_pd(), _mm512_setzero_pd(), _mm512_setzero_si512(), 0};
    for (int i = 0; i < kLanes; ++i)
        book.index[i] = -1;
    bool start = true;
    for (;;) {
        queue.TopUp(kLanes);
        __m512i oldest = _mm512_set1_epi64(static_cast<std::int64_t>(LaneQueue::kParked));
        __m512i highest = _mm512_setzero_si512();
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            EndBlock(o[v], book, queue, out, v, limit, start);
            oldest = _mm512_min_epu64(oldest, _mm512_load_si512(book.index + 8 * v));
            highest = _mm512_max_epi64(highest, o[v].n);
        }
        start = false;
        const std::uint64_t lowestInLanes = _mm512_reduce_min_epu64(oldest);
        queue.Retire(lowestInLanes);
        if (lowestInLanes == LaneQueue::kParked && queue.Exhausted())
            break;

        const std::int64_t room = maxIterations - _mm512_reduce_max_epi64(highest);
        __m512d cx[kVectors], cy[kVectors];
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            cx[v] = _mm512_load_pd(book.cx + 8 * v);
            cy[v] = _mm512_load_pd(book.cy + 8 * v);
        }
        // The steps go uncounted: each stores its test's mask, and the masks
        // tell the counts at the end.
        alignas(64) __mmask8 passed[kVectors][kLongestBlock];
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v)
            _mm512_store_si512(passed[v], _mm512_setzero_si512());
        int steps = 0;
        for (;;) {
            const int chunk = static_cast<int>(std::min<std::int64_t>(kChunk, room - steps));
            for (int k = 0; k < chunk; ++k) {
#pragma GCC unroll 8
                for (int v = 0; v < kVectors; ++v) {
                    // One vector in three fused: the mix that keeps a tested step's adds
                    // and multiplies in balance on AMD's separate pipes.
                    TestAndStep(o[v], cx[v], cy[v], v % 3 == 2);
                    StoreMask(&passed[v][steps + k], o[v].alive);
                }
            }
            steps += chunk;
            if (steps == kLongestBlock || steps == room)
                break;
            int idle = 0;
#pragma GCC unroll 8
            for (int v = 0; v < kVectors; ++v)
                idle += 8 - std::popcount(static_cast<unsigned>(o[v].alive));
            if (idle >= kIdleLanes)
                break;
        }
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v)
            o[v].n = _mm512_add_epi64(o[v].n, CountPassed(passed[v], steps));
    }
}
} // namespace

bool Supported()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
}

void Run(LaneQueue& queue, std::int32_t* out, std::int32_t maxIterations) { Iterate(queue, out, maxIterations); }
} // namespace LaneKernelAvx512
