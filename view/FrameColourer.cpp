#include "FrameColourer.h"

#include <algorithm>

#include "CDibImage.h"
#include "ColourTable.h"
#include "platform/WinTypes.h"
#include "fractal/ComputeSettings.h"

namespace {
// Rows a thread takes at a time: small enough to share the work evenly,
// large enough that taking one costs nothing.
constexpr std::int32_t kBandRows = 16;
// A band is coloured in tiles this many columns wide: the buffer is column
// by column and the image row by row, and a tile of both stays in cache.
constexpr std::int32_t kTileColumns = 16;
} // namespace

void FrameColourer::Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                           const ColourTable& colours)
{
    const Job job {&image, counts, W, H, &colours};
    const std::int32_t bands = (H + kBandRows - 1) / kBandRows;
    const int threads = std::min(ComputeSettings::Current().ResolvedThreads(), static_cast<int>(bands));
    m_nextBand.store(0, std::memory_order_relaxed);
    m_pool.Run(threads, [&](int) { ColourBands(job); });
}

void FrameColourer::ColourBands(const Job& job)
{
    for (;;) {
        const std::int32_t first = m_nextBand.fetch_add(1, std::memory_order_relaxed) * kBandRows;
        if (first >= job.H)
            return;
        const std::int32_t last = std::min(first + kBandRows, job.H);
        for (std::int32_t column = 0; column < job.W; column += kTileColumns)
            ColourTile(job, column, std::min(column + kTileColumns, job.W), first, last);
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
