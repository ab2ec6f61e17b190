#pragma once
// Memory passes over large blocks (zeroing, copying pixels) shared among a
// few cores: one core alone cannot use the memory's bandwidth.
#include <cstdint>
#include <functional>

// Calls part(first, last) over consecutive ranges covering [0, count), a
// range a core, as many cores (up to four) as `bytes` in all make worth it;
// returns once every part is done. A core that cannot be had leaves its part
// to the calling thread.
void SplitAmongCores(std::int64_t count, std::int64_t bytes,
                     const std::function<void(std::int64_t first, std::int64_t last)>& part);
