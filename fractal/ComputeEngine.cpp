#include "ComputeEngine.h"

#include <algorithm>

#include "ComputeSettings.h"
#include "fractal/kernels/ScalarKernel.h"
#include "fractal/kernels/LaneKernelAvx2.h"
#include "fractal/kernels/LaneKernelAvx512.h"
#include "SampleGrid.h"

void ComputeEngine::Fill(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out, const Report& report)
{
    Run(grid, maxIterations, out, report, ComputeSettings::Current().ResolvedThreads());
}

void ComputeEngine::FillOnThisThread(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out)
{
    static const Report none = [](std::int32_t) { return true; };
    Run(grid, maxIterations, out, none, 1);
}

void ComputeEngine::Run(const SampleGrid& grid, std::int32_t maxIterations, std::int32_t* out, const Report& report,
                        int threadsWanted)
{
    const std::int32_t columns = grid.Columns();
    if (grid.Rows() == 0) {
        for (std::int32_t c = 0; c < columns; ++c)
            report(c);
        return;
    }
    const ComputeSettings settings = ComputeSettings::Current();
    static const Kernel available = LaneKernelAvx512::Supported() ? Kernel::Avx512
                                    : LaneKernelAvx2::Supported()   ? Kernel::Avx2
                                                                    : Kernel::Scalar;
    // The lane kernels take at least one step per pixel.
    const Job job {&grid, maxIterations, out, maxIterations >= 1 ? settings.Choose(available) : Kernel::Scalar};
    const int threads = std::min(threadsWanted, static_cast<int>(columns));
    m_columns.Reset(columns, &report);
    if (job.kernel != Kernel::Scalar) {
        if (static_cast<int>(m_queues.size()) < threads)
            m_queues.resize(static_cast<std::size_t>(threads));
        for (int t = 0; t < threads; ++t)
            m_queues[static_cast<std::size_t>(t)].Begin(grid, maxIterations, out, m_columns, t == 0, job.kernel == Kernel::Avx512);
    }
    m_pool.Run(threads, [&](int thread) { Work(job, thread); });
}

void ComputeEngine::Work(const Job& job, int thread)
{
    const bool reports = thread == 0;
    switch (job.kernel) {
    case Kernel::Avx512:
        LaneKernelAvx512::Run(m_queues[static_cast<std::size_t>(thread)], job.out, job.limit);
        break;
    case Kernel::Avx2:
        LaneKernelAvx2::Run(m_queues[static_cast<std::size_t>(thread)], job.out, job.limit);
        break;
    case Kernel::Scalar:
        FillScalar(job, reports);
        break;
    }
    if (reports)
        m_columns.ReportRemaining();
}

void ComputeEngine::FillScalar(const Job& job, bool reports)
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
            entry[r] = ScalarKernel::Count(x, ys[r], job.limit);
        m_columns.Finish(column);
    }
}
