#include "ThreadPlacement.h"

#include <sched.h>

#include <atomic>
#include <memory>

namespace ThreadPlacement {
void KeepOffCallers(pthread_t thread)
{
    const int current = sched_getcpu();
    cpu_set_t others;
    if (current < 0 || current >= CPU_SETSIZE || sched_getaffinity(0, sizeof others, &others) != 0)
        return;
    CPU_CLR(current, &others);
    if (CPU_COUNT(&others) > 0)
        pthread_setaffinity_np(thread, sizeof others, &others);
}

std::thread StartOffCallers(std::function<void()> body)
{
    // The thread waits to be placed: one that had already ended would have
    // no thread id left, and the system would place the caller instead.
    const auto placed = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([placed, body = std::move(body)] {
        placed->wait(false);
        body();
    });
    KeepOffCallers(thread.native_handle());
    placed->store(true);
    placed->notify_one();
    return thread;
}
} // namespace ThreadPlacement
