#pragma once
// Colours the frame image from the iteration buffer, pixel (c, r) from entry
// c * H + r. Threads take blocks of whole columns, so that the calling
// thread can tell, in column order, how many pixels of the buffer's order
// are written.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "fractal/ColumnScheduler.h"
#include "fractal/ComputeSettings.h"
#include "fractal/WorkerPool.h"
#include "platform/WinTypes.h"

class CDibImage;
class ColourTable;

class FrameColourer {
public:
    // Called on the calling thread with the number of leading buffer entries
    // whose pixels are written, growing, the last time with W * H.
    using Written = std::function<void(std::int64_t pixels)>;

    // The image must be the 24-bit W x H section the buffer was made for.
    void Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                const ColourTable& colours, const Written& written);
    // The same bytes, on the calling thread alone, into H rows of W pixels
    // (row r at topRow + r * pitch).
    static void ColourRows(const std::int32_t* counts, std::int32_t W, std::int32_t H, const ColourTable& colours,
                           BYTE* topRow, std::ptrdiff_t pitch);
    // Sections of this many bytes or more are stored past the cache.
    static std::int64_t StreamedBytes();

private:
    struct Job {
        BYTE* topRow;
        std::ptrdiff_t pitch;
        const std::int32_t* counts;
        std::int32_t W;
        std::int32_t H;
        const ColourTable* colours;
        Kernel kernel;
        bool stream; // whole lines stored past the cache
    };

    void ColourBlocks(const Job& job, bool reports);
    static void ColourBlock(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn);
    static void ColourTile(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn, std::int32_t firstRow,
                           std::int32_t lastRow);
    static void ColourTileAvx2(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn,
                               std::int32_t firstRow, std::int32_t lastRow);
    static void ColourTileAvx512(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn,
                                 std::int32_t firstRow, std::int32_t lastRow);

    WorkerPool m_pool;
    ColumnScheduler m_blocks;
};
