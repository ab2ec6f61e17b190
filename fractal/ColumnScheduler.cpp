#include "ColumnScheduler.h"

#include <algorithm>
#include <memory>

namespace {
std::atomic<int> g_threads {0};

// One run's shared state; scratch that grows with the widest picture and is reused.
struct RunState {
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::uint8_t> done;
    std::atomic<std::int32_t> next {0};
};

RunState& State()
{
    static RunState state;
    return state;
}
} // namespace

void ColumnScheduler::SetThreadCount(int threads) { g_threads = std::max(0, threads); }

int ColumnScheduler::ThreadCount()
{
    const int wanted = g_threads;
    return wanted > 0 ? wanted : std::max(1u, std::thread::hardware_concurrency());
}

void ColumnScheduler::Run(std::int32_t columns, const std::function<void(std::int32_t)>& work,
                          const std::function<void(std::int32_t)>& done)
{
    const int threads = std::min<std::int64_t>(ThreadCount(), columns);
    if (threads <= 1) {
        for (std::int32_t c = 0; c < columns; ++c) {
            work(c);
            done(c);
        }
        return;
    }
    RunState& state = State();
    if (state.done.size() < std::size_t(columns))
        state.done.resize(std::size_t(columns));
    std::fill(state.done.begin(), state.done.begin() + columns, 0);
    state.next = 0;

    auto worker = [&] {
        for (std::int32_t c; (c = state.next.fetch_add(1)) < columns;) {
            work(c);
            std::lock_guard lock(state.mutex);
            state.done[c] = 1;
            state.finished.notify_one();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(worker);
    for (std::int32_t c = 0; c < columns; ++c) {
        std::unique_lock lock(state.mutex);
        state.finished.wait(lock, [&] { return state.done[c] != 0; });
        lock.unlock();
        done(c);
    }
    for (std::thread& t : pool)
        t.join();
}
