#include "CoreSplit.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

void SplitAmongCores(std::int64_t count, std::int64_t bytes,
                     const std::function<void(std::int64_t first, std::int64_t last)>& part)
{
    // Below this a thread's start costs more than its share saves.
    constexpr std::int64_t kBytesEach = std::int64_t(2) << 20;
    static const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    const auto parts = std::clamp<std::int64_t>(std::min(bytes / kBytesEach, count), 1, cores);
    const auto startOf = [&](std::int64_t p) { return count * p / parts; };
    std::vector<std::thread> helpers;
    for (std::int64_t p = 1; p < parts; ++p) {
        try {
            helpers.emplace_back(part, startOf(p), startOf(p + 1));
        } catch (const std::system_error&) {
            part(startOf(p), startOf(p + 1));
        }
    }
    part(0, startOf(1));
    for (std::thread& helper : helpers)
        helper.join();
}
