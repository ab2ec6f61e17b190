#include "BlitRect.h"

#include <algorithm>
#include <cstdint>

namespace {
using Wide = std::int64_t;

// [first, last) of one axis; empty as soon as it holds nothing.
bool ClipAxis(Wide to, Wide length, Wide from, Wide sourceLength, Wide targetLength, int& first, int& last)
{
    const Wide low = std::max({Wide(0), -to, -from});
    const Wide high = std::min({length, targetLength - to, sourceLength - from});
    if (high <= low)
        return false;
    // Both lie within [0, length], which is an int.
    first = static_cast<int>(low);
    last = static_cast<int>(high);
    return true;
}
} // namespace

BlitRect BlitRect::Of(int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                      int targetWidth, int targetHeight)
{
    BlitRect r;
    if (!ClipAxis(x, width, sourceX, sourceWidth, targetWidth, r.left, r.right)
        || !ClipAxis(y, height, sourceY, sourceHeight, targetHeight, r.top, r.bottom))
        return {};
    return r;
}
