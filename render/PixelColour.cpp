#include "PixelColour.h"

#include <cmath>
#include <cstdlib>

namespace {
// Truncating double-to-int conversion as the x86 instruction does it:
// anything out of range (or not a number) becomes INT32_MIN.
std::int32_t TruncateToInt(double value)
{
    return std::fabs(value) < 2147483648.0 ? static_cast<std::int32_t>(value) : INT32_MIN;
}
} // namespace

BYTE ShadeByte(std::int32_t value)
{
    const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(value));
    return static_cast<BYTE>(magnitude % 255);
}

COLORREF PixelColour(std::int32_t count, std::int32_t limit)
{
    if (TruncateToInt((count * 10.0) / limit) > 9)
        return RGB(255, 255, 255);
    const double doubled = static_cast<double>(std::int64_t(count) + count);
    const BYTE b = static_cast<BYTE>(TruncateToInt((doubled * 255.0) / limit));
    const BYTE shade = ShadeByte(b - 50);
    return static_cast<COLORREF>(shade) * 65536;
}
