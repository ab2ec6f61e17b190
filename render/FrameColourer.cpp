#include "FrameColourer.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
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
// A block streamed past the cache is coloured this many rows at a time, so
// that each column's counts are read 1 KiB at a stretch: at 4K a render's
// passes after the calculator took 0.4 to 1.7 ms less on most scenes than
// with 64 columns read 64 bytes at a time.
constexpr std::int32_t kStreamedRows = 256;

// GCC 12's AVX-512 intrinsics start some results from an undefined vector
// and then warn about it wherever they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define NIVO_AVX512_BYTES __attribute__((target("avx512f,avx512bw,avx512vbmi")))

#define NIVO_AVX2 __attribute__((target("avx2")))

Kernel FastestKernel()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
        return Kernel::Avx512;
    return __builtin_cpu_supports("avx2") ? Kernel::Avx2 : Kernel::Scalar;
}

// The bytes SetPixel writes: blue, green, red.
void WritePixel(BYTE* pixel, COLORREF c)
{
    pixel[0] = static_cast<BYTE>(c >> 16);
    pixel[1] = static_cast<BYTE>(c >> 8);
    pixel[2] = static_cast<BYTE>(c);
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

// Asks for a column's counts two tiles below `counts`.
inline void Prefetch(const std::int32_t* counts)
{
    _mm_prefetch(reinterpret_cast<const char*>(counts + 2 * kTileRows), _MM_HINT_T0);
}

// The last-level cache as the system describes it; 0 where it does not.
std::int64_t LastLevelCacheBytes()
{
    std::ifstream level("/sys/devices/system/cpu/cpu0/cache/index3/level");
    std::ifstream size("/sys/devices/system/cpu/cpu0/cache/index3/size");
    int number = 0;
    std::int64_t kib = 0;
    char unit = 0;
    if (!(level >> number) || number != 3 || !(size >> kib >> unit) || unit != 'K' || kib <= 0)
        return 0;
    return kib << 10;
}

Kernel KernelFor(std::int32_t H)
{
    static const Kernel fastest = FastestKernel();
    // The gathers' offsets across sixteen columns must fit their 32 bits.
    if (H > std::numeric_limits<std::int32_t>::max() / 16)
        return Kernel::Scalar;
    return ComputeSettings::Current().Choose(fastest);
}
} // namespace

void FrameColourer::Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                           const ColourTable& colours, const Written& written)
{
    const bool stream = std::abs(image.m_pitch) * std::int64_t(H) >= StreamedBytes();
    const Job job {image.m_topRow, image.m_pitch, counts, W, H, &colours, KernelFor(H), stream};
    const std::int32_t blocks = (W + kBlockColumns - 1) / kBlockColumns;
    const ColumnScheduler::Report report = [&](std::int32_t block) {
        written(std::int64_t(std::min((block + 1) * kBlockColumns, W)) * H);
        return true;
    };
    m_blocks.Reset(blocks, &report);
    const int threads = std::min(ComputeSettings::Current().ResolvedThreads(), static_cast<int>(blocks));
    m_pool.Run(threads, [&](int index) { ColourBlocks(job, index == 0); });
    m_blocks.ReportRemaining();
}

// Sections this large are streamed out of the cache as they are coloured,
// so that their lines are not read from memory before being written: the
// counts, the section and the backing store (about four times the section)
// would fill half the last-level cache, which other programs share. A 1080p
// section (6 MB) was shown 0.2 to 0.6 ms sooner that way on a Zen 4 with
// 32 MiB, and 0.2 to 0.4 ms later on a Xeon with a larger cache, where it
// was still cached when shown; a 4K one (25 MB) 1 to 3 ms sooner on the Xeon.
std::int64_t FrameColourer::StreamedBytes()
{
    static const std::int64_t cache = LastLevelCacheBytes();
    return cache > 0 ? cache / 8 : std::int64_t(16) << 20;
}

void FrameColourer::ColourRows(const std::int32_t* counts, std::int32_t W, std::int32_t H, const ColourTable& colours,
                               BYTE* topRow, std::ptrdiff_t pitch)
{
    const Job job {topRow, pitch, counts, W, H, &colours, KernelFor(H), false};
    for (std::int32_t first = 0; first < W; first += kBlockColumns)
        ColourBlock(job, first, std::min(first + kBlockColumns, W));
}

void FrameColourer::ColourBlocks(const Job& job, bool reports)
{
    std::int32_t block;
    while (m_blocks.Take(block)) {
        const std::int32_t first = block * kBlockColumns;
        ColourBlock(job, first, std::min(first + kBlockColumns, job.W));
        m_blocks.Finish(block);
        if (reports)
            m_blocks.ReportFinished();
    }
}

