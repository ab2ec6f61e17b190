#pragma once
// Fills the iteration buffer for a sample grid: columns shared between
// threads, the vector kernel where the processor has it, progress reported
// on the calling thread in column order. Threads and scratch are kept for the
// next compute.
#include <cstdint>
#include <functional>
#include <vector>

#include "ColumnScheduler.h"
#include "ComputeSettings.h"
#include "fractal/kernels/LaneQueue.h"
#include "WorkerPool.h"

class SampleGrid;

class ComputeEngine {
public:
    using Report = ColumnScheduler::Report;

    // Writes out[c * rows + r] for every column c and row r of the grid and
    // calls report(c) for every column, on this thread, in order, once the
    // column is written; after a report that returns false, the columns
    // not yet begun are left as they are.
    void Fill(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out, const Report& report);
    // The same entries, on the calling thread alone: for callers that share
    // their work among threads themselves.
    void FillOnThisThread(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out);

private:
    struct Job {
        const SampleGrid* grid;
        std::int32_t limit;
        std::int32_t* out;
        Kernel kernel;
    };

    void Run(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out, const Report& report,
             int threads);
    void Work(const Job& job, int thread);
    void FillScalar(const Job& job, bool reports);

    ColumnScheduler m_columns;
    WorkerPool m_pool;
    std::vector<LaneQueue> m_queues;
};
