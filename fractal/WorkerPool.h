#pragma once
// Threads kept between computes, so that a render does not pay for starting
// them; where threads are scarce (one more could not start), they end with
// each compute, leaving the processes allowed to whoever needs one next.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
public:
    WorkerPool() = default;
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs task(0) on the calling thread and task(1) .. task(count - 1) on pool
    // threads; returns once all of them have returned. When threads cannot
    // be started, fewer tasks run, down to task(0) alone: the tasks must share
    // the work among themselves, not each own a part of it.
    void Run(int count, const std::function<void(int)>& task);

private:
    // Starts threads until there are `threads`; returns how many there are, at most `threads`.
    int Grow(int threads);
    void PlaceWorkers();
    void Serve(int index);
    void WaitForWorkers(std::unique_lock<std::mutex>& lock);
    bool CanStartOneMore() const;
    void StopWorkers();

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    const std::function<void(int)>* m_task = nullptr;
    std::uint64_t m_generation = 0;
    int m_wanted = 0;
    int m_running = 0;
    bool m_stopping = false;
    bool m_scarce = false;
    // The processor the workers were last kept off, for how many of them.
    int m_placedOff = -1;
    std::size_t m_placed = 0;
};
