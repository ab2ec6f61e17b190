#include "WorkerPool.h"

#include <sched.h>

#include <algorithm>
#include <system_error>

#include "platform/ThreadPlacement.h"

WorkerPool::~WorkerPool() { StopWorkers(); }

void WorkerPool::StopWorkers()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        // Threads started later begin with nothing to do.
        m_wanted = 0;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_placed = 0;
    m_stopping = false;
}

void WorkerPool::Run(int count, const std::function<void(int)>& task)
{
    if (count > 1)
        count = 1 + Grow(count - 1);
    if (count > 1) {
        PlaceWorkers();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_task = &task;
        m_wanted = count - 1;
        m_running = count - 1;
        ++m_generation;
    }
    m_wake.notify_all();
    // The workers use the caller's data: they must be done before anything leaves here.
    try {
        task(0);
    } catch (...) {
        std::unique_lock<std::mutex> lock(m_mutex);
        WaitForWorkers(lock);
        throw;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    WaitForWorkers(lock);
    lock.unlock();
    if (m_scarce)
        StopWorkers();
}

void WorkerPool::WaitForWorkers(std::unique_lock<std::mutex>& lock)
{
    m_idle.wait(lock, [this] { return m_running == 0; });
    m_task = nullptr;
}

// Woken by a busy thread, a worker would otherwise often share its processor.
void WorkerPool::PlaceWorkers()
{
    const int caller = sched_getcpu();
    if (caller == m_placedOff && m_placed == m_threads.size())
        return;
    for (std::thread& thread : m_threads)
        ThreadPlacement::KeepOffCallers(thread.native_handle());
    m_placedOff = caller;
    m_placed = m_threads.size();
}

int WorkerPool::Grow(int threads)
{
    const bool growing = static_cast<int>(m_threads.size()) < threads;
    while (static_cast<int>(m_threads.size()) < threads) {
        const int index = static_cast<int>(m_threads.size()) + 1;
        try {
            m_threads.emplace_back([this, index] { Serve(index); });
        } catch (const std::system_error&) {
            // Out of threads (a process limit, little memory): work with those there are.
            break;
        }
    }
    if (growing)
        m_scarce = static_cast<int>(m_threads.size()) < threads || !CanStartOneMore();
    return std::min(threads, static_cast<int>(m_threads.size()));
}

bool WorkerPool::CanStartOneMore() const
{
    try {
        std::thread([] {}).join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void WorkerPool::Serve(int index)
{
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || (m_generation != seen && index <= m_wanted); });
        if (m_stopping)
            return;
        seen = m_generation;
        const std::function<void(int)>& task = *m_task;
        lock.unlock();
        task(index);
        lock.lock();
        if (--m_running == 0)
            m_idle.notify_one();
    }
}
