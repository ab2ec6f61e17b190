#include "FrameColourer.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <limits>

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

// GCC 12's AVX-512 intrinsics start some results from an undefined vector
// and then warn about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define NIVO_AVX512_BYTES __attribute__((target("avx512f,avx512bw,avx512vbmi")))

bool HasAvx512Bytes()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

// Byte 3p + k of sixteen pixels is byte 2 - k of colour p: blue, green, red.
constexpr std::array<char, 64> MakeBgrOrder()
{
    std::array<char, 64> order {};
    for (int j = 0; j < 48; ++j)
        order[j] = static_cast<char>(4 * (j / 3) + 2 - j % 3);
    return order;
}
alignas(64) constexpr std::array<char, 64> kBgrOrder = MakeBgrOrder();
} // namespace

void FrameColourer::Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                           const ColourTable& colours, const Written& written)
{
    static const bool avx512 = HasAvx512Bytes();
    const ComputeSettings settings = ComputeSettings::Current();
    // The gathers' offsets down sixteen columns must fit their 32 bits.
    const bool wide = avx512 && settings.allowVector && settings.allowWide &&
                      H <= std::numeric_limits<std::int32_t>::max() / 16;
    const Job job {&image, counts, W, H, &colours, wide};
    const std::int32_t blocks = (W + kBlockColumns - 1) / kBlockColumns;
    const ColumnScheduler::Report report = [&](std::int32_t block) {
        written(std::int64_t(std::min((block + 1) * kBlockColumns, W)) * H);
    };
    m_blocks.Reset(blocks, &report);
    const int threads = std::min(settings.ResolvedThreads(), static_cast<int>(blocks));
    m_pool.Run(threads, [&](int index) { ColourBlocks(job, index == 0); });
    m_blocks.ReportRemaining();
}

void FrameColourer::ColourBlocks(const Job& job, bool reports)
{
    std::int32_t block;
    while (m_blocks.Take(block)) {
        const std::int32_t first = block * kBlockColumns;
        const std::int32_t last = std::min(first + kBlockColumns, job.W);
        for (std::int32_t row = 0; row < job.H; row += kTileRows) {
            if (job.wide)
                ColourTileAvx512(job, first, last, row, std::min(row + kTileRows, job.H));
            else
                ColourTile(job, first, last, row, std::min(row + kTileRows, job.H));
        }
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

// Sixteen pixels of a row at a time: their counts gathered across the
// columns, their colours gathered from the table and their bytes picked out
// of the colours. Counts the table does not hold go through the rule.
NIVO_AVX512_BYTES void FrameColourer::ColourTileAvx512(const Job& job, std::int32_t firstColumn,
                                                       std::int32_t lastColumn, std::int32_t firstRow,
                                                       std::int32_t lastRow)
{
    const ColourTable::Lookup colour = job.colours->View();
    BYTE* const topRow = job.image->m_topRow;
    const std::ptrdiff_t pitch = job.image->m_pitch;
    const std::ptrdiff_t H = job.H;
    const __m512i across = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                              _mm512_set1_epi32(job.H));
    const __m512i tableSize = _mm512_set1_epi32(static_cast<int>(colour.size));
    const __m512i bgr = _mm512_load_si512(kBgrOrder.data());
    for (std::int32_t row = firstRow; row < lastRow; ++row) {
        for (std::int32_t column = firstColumn; column < lastColumn; column += 16) {
            const int n = std::min(16, lastColumn - column);
            const auto lanes = static_cast<__mmask16>((1u << n) - 1);
            const std::int32_t* entry = job.counts + column * H + row;
            BYTE* pixel = topRow + row * pitch + std::ptrdiff_t(column) * 3;
            const __m512i counts = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, across, entry, 4);
            if (_mm512_mask_cmpge_epu32_mask(lanes, counts, tableSize) != 0) {
                for (int i = 0; i < n; ++i, entry += H, pixel += 3) {
                    const COLORREF c = colour(*entry);
                    pixel[0] = static_cast<BYTE>(c >> 16);
                    pixel[1] = static_cast<BYTE>(c >> 8);
                    pixel[2] = static_cast<BYTE>(c);
                }
                continue;
            }
            const __m512i colours =
                _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, counts, colour.colours, 4);
            _mm512_mask_storeu_epi8(pixel, (__mmask64(1) << (3 * n)) - 1, _mm512_permutexvar_epi8(bgr, colours));
        }
    }
}
