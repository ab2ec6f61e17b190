#include "LaneQueue.h"

#include <algorithm>
#include <bit>

#include "LaneStepsAvx2.h"
#include "LaneStepsAvx512.h"
#include "fractal/ColumnScheduler.h"
#include "fractal/SampleGrid.h"

namespace {
// Steps the lockstep takes between two looks at whether a pixel escaped.
// Most pixels far from the set escape within the first of them, without ever
// taking a lane.
constexpr int kLockstep = 8;
// Most steps the lockstep takes while none of its pixels escapes.
// Past it, orbits caught in a cycle are left to the lanes, which detect it.
constexpr int kLongestLockstep = 256;
// Groups of rows (one vector each) stepped together, for instruction-level
// parallelism: four left the steps' latency showing (a fifth made untested
// steps 14 % faster on AVX-512, 5 % on AVX2), a sixth spills.
constexpr int kGroups = 5;
// Most rows one pass of the lockstep takes: five groups of eight, or of four on AVX2.
constexpr int kPassRows = 8 * kGroups;
constexpr int kNarrowPassRows = 4 * kGroups;
// Rows queued at a time: a tall column is queued in slices, so that the
// queue's size does not grow with the picture's height.
constexpr std::int32_t kSliceRows = 4000;
static_assert(kSliceRows % kPassRows == 0 && kSliceRows % kNarrowPassRows == 0, "slices end on whole passes");
// AVX2 passes load their rows whole, the last pass up to its last row.
static_assert(SampleGrid::kReadablePastRows >= kNarrowPassRows - 1, "a pass reads only the grid");

// Every other group takes the fused step (LaneStepsAvx512::Advance), so that
// the multiplying and the adding pipes share the work.
constexpr bool Fused(int group) { return group % 2 == 1; }

// A lockstep chunk may go untested where every c of the pass has |c| < 2: an
// orbit that fails a test is then past |z| = 2 for good (|z'| >= |z|^2 - |c|),
// rounding taking it back by less than 1e-10 in eight steps, so its |z|^2
// after the chunk exceeds this bound. A chunk after which no lane's does saw
// no escape; one after which some lane's does runs again, tested.
constexpr double kUntestedBound = 4.0 - 0x1p-20;
// Two chunks go untested as one, looked at once, where these rows escaped
// further on in the last column. In sixteen steps rounding may take an
// escaped orbit back by up to 4^16 times a step's error (about 2e-5 in
// |z|^2): their bound leaves fifty times that.
constexpr double kUntestedPairBound = 4.0 - 0x1p-10;

// Whether the two chunks from `done` end a chunk or more before these rows'
// escape in the last column. That escape was within the limit and the
// lockstep's longest run, so the pair is too.
bool PairFits(int done, int lastEnd) { return done + 3 * kLockstep <= lastEnd; }

// A chunk's or a pair's untested steps of every group; false, with the
// orbits as they were, when a candidate lane may have escaped in them.
template <int Steps>
NIVO_AVX2_INLINE bool StepUntested(LaneStepsAvx2::Orbit (&o)[kGroups], __m256d x, const __m256d (&y)[kGroups],
                                   const unsigned (&candidates)[kGroups], double bound)
{
    using namespace LaneStepsAvx2;
    Orbit start[kGroups];
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g)
        start[g] = o[g];
    for (int k = 0; k < Steps; ++k) {
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g)
            StepWithoutTest(o[g], x, y[g]);
    }
    unsigned beyond = 0;
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g)
        beyond |= candidates[g] & Beyond(o[g].re, o[g].im, bound);
    if (beyond != 0) {
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g)
            o[g] = start[g];
        return false;
    }
    // The lanes still running passed all the tests.
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g)
        o[g].n = _mm256_add_epi64(o[g].n, _mm256_and_si256(_mm256_castpd_si256(o[g].alive),
                                                            _mm256_set1_epi64x(Steps)));
    return true;
}

template <int Steps>
NIVO_AVX512_INLINE bool StepUntested(LaneStepsAvx512::Orbit (&o)[kGroups], __m512d x, const __m512d (&y)[kGroups],
                                     const __mmask8 (&candidates)[kGroups], double bound)
{
    using namespace LaneStepsAvx512;
    Orbit start[kGroups];
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g)
        start[g] = o[g];
    for (int k = 0; k < Steps; ++k) {
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g)
            StepWithoutTest(o[g], x, y[g], Fused(g));
    }
    __mmask8 beyond = 0;
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g)
        beyond |= Beyond(candidates[g], o[g].re, o[g].im, bound);
    if (beyond == 0)
        return true;
#pragma GCC unroll 8
    for (int g = 0; g < kGroups; ++g)
        o[g] = start[g];
    return false;
}

} // namespace

