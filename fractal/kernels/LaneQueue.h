#pragma once
// One thread's queue of pixels for the lane kernels (and only for them: parts
// of it are compiled for AVX2 or AVX-512, as the kernel that takes its pixels
// is). It takes whole columns from the scheduler and
// queues them (a tall one a slice of rows at a time, so that the queue does
// not grow with the height): it settles their interior points, runs every
// pixel through its first steps in lockstep, writes those that are done and
// queues the others with their orbit so far. A column goes back to the scheduler once none of its pixels
// is left in the queue or in a lane, in whatever order the lanes finish them.
#include <algorithm>
#include <cstdint>
#include <vector>

class ColumnScheduler;
class SampleGrid;

class LaneQueue {
public:
    // Most entries a kernel asks to find queued at once.
    static constexpr int kMaxWanted = 64;
    // Parked entries after the last queued one: c = 0 and no buffer entry.
    // Lanes read up to eight entries past the cursor.
    static constexpr int kPadding = 8;
    // A parked entry's buffer entry, -1, read unsigned: above every other.
    static constexpr std::uint64_t kParked = ~std::uint64_t(0);

    // reports: this is the calling thread, which reports progress as it takes columns.
    // wide: the first steps run on AVX-512, eight rows to a vector.
    void Begin(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out, ColumnScheduler& columns,
               bool reports, bool wide);

    // Queues columns until `wanted` entries are ready or no column is left.
    void TopUp(int wanted)
    {
        if (m_end - m_cursor < wanted)
            Refill(wanted);
    }
    // Entries from the cursor on; kPadding parked entries follow the last one.
    const double* X() const { return m_x.data() + m_cursor; }
    const double* Y() const { return m_y.data() + m_cursor; }
    const double* Re() const { return m_re.data() + m_cursor; }
    const double* Im() const { return m_im.data() + m_cursor; }
    const std::int64_t* Count() const { return m_count.data() + m_cursor; }
    // Buffer entries rise in queue order: a thread takes columns in order.
    const std::int64_t* Index() const { return m_index.data() + m_cursor; }
    // Taking parked entries does not move the cursor.
    void Consume(int count) { m_cursor = count < m_end - m_cursor ? m_cursor + count : m_end; }

    // The lanes hold no buffer entry below `lowestInLanes` (read unsigned):
    // every pixel below it and below the next queued one has been written.
    void Retire(std::uint64_t lowestInLanes)
    {
        const std::uint64_t oldest = std::min(lowestInLanes, static_cast<std::uint64_t>(m_index[m_cursor]));
        if (m_pendingCount > 0 && m_pendingLast[m_pendingHead] < oldest)
            RetireColumns(oldest);
    }
    // Nothing queued and no column left.
    bool Exhausted() const { return m_dry && m_cursor == m_end; }

private:
    void Refill(int wanted);
    // Queues the next slice of rows of the column being queued.
    void QueueSliceAvx2();
    void QueueSliceAvx512();
    std::int32_t SliceEnd() const;
    // Once a slice is queued: moves to the next, or settles its column.
    void EndSlice(std::int32_t end, int first);
    void Park();
    void RetireColumns(std::uint64_t oldest);

    const double* m_xs = nullptr;
    const double* m_ys = nullptr;
    std::int32_t m_rows = 0;
    std::int32_t m_limit = 0;
    std::int32_t* m_out = nullptr;
    ColumnScheduler* m_columns = nullptr;
    bool m_reports = false;
    bool m_wide = false;
    bool m_dry = false;

    std::vector<double> m_x;
    std::vector<double> m_y;
    std::vector<double> m_re;
    std::vector<double> m_im;
    std::vector<std::int64_t> m_count;
    std::vector<std::int64_t> m_index;
    // Where the lockstep of each pass of rows ended in the last column.
    std::vector<int> m_lockstepEnds;
    // The column being queued, and its next row (0: none is being queued).
    std::int32_t m_sliceColumn = 0;
    std::int32_t m_sliceRow = 0;
    bool m_columnQueued = false;
    int m_cursor = 0;
    int m_end = 0;

    // Columns with pixels still queued or in lanes, oldest first, with their
    // last buffer entry.
    static constexpr int kPendingCapacity = 256;
    std::int32_t m_pendingColumn[kPendingCapacity] = {};
    std::uint64_t m_pendingLast[kPendingCapacity] = {};
    int m_pendingHead = 0;
    int m_pendingCount = 0;
};
