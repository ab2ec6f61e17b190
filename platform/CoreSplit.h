#pragma once
// Memory passes over large blocks (zeroing, copying pixels) shared among a
// few cores: one core alone cannot use the memory's bandwidth.
#include <cstdint>
#include <functional>

// Calls part(first, last) over consecutive ranges covering [0, count), on
// the calling thread and as many other cores (up to four in all) as `bytes`
// in all make worth it; returns once every range is done. The calling
// thread takes whatever no other core has taken.
void SplitAmongCores(std::int64_t count, std::int64_t bytes,
                     const std::function<void(std::int64_t first, std::int64_t last)>& part);
