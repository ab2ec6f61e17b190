#pragma once
// Colours the frame image from the iteration buffer, pixel (c, r) from entry
// c * H + r, with the rows shared between the threads. Rows are written
// whole, so no two threads share a cache line but at a band's edge.
#include <atomic>
#include <cstdint>

#include "fractal/WorkerPool.h"

class CDibImage;
class ColourTable;

class FrameColourer {
public:
    // The image must be the 24-bit W x H section the buffer was made for.
    void Colour(CDibImage& image, const std::int32_t* counts, std::int32_t W, std::int32_t H,
                const ColourTable& colours);

private:
    struct Job {
        CDibImage* image;
        const std::int32_t* counts;
        std::int32_t W;
        std::int32_t H;
        const ColourTable* colours;
    };

    void ColourBands(const Job& job);
    static void ColourTile(const Job& job, std::int32_t firstColumn, std::int32_t lastColumn, std::int32_t firstRow,
                           std::int32_t lastRow);

    WorkerPool m_pool;
    std::atomic<std::int32_t> m_nextBand {0};
};
