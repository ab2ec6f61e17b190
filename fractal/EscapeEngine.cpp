#include "EscapeEngine.h"

#include <algorithm>

#include "ComputeSettings.h"
#include "EscapeKernel.h"
#include "LaneKernelAvx2.h"
#include "LaneKernelAvx512.h"
#include "SampleGrid.h"

void EscapeEngine::Fill(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out, const Report& report)
{
    const std::int32_t columns = grid.Columns();
    if (grid.Rows() == 0) {
        for (std::int32_t c = 0; c < columns; ++c)
            report(c);
        return;
    }
    const ComputeSettings settings = ComputeSettings::Current();
    static const bool avx2 = LaneKernelAvx2::Supported();
    static const bool avx512 = LaneKernelAvx512::Supported();
    const bool vector = settings.allowVector && avx2 && maxIterations >= 1;
    const Job job {&grid, maxIterations, out, vector, vector && settings.allowWide && avx512};
    const int threads = std::min(settings.ResolvedThreads(), static_cast<int>(columns));
    m_columns.Reset(columns, &report);
    if (job.vector) {
        if (static_cast<int>(m_feeds.size()) < threads)
            m_feeds.resize(static_cast<std::size_t>(threads));
        for (int t = 0; t < threads; ++t)
            m_feeds[static_cast<std::size_t>(t)].Begin(grid, maxIterations, out, m_columns, t == 0, job.wide);
    }
    m_pool.Run(threads, [&](int thread) { Work(job, thread); });
}

void EscapeEngine::Work(const Job& job, int thread)
{
    const bool reports = thread == 0;
    if (job.vector) {
        PixelFeed& feed = m_feeds[static_cast<std::size_t>(thread)];
        if (job.wide)
            LaneKernelAvx512::Run(feed, job.out, job.limit);
        else
            LaneKernelAvx2::Run(feed, job.out, job.limit);
    } else {
        FillScalar(job, reports);
    }
    if (reports)
        m_columns.ReportRemaining();
}

void EscapeEngine::FillScalar(const Job& job, bool reports)
{
    const std::int32_t rows = job.grid->Rows();
    const double* ys = job.grid->Ys();
    std::int32_t column = 0;
    for (;;) {
        if (reports)
            m_columns.ReportFinished();
        if (!m_columns.Take(column))
            break;
        const double x = job.grid->Xs()[column];
        std::int32_t* entry = job.out + static_cast<std::int64_t>(column) * rows;
        for (std::int32_t r = 0; r < rows; ++r)
            entry[r] = EscapeKernel::Count(x, ys[r], job.limit);
        m_columns.Finish(column);
    }
}
