#include "CoordinateText.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {
constexpr std::size_t kMaxText = 24;
}

std::string CoordinateText(const char* label, double value)
{
    char text[kMaxText + 1];
    // A label that fills the text leaves no room for the number.
    const std::size_t prefix = std::min(std::strlen(label), kMaxText);
    std::memcpy(text, label, prefix);
    char* const end = text + kMaxText;
    // to_chars ignores the locale, so the separator is always a point.
    auto fixed = std::to_chars(text + prefix, end, value, std::chars_format::fixed, 10);
    if (fixed.ec == std::errc())
        return std::string(text, fixed.ptr);
    // Too long for fixed notation: the same value in scientific form.
    auto scientific = std::to_chars(text + prefix, end, value, std::chars_format::scientific, 9);
    if (scientific.ec == std::errc())
        return std::string(text, scientific.ptr);
    return std::string(text, prefix);
}
