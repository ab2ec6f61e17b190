#include "ColourTable.h"

#include <algorithm>

namespace {
// Enough for any limit a user waits for; beyond it, a table would cost more
// to fill than the lookups save.
constexpr std::int32_t kLargestCount = 1 << 16;
} // namespace

void ColourTable::Prepare(std::int32_t limit)
{
    if (m_prepared && limit == m_limit)
        return;
    m_prepared = true;
    m_limit = limit;
    // Shrinking keeps the storage, so the next picture allocates nothing.
    m_colours.clear();
    if (limit < 0)
        return;
    m_colours.resize(static_cast<std::size_t>(std::min(limit, kLargestCount)) + 1);
    for (std::size_t count = 0; count < m_colours.size(); ++count)
        m_colours[count] = PixelColour(static_cast<std::int32_t>(count), limit);
}