void FrameColourer::ColourBlock(const Job& job, std::int32_t first, std::int32_t last)
{
    const std::int32_t step = job.stream && job.kernel == Kernel::Avx512 ? kStreamedRows : kTileRows;
    for (std::int32_t row = 0; row < job.H; row += step) {
        const std::int32_t end = std::min(row + step, job.H);
        switch (job.kernel) {
        case Kernel::Avx512:
            ColourTileAvx512(job, first, last, row, end);
            break;
        case Kernel::Avx2:
            ColourTileAvx2(job, first, last, row, end);
            break;
        case Kernel::Scalar:
            ColourTile(job, first, last, row, end);
            break;
        }
    }
    // Streamed lines are in memory before the block counts as written.
    _mm_sfence();
}

void FrameColourer::ColourTile(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn,
                               std::int32_t firstRow, std::int32_t lastRow)
{
    // Locals, since the byte writes below could alias any member.
    const ColourTable::Lookup colour = job.colours->View();
    BYTE* const topRow = job.topRow;
    const std::ptrdiff_t pitch = job.pitch;
    const std::ptrdiff_t H = job.H;
    for (std::int32_t row = firstRow; row < lastRow; ++row) {
        const std::int32_t* entry = job.counts + firstColumn * H + row;
        BYTE* pixel = topRow + row * pitch + std::ptrdiff_t(firstColumn) * 3;
        for (std::int32_t column = firstColumn; column < lastColumn; ++column, entry += H, pixel += 3)
            WritePixel(pixel, colour(*entry));
    }
}

namespace {
// Sixteen rows of sixteen counts, a vector a column, become a vector a row.
NIVO_AVX512_BYTES inline void Transpose16(__m512i v[16])
{
    __m512i t[16];
    for (int i = 0; i < 16; i += 2) {
        t[i] = _mm512_unpacklo_epi32(v[i], v[i + 1]);
        t[i + 1] = _mm512_unpackhi_epi32(v[i], v[i + 1]);
    }
    for (int i = 0; i < 16; i += 4) {
        v[i] = _mm512_unpacklo_epi64(t[i], t[i + 2]);
        v[i + 1] = _mm512_unpackhi_epi64(t[i], t[i + 2]);
        v[i + 2] = _mm512_unpacklo_epi64(t[i + 1], t[i + 3]);
        v[i + 3] = _mm512_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int i = 0; i < 16; i += 8)
        for (int j = 0; j < 4; ++j) {
            t[i + j] = _mm512_shuffle_i32x4(v[i + j], v[i + j + 4], 0x88);
            t[i + j + 4] = _mm512_shuffle_i32x4(v[i + j], v[i + j + 4], 0xdd);
        }
    for (int j = 0; j < 8; ++j) {
        v[j] = _mm512_shuffle_i32x4(t[j], t[j + 8], 0x88);
        v[j + 8] = _mm512_shuffle_i32x4(t[j], t[j + 8], 0xdd);
    }
}

// The tile of sixteen columns from `column` on and sixteen rows from `row`
// on, a vector a row; each column's counts further down are asked for too,
// since a block reads 64 columns at once, more streams than the processor
// follows by itself.
NIVO_AVX512_BYTES inline void LoadTile(__m512i tile[16], const std::int32_t* counts, std::ptrdiff_t H,
                                       std::int32_t column, std::int32_t row)
{
    for (int j = 0; j < 16; ++j) {
        const std::int32_t* entry = counts + (column + j) * H + row;
        Prefetch(entry);
        tile[j] = _mm512_loadu_si512(entry);
    }
    // A tile of one count, as inside the set, is its own transpose.
    const __m512i first = _mm512_broadcastd_epi32(_mm512_castsi512_si128(tile[0]));
    __mmask16 differ = 0;
    for (int j = 0; j < 16; ++j)
        differ |= _mm512_cmpneq_epi32_mask(tile[j], first);
    if (differ != 0)
        Transpose16(tile);
}

// Up to sixteen pixels of a row from their counts.
struct RowPainter {
    ColourTable::Lookup colour;
    const std::int32_t* counts;
    BYTE* topRow;
    std::ptrdiff_t pitch;
    std::ptrdiff_t H;
    __m512i tableSize;
    __m512i bgr;

    NIVO_AVX512_BYTES void Paint(__m512i rowCounts, int n, std::int32_t row, std::int32_t column) const
    {
        PaintAt(rowCounts, n, row, column, topRow + row * pitch + std::ptrdiff_t(column) * 3);
    }

