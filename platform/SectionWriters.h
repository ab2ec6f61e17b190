#pragma once
// Image files written straight from the rows of a 24-bit section, or from
// rows made a band at a time, in one pass and through a staged file: a BMP
// as its header then the rows as they lie in memory, a PNG deflated in bands.
// Bands are taken by every core. Nothing is copied or converted first, and a
// failure leaves the old file as it was.
#include <cstdint>
#include <memory>
#include <string>

#include "WinTypes.h"

struct SectionRows {
    const BYTE* topRow;      // blue, green, red
    std::int64_t pitch;      // from a row to the one below it; negative when stored bottom-up
    std::int32_t width;
    std::int32_t height;
    std::int32_t dotsPerMeterX;
    std::int32_t dotsPerMeterY;
};

// Rows made a band at a time, on whichever thread writes the band, so that
// a picture need never be whole in memory.
class RowBands {
public:
    class Maker {
    public:
        virtual ~Maker() = default;
        // Rows first to last - 1, valid until the next call; may throw std::bad_alloc.
        virtual SectionRows Rows(std::int32_t first, std::int32_t last) = 0;
    };

    RowBands(std::int32_t width, std::int32_t height, std::int32_t dotsPerMeterX, std::int32_t dotsPerMeterY,
             int threads)
        : width(width), height(height), dotsPerMeterX(dotsPerMeterX), dotsPerMeterY(dotsPerMeterY), threads(threads)
    {
    }
    virtual ~RowBands() = default;
    // One for each thread that writes bands.
    virtual std::unique_ptr<Maker> NewMaker() const = 0;
    // On the calling thread, after each band it wrote: how many of them are written.
    virtual void Written(std::int32_t bands, std::int32_t total) const = 0;

    const std::int32_t width;
    const std::int32_t height;
    const std::int32_t dotsPerMeterX;
    const std::int32_t dotsPerMeterY;
    const int threads; // 0: one per core
};

namespace SectionWriters {
// Each returns 0, or the errno value that says why the target was kept.
int WriteBmp(const std::string& target, const SectionRows& rows);
int WritePng(const std::string& target, const SectionRows& rows);
int WriteBmp(const std::string& target, const RowBands& bands);
int WritePng(const std::string& target, const RowBands& bands);
} // namespace SectionWriters