void LaneQueue::Begin(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out,
                      ColumnScheduler& columns, bool reports, bool wide)
{
    m_wide = wide;
    m_xs = grid.Xs();
    m_ys = grid.Ys();
    m_rows = grid.Rows();
    m_limit = maxIterations;
    m_out = out;
    m_columns = &columns;
    m_reports = reports;
    m_dry = false;
    // A slice adds at most its rows; a pass stores whole vectors past the last entry.
    const std::size_t capacity =
        static_cast<std::size_t>(std::min(m_rows, kSliceRows)) + kPassRows + kMaxWanted + kPadding;
    for (std::vector<double>* v : {&m_x, &m_y, &m_re, &m_im})
        v->resize(capacity);
    m_count.resize(capacity);
    m_lockstepEnds.assign(static_cast<std::size_t>(m_rows) / kNarrowPassRows + 1, 0);
    m_index.resize(capacity);
    m_cursor = m_end = 0;
    m_pendingHead = m_pendingCount = 0;
    m_sliceRow = 0;
    Park();
}

void LaneQueue::Refill(int wanted)
{
    const int left = m_end - m_cursor;
    for (std::vector<double>* v : {&m_x, &m_y, &m_re, &m_im})
        std::copy_n(v->begin() + m_cursor, left, v->begin());
    std::copy_n(m_count.begin() + m_cursor, left, m_count.begin());
    std::copy_n(m_index.begin() + m_cursor, left, m_index.begin());
    m_cursor = 0;
    m_end = left;
    while (m_end < wanted && !m_dry) {
        if (m_sliceRow == 0) {
            // Columns are retired oldest first, so one long orbit in a lane
            // keeps every column taken after it pending: none is taken while
            // they fill the ring (the lanes then finish what they hold).
            if (m_pendingCount == kPendingCapacity)
                break;
            if (m_reports)
                m_columns->ReportFinished();
            if (!m_columns->Take(m_sliceColumn)) {
                m_dry = true;
                break;
            }
            m_columnQueued = false;
        }
        if (m_wide)
            QueueSliceAvx512();
        else
            QueueSliceAvx2();
    }
    Park();
}

std::int32_t LaneQueue::SliceEnd() const
{
    return m_rows - m_sliceRow > kSliceRows ? m_sliceRow + kSliceRows : m_rows;
}

NIVO_AVX2 void LaneQueue::QueueSliceAvx2()
{
    using namespace LaneStepsAvx2;
    const std::int32_t column = m_sliceColumn;
    const std::int64_t base = static_cast<std::int64_t>(column) * m_rows;
    const __m256d x = _mm256_set1_pd(m_xs[column]);
    const __m256i limit = _mm256_set1_epi64x(m_limit);
    const int first = m_end;
    const std::int32_t end = SliceEnd();
    for (std::int32_t r0 = m_sliceRow; r0 < end; r0 += kNarrowPassRows) {
        Orbit o[kGroups];
        __m256d y[kGroups];
        unsigned candidates[kGroups];
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g) {
            const std::int32_t r = r0 + 4 * g;
            y[g] = _mm256_loadu_pd(m_ys + r);
            const int valid = std::clamp(end - r, 0, 4);
            const unsigned interior = static_cast<unsigned>(_mm256_movemask_pd(Interior(x, y[g])));
            candidates[g] = ((1u << valid) - 1) & ~interior;
            for (unsigned lanes = ((1u << valid) - 1) & interior; lanes; lanes &= lanes - 1)
                m_out[base + r + std::countr_zero(lanes)] = m_limit;
            o[g] = {_mm256_setzero_pd(), _mm256_setzero_pd(), Mask(candidates[g]), _mm256_setzero_si256()};
        }
        unsigned anyCandidate = 0;
        for (int g = 0; g < kGroups; ++g)
            anyCandidate |= candidates[g];
        // Every pixel here is inside the set or past the slice: all are settled.
        if (anyCandidate == 0)
            continue;
        unsigned outside = 0;
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g)
            outside |= candidates[g] & Beyond(x, y[g], kUntestedBound);
        // As on AVX-512: on, kLockstep steps at a time, while no pixel escapes.
        int& lastEnd = m_lockstepEnds[r0 / kNarrowPassRows];
        int done = 0;
        bool pairs = true;
        while (done < m_limit) {
            const int chunk = std::min(kLockstep, m_limit - done);
            const bool untested = outside == 0 && chunk == kLockstep && done + kLockstep != lastEnd;
            if (untested && pairs && PairFits(done, lastEnd)) {
                pairs = StepUntested<2 * kLockstep>(o, x, y, candidates, kUntestedPairBound);
                if (pairs) {
                    done += 2 * kLockstep;
                    if (done >= kLongestLockstep)
                        break;
                    continue;
                }
            }
            if (untested && StepUntested<kLockstep>(o, x, y, candidates, kUntestedBound)) {
                done += chunk;
                if (done >= kLongestLockstep)
                    break;
                continue;
            }
            for (int k = 0; k < chunk; ++k) {
#pragma GCC unroll 8
                for (int g = 0; g < kGroups; ++g)
                    Step(o[g], x, y[g]);
            }
            done += chunk;
            unsigned escaped = 0;
#pragma GCC unroll 8
            for (int g = 0; g < kGroups; ++g)
                escaped |= candidates[g] & ~static_cast<unsigned>(_mm256_movemask_pd(o[g].alive));
            if (escaped != 0 || done >= kLongestLockstep)
                break;
        }
        lastEnd = done;
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g) {
            const std::int32_t r = r0 + 4 * g;
            const __m256i running = _mm256_andnot_si256(_mm256_cmpeq_epi64(o[g].n, limit), _mm256_castpd_si256(o[g].alive));
            const unsigned queued = static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(running)));
            alignas(32) std::int64_t counts[4];
            _mm256_store_si256(reinterpret_cast<__m256i*>(counts), o[g].n);
            for (unsigned lanes = candidates[g] & ~queued; lanes; lanes &= lanes - 1) {
                const int l = std::countr_zero(lanes);
                m_out[base + r + l] = static_cast<std::int32_t>(counts[l]);
            }
            // Packs the running lanes to the end of the queue, in row order.
            const __m256i pack = Pack(queued);
            const __m256i rows = _mm256_add_epi64(_mm256_set1_epi64x(base + r), _mm256_setr_epi64x(0, 1, 2, 3));
            _mm256_storeu_pd(m_x.data() + m_end, x);
            _mm256_storeu_pd(m_y.data() + m_end, Permute(y[g], pack));
            _mm256_storeu_pd(m_re.data() + m_end, Permute(o[g].re, pack));
            _mm256_storeu_pd(m_im.data() + m_end, Permute(o[g].im, pack));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(m_count.data() + m_end), Permute(o[g].n, pack));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(m_index.data() + m_end), Permute(rows, pack));
            m_end += std::popcount(queued);
        }
    }
    EndSlice(end, first);
}