    // The pixels of (row, column) on go to `pixel`.
    NIVO_AVX512_BYTES void PaintAt(__m512i rowCounts, int n, std::int32_t row, std::int32_t column, BYTE* pixel) const
    {
        const auto lanes = static_cast<__mmask16>((1u << n) - 1);
        if (_mm512_mask_cmpge_epu32_mask(lanes, rowCounts, tableSize) != 0) {
            const std::int32_t* entry = counts + column * H + row;
            for (int i = 0; i < n; ++i, entry += H, pixel += 3)
                WritePixel(pixel, colour(*entry));
            return;
        }
        // A run of one count, as inside the set, needs no gather.
        const __m512i first = _mm512_broadcastd_epi32(_mm512_castsi512_si128(rowCounts));
        const __m512i colours =
            _mm512_mask_cmpneq_epi32_mask(lanes, rowCounts, first) == 0
                ? _mm512_set1_epi32(static_cast<int>(colour.colours[_mm_cvtsi128_si32(_mm512_castsi512_si128(rowCounts))]))
                : _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, rowCounts, colour.colours, 4);
        const __m512i bytes = _mm512_permutexvar_epi8(bgr, colours);
        // Sixteen pixels in two plain stores: a masked byte store is slow on
        // AMD's Zen 4, where it was half of the colouring's time.
        if (n == 16) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), _mm512_castsi512_si256(bytes));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel + 32), _mm512_extracti32x4_epi32(bytes, 2));
            return;
        }
        _mm512_mask_storeu_epi8(pixel, (__mmask64(1) << (3 * n)) - 1, bytes);
    }
};
} // namespace

// Sixteen pixels of a row at a time: their colours gathered from the table
// (read once for a row of one count) and their bytes picked out of the
// colours. A whole tile of sixteen columns by sixteen rows reads each
// column's counts in one load and transposes them, unless it holds one
// count; at the tile's edges the counts are gathered across the columns.
// Counts the table does not hold go through the rule.
NIVO_AVX512_BYTES void FrameColourer::ColourTileAvx512(const Job& job, std::int32_t firstColumn,
                                                       std::int32_t lastColumn, std::int32_t firstRow,
                                                       std::int32_t lastRow)
{
    const ColourTable::Lookup colour = job.colours->View();
    BYTE* const topRow = job.topRow;
    const std::ptrdiff_t pitch = job.pitch;
    const std::ptrdiff_t H = job.H;
    const __m512i across = _mm512_mullo_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                              _mm512_set1_epi32(job.H));
    const __m512i tableSize = _mm512_set1_epi32(static_cast<int>(colour.size));
    const __m512i bgr = _mm512_load_si512(kBgrOrder.data());
    const RowPainter put {colour, job.counts, topRow, pitch, H, tableSize, bgr};
    std::int32_t column = firstColumn;
    BYTE* const firstPixel = topRow + firstRow * pitch + std::ptrdiff_t(firstColumn) * 3;
    const std::int32_t rows = lastRow - firstRow;
    const bool streamable = job.stream && rows % kTileRows == 0 && lastColumn - firstColumn == 64 &&
                            pitch % 64 == 0 && reinterpret_cast<std::uintptr_t>(firstPixel) % 64 == 0;
    if (!streamable && rows > kTileRows) {
        for (std::int32_t row = firstRow; row < lastRow; row += kTileRows)
            ColourTileAvx512(job, firstColumn, lastColumn, row, std::min(row + kTileRows, lastRow));
        return;
    }
    if (streamable) {
        // Rows of 192 bytes, three whole cache lines each: made in a staging
        // tile, sixteen columns at a time down all its rows, and streamed
        // out, so that no line of the picture is read before it is written.
        alignas(64) BYTE stage[kStreamedRows][192];
        for (int group = 0; group < 4; ++group, column += 16)
            for (std::int32_t sub = 0; sub < rows; sub += kTileRows) {
                __m512i tile[16];
                LoadTile(tile, job.counts, H, column, firstRow + sub);
                for (int i = 0; i < 16; ++i)
                    put.PaintAt(tile[i], 16, firstRow + sub + i, column, stage[sub + i] + 48 * group);
            }
        for (int i = 0; i < rows; ++i)
            for (int line = 0; line < 3; ++line)
                _mm512_stream_si512(reinterpret_cast<__m512i*>(firstPixel + i * pitch + 64 * line),
                                    _mm512_load_si512(stage[i] + 64 * line));
        return;
    }
    if (lastRow - firstRow == 16)
        for (; column + 16 <= lastColumn; column += 16) {
            __m512i tile[16];
            LoadTile(tile, job.counts, H, column, firstRow);
            for (int i = 0; i < 16; ++i)
                put.Paint(tile[i], 16, firstRow + i, column);
        }
    for (; column < lastColumn; column += 16) {
        const int n = std::min(16, lastColumn - column);
        const auto lanes = static_cast<__mmask16>((1u << n) - 1);
        for (std::int32_t row = firstRow; row < lastRow; ++row)
            put.Paint(_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, across, job.counts + column * H + row, 4), n,
                row, column);
    }
}

