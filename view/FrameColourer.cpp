#include "FrameColourer.h"

#include <algorithm>

#include "CDibImage.h"
#include "ColourTable.h"
#include "platform/WinTypes.h"
#include "fractal/ComputeSettings.h"

namespace {
// Columns a thread takes at a time: wide enough that neighbouring blocks
// share few cache lines of the image, narrow enough to share the work and
// to move the bar often.
constexpr std::int32_t kBlockColumns = 64;
// A block is coloured this many rows at a time: the buffer is column by
// column and the image row by row, and a tile of both stays in cache.
constexpr std::int32_t kTileRows = 16;
} // namespace

void FrameColourer::Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                           const ColourTable& colours, const Written& written)
{
    const Job job {&image, counts, W, H, &colours};
    const std::int32_t blocks = (W + kBlockColumns - 1) / kBlockColumns;
    const ColumnScheduler::Report report = [&](std::int32_t block) {
        written(std::int64_t(std::min((block + 1) * kBlockColumns, W)) * H);
    };
    m_blocks.Reset(blocks, &report);
    const int threads = std::min(ComputeSettings::Current().ResolvedThreads(), static_cast<int>(blocks));
    m_pool.Run(threads, [&](int index) { ColourBlocks(job, index == 0); });
    m_blocks.ReportRemaining();
}

void FrameColourer::ColourBlocks(const Job& job, bool reports)
{
    std::int32_t block;
    while (m_blocks.Take(block)) {
        const std::int32_t first = block * kBlockColumns;
        const std::int32_t last = std::min(first + kBlockColumns, job.W);
        for (std::int32_t row = 0; row < job.H; row += kTileRows)
            ColourTile(job, first, last, row, std::min(row + kTileRows, job.H));
        m_blocks.Finish(block);
        if (reports)
            m_blocks.ReportFinished();
    }
}

void FrameColourer::ColourTile(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn,
                               std::int32_t firstRow, std::int32_t lastRow)
{
    // Locals, since the byte writes below could alias any member.
    const ColourTable::Lookup colour = job.colours->View();
    BYTE* const topRow = job.image->m_topRow;
    const std::ptrdiff_t pitch = job.image->m_pitch;
    const std::ptrdiff_t H = job.H;
    for (std::int32_t row = firstRow; row < lastRow; ++row) {
        const std::int32_t* entry = job.counts + firstColumn * H + row;
        BYTE* pixel = topRow + row * pitch + std::ptrdiff_t(firstColumn) * 3;
        // The bytes SetPixel writes: blue, green, red.
        for (std::int32_t column = firstColumn; column < lastColumn; ++column, entry += H, pixel += 3) {
            const COLORREF c = colour(*entry);
            pixel[0] = static_cast<BYTE>(c >> 16);
            pixel[1] = static_cast<BYTE>(c >> 8);
            pixel[2] = static_cast<BYTE>(c);
        }
    }
}