NIVO_AVX512 void LaneQueue::QueueSliceAvx512()
{
    using namespace LaneStepsAvx512;
    const std::int32_t column = m_sliceColumn;
    const std::int64_t base = static_cast<std::int64_t>(column) * m_rows;
    const __m512d x = _mm512_set1_pd(m_xs[column]);
    const __m512i limit = _mm512_set1_epi64(m_limit);
    const int first = m_end;
    const std::int32_t end = SliceEnd();
    for (std::int32_t r0 = m_sliceRow; r0 < end; r0 += kPassRows) {
        Orbit o[kGroups];
        __m512d y[kGroups];
        __mmask8 valid[kGroups];
        __mmask8 candidates[kGroups];
        __mmask8 anyCandidate = 0;
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g) {
            const std::int32_t r = r0 + 8 * g;
            valid[g] = static_cast<__mmask8>((1u << std::clamp(end - r, 0, 8)) - 1);
            y[g] = _mm512_maskz_loadu_pd(valid[g], m_ys + r);
            candidates[g] = valid[g] & ~Interior(x, y[g]);
            o[g] = {_mm512_setzero_pd(), _mm512_setzero_pd(), _mm512_setzero_si512(), candidates[g]};
            anyCandidate |= candidates[g];
        }
        // Every pixel here is inside the set or past the slice: all are settled.
        // While no pixel of the pass escapes, the lockstep keeps every lane busy
        // and costs no refill: it goes on, kLockstep steps at a time.
        // The steps go uncounted: the lanes still running have passed every
        // test, and the tests of the last few steps, kept as masks (a store
        // costs no vector instruction), count those that escaped in them.
        alignas(8) __mmask8 passed[kGroups][kLockstep];
        // Chunks go untested where they may, but for the one in which these
        // rows escaped in the last column: that one would mostly run twice.
        __mmask8 outside = 0;
        if (anyCandidate != 0) {
#pragma GCC unroll 8
            for (int g = 0; g < kGroups; ++g)
                outside |= Beyond(candidates[g], x, y[g], kUntestedBound);
        }
        int& lastEnd = m_lockstepEnds[r0 / kPassRows];
        int done = 0, chunk = 0;
        bool pairs = true;
        while (anyCandidate != 0 && done < m_limit) {
            chunk = std::min(kLockstep, m_limit - done);
            const bool untested = outside == 0 && chunk == kLockstep && done + kLockstep != lastEnd;
            // Pairs stop at the first that sees an escape: these rows escape soon after.
            if (untested && pairs && PairFits(done, lastEnd)) {
                pairs = StepUntested<2 * kLockstep>(o, x, y, candidates, kUntestedPairBound);
                if (pairs) {
                    done += 2 * kLockstep;
                    chunk = 0;
                    if (done >= kLongestLockstep)
                        break;
                    continue;
                }
            }
            if (untested && StepUntested<kLockstep>(o, x, y, candidates, kUntestedBound)) {
                done += chunk;
                chunk = 0;
                if (done >= kLongestLockstep)
                    break;
                continue;
            }
            // A short last chunk leaves the rest of each group's masks clear.
            if (chunk < kLockstep)
                std::fill_n(&passed[0][0], sizeof passed, __mmask8(0));
            for (int k = 0; k < chunk; ++k) {
#pragma GCC unroll 8
                for (int g = 0; g < kGroups; ++g) {
                    TestAndStep(o[g], x, y[g], Fused(g));
                    StoreMask(&passed[g][k], o[g].alive);
                }
            }
            done += chunk;
            __mmask8 escaped = 0;
#pragma GCC unroll 8
            for (int g = 0; g < kGroups; ++g)
                escaped |= candidates[g] & ~o[g].alive;
            if (escaped != 0 || done >= kLongestLockstep)
                break;
        }
        lastEnd = done;
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g)
            o[g].n = _mm512_add_epi64(_mm512_set1_epi64(done - chunk), CountPassed(passed[g], chunk));
        // The vector stores may alias any member: the queue's ends are kept in
        // locals while a pass appends to it.
        int tail = m_end;
        double* const xs = m_x.data();
        double* const ys = m_y.data();
        double* const res = m_re.data();
        double* const ims = m_im.data();
        std::int64_t* const counts = m_count.data();
        std::int64_t* const indices = m_index.data();
        std::int32_t* const out = m_out + base;
