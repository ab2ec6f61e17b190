#include "CoreSplit.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "ThreadPlacement.h"

namespace {
// The parts, taken in turn by the calling thread and its helpers. A helper
// that starts late, on a busy machine, finds nothing left and ends: nobody
// waits for it to start, only for the parts it took to be done.
struct Parts {
    std::int64_t count = 0;
    std::int64_t total = 0;
    const std::function<void(std::int64_t, std::int64_t)>* part = nullptr; // while any part is not done
    std::atomic<std::int64_t> next {0};
    std::atomic<std::int64_t> done {0};
    std::mutex mutex;
    std::condition_variable allDone;

    void Take()
    {
        for (std::int64_t p; (p = next.fetch_add(1)) < total;) {
            (*part)(count * p / total, count * (p + 1) / total);
            if (done.fetch_add(1) + 1 == total) {
                std::lock_guard lock(mutex);
                allDone.notify_all();
            }
        }
    }
};
} // namespace

void SplitAmongCores(std::int64_t count, std::int64_t bytes,
                     const std::function<void(std::int64_t first, std::int64_t last)>& part)
{
    // Below this a thread's start costs more than its share saves.
    constexpr std::int64_t kBytesEach = std::int64_t(2) << 20;
    // Parts a core: a helper held up in its part holds up the rest less.
    constexpr std::int64_t kPartsEach = 4;
    static const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    const auto helpers = std::clamp<std::int64_t>(std::min(bytes / kBytesEach, count), 1, cores) - 1;
    if (helpers == 0) {
        part(0, count);
        return;
    }
    const auto parts = std::make_shared<Parts>();
    parts->count = count;
    parts->total = std::min(count, (helpers + 1) * kPartsEach);
    parts->part = &part;
    for (std::int64_t h = 0; h < helpers; ++h) {
        try {
            ThreadPlacement::StartOffCallers([parts] { parts->Take(); }).detach();
        } catch (const std::system_error&) {
            break; // the calling thread takes what no helper does
        }
    }
    parts->Take();
    std::unique_lock lock(parts->mutex);
    parts->allDone.wait(lock, [&] { return parts->done.load() == parts->total; });
}