namespace {
// Eight rows of eight counts, a vector a column, become a vector a row.
NIVO_AVX2 inline void Transpose8(__m256i v[8])
{
    __m256i t[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(v[i], v[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(v[i], v[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        v[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        v[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        v[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        v[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int j = 0; j < 4; ++j) {
        const __m256i top = v[j], bottom = v[j + 4];
        v[j] = _mm256_permute2x128_si256(top, bottom, 0x20);
        v[j + 4] = _mm256_permute2x128_si256(top, bottom, 0x31);
    }
}

// The tile of eight columns from `column` on and eight rows from `row` on,
// a vector a row, as LoadTile reads sixteen.
NIVO_AVX2 inline void LoadTile8(__m256i tile[8], const std::int32_t* counts, std::ptrdiff_t H, std::int32_t column,
                                std::int32_t row)
{
    for (int j = 0; j < 8; ++j) {
        const std::int32_t* entry = counts + (column + j) * H + row;
        Prefetch(entry);
        tile[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entry));
    }
    // A tile of one count, as inside the set, is its own transpose.
    const __m256i first = _mm256_broadcastd_epi32(_mm256_castsi256_si128(tile[0]));
    __m256i same = _mm256_cmpeq_epi32(tile[0], first);
    for (int j = 1; j < 8; ++j)
        same = _mm256_and_si256(same, _mm256_cmpeq_epi32(tile[j], first));
    if (_mm256_movemask_epi8(same) != -1)
        Transpose8(tile);
}

// Eight pixels of a row from their counts, as RowPainter does on AVX-512.
struct RowPainter8 {
    ColourTable::Lookup colour;
    const std::int32_t* counts;
    std::ptrdiff_t H;
    __m256i lastInTable;
    __m256i bgr;

    NIVO_AVX2 void Paint(__m256i rowCounts, std::int32_t row, std::int32_t column, BYTE* pixel) const
    {
        const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi32(rowCounts, lastInTable),
                                                _mm256_cmpgt_epi32(_mm256_setzero_si256(), rowCounts));
        if (!_mm256_testz_si256(outside, outside)) {
            const std::int32_t* entry = counts + column * H + row;
            for (int i = 0; i < 8; ++i, entry += H, pixel += 3)
                WritePixel(pixel, colour(*entry));
            return;
        }
        // A run of one count needs no gather.
        const __m256i first = _mm256_broadcastd_epi32(_mm256_castsi256_si128(rowCounts));
        const __m256i colours =
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(rowCounts, first)) == -1
                ? _mm256_set1_epi32(static_cast<int>(colour.colours[_mm256_cvtsi256_si32(rowCounts)]))
                : _mm256_i32gather_epi32(reinterpret_cast<const int*>(colour.colours), rowCounts, 4);
        // Twelve bytes in each half, then the 24 side by side.
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(colours, bgr),
                                                          _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(pixel + 16), _mm256_extracti128_si256(bytes, 1));
    }
};
} // namespace

// Eight pixels of a row at a time, as on AVX-512: a tile of eight columns by
// eight rows is read a column at a time and transposed, unless it holds one
// count; at the edges the counts are gathered across the columns.
NIVO_AVX2 void FrameColourer::ColourTileAvx2(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn,
                                             std::int32_t firstRow, std::int32_t lastRow)
{
    const ColourTable::Lookup colour = job.colours->View();
    BYTE* const topRow = job.topRow;
    const std::ptrdiff_t pitch = job.pitch;
    const std::ptrdiff_t H = job.H;
    const __m256i across =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(job.H));
    const RowPainter8 put {colour, job.counts, H, _mm256_set1_epi32(static_cast<int>(colour.size) - 1),
                           _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5,
                                            4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1)};
    std::int32_t tiled = firstColumn;
    if (lastRow - firstRow == 16)
        for (; tiled + 8 <= lastColumn; tiled += 8)
            for (std::int32_t row = firstRow; row < lastRow; row += 8) {
                __m256i tile[8];
                LoadTile8(tile, job.counts, H, tiled, row);
                for (int i = 0; i < 8; ++i)
                    put.Paint(tile[i], row + i, tiled, topRow + (row + i) * pitch + std::ptrdiff_t(tiled) * 3);
            }
    for (std::int32_t column = tiled; column < lastColumn; ++column)
        Prefetch(job.counts + column * H + firstRow);
    for (std::int32_t row = firstRow; row < lastRow; ++row) {
        std::int32_t column = tiled;
        const std::int32_t* entry = job.counts + column * H + row;
        BYTE* pixel = topRow + row * pitch + std::ptrdiff_t(column) * 3;
        for (; column + 8 <= lastColumn; column += 8, entry += 8 * H, pixel += 24)
            put.Paint(_mm256_i32gather_epi32(entry, across, 4), row, column, pixel);
        for (; column < lastColumn; ++column, entry += H, pixel += 3)
            WritePixel(pixel, colour(*entry));
    }
}
