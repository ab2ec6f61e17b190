#pragma once
// The bytes of a PNG's rows, made from a section's: each pixel's difference
// from the one above it (the Up filter) or from the one on its left (Sub) in
// red, green, blue, and the Adler-32 sum of what is deflated. With vectors
// where the processor has them.
#include <cstddef>
#include <cstdint>

#include "WinTypes.h"

namespace PngRows {
void FilterUp(const BYTE* row, const BYTE* above, std::int32_t width, BYTE* out);
void FilterSub(const BYTE* row, std::int32_t width, BYTE* out);
// As zlib's adler32.
std::uint32_t Adler32(std::uint32_t adler, const BYTE* data, std::size_t size);
} // namespace PngRows
