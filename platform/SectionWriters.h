#pragma once
// Image files written straight from the rows of a 24-bit section, in one
// pass and through a staged file: a BMP as its header then the rows as they
// lie in memory, a PNG deflated in bands on every core. Nothing is copied or
// converted first, and a failure leaves the old file as it was.
#include <cstdint>
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

namespace SectionWriters {
// Each returns 0, or the errno value that says why the target was kept.
int WriteBmp(const std::string& target, const SectionRows& rows);
int WritePng(const std::string& target, const SectionRows& rows);
} // namespace SectionWriters