#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g) {
            const std::int32_t r = r0 + 8 * g;
            const __mmask8 queued = o[g].alive & ~_mm512_cmpeq_epi64_mask(o[g].n, limit);
            // Interior pixels count the limit, the others what the lockstep counted.
            _mm512_mask_cvtepi64_storeu_epi32(out + r, valid[g] & ~queued,
                                              _mm512_mask_blend_epi64(candidates[g], limit, o[g].n));
            // Packs the running lanes to the end of the queue, in row order.
            const __m512i rows = _mm512_add_epi64(_mm512_set1_epi64(base + r), _mm512_setr_epi64(0, 1, 2, 3, 4, 5, 6, 7));
            _mm512_storeu_pd(xs + tail, x);
            _mm512_storeu_pd(ys + tail, _mm512_maskz_compress_pd(queued, y[g]));
            _mm512_storeu_pd(res + tail, _mm512_maskz_compress_pd(queued, o[g].re));
            _mm512_storeu_pd(ims + tail, _mm512_maskz_compress_pd(queued, o[g].im));
            _mm512_storeu_si512(counts + tail, _mm512_maskz_compress_epi64(queued, o[g].n));
            _mm512_storeu_si512(indices + tail, _mm512_maskz_compress_epi64(queued, rows));
            tail += std::popcount(static_cast<unsigned>(queued));
        }
        m_end = tail;
    }
    EndSlice(end, first);
}

void LaneQueue::EndSlice(std::int32_t end, int first)
{
    const std::int32_t column = m_sliceColumn;
    m_columnQueued |= m_end != first;
    m_sliceRow = end < m_rows ? end : 0;
    if (m_sliceRow != 0)
        return;
    // The column's last slice: it is done once its last queued pixel is.
    if (!m_columnQueued) {
        m_columns->Finish(column);
        return;
    }
    const int slot = (m_pendingHead + m_pendingCount++) % kPendingCapacity;
    m_pendingColumn[slot] = column;
    m_pendingLast[slot] = static_cast<std::uint64_t>(column + 1) * static_cast<std::uint64_t>(m_rows) - 1;
}

void LaneQueue::Park()
{
    for (int i = m_end; i < m_end + kPadding; ++i) {
        m_x[i] = m_y[i] = m_re[i] = m_im[i] = 0.0;
        m_count[i] = 0;
        m_index[i] = -1;
    }
}

void LaneQueue::RetireColumns(std::uint64_t oldest)
{
    while (m_pendingCount > 0 && m_pendingLast[m_pendingHead] < oldest) {
        m_columns->Finish(m_pendingColumn[m_pendingHead]);
        m_pendingHead = (m_pendingHead + 1) % kPendingCapacity;
        --m_pendingCount;
    }
}
