#pragma once
// The colour rule: blue shades by escape count, white for points inside the set.
#include <cstdint>

#include "platform/WinTypes.h"

BYTE ShadeByte(std::int32_t value);
COLORREF PixelColour(std::int32_t count, std::int32_t limit);
