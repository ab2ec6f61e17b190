#pragma once
// Where helper threads may run, as they see it. The caller keeps busy until
// a helper has done some of the work, as a busy caller would: a helper left
// on the caller's processor would wait for it.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <thread>

class HelperThreads {
public:
    // The processors the caller may use.
    static int CallersProcessors()
    {
        cpu_set_t mine;
        return sched_getaffinity(0, sizeof mine, &mine) == 0 ? CPU_COUNT(&mine) : 0;
    }

    // Called by every thread doing the work: a helper notes how many
    // processors it may use; the caller waits for one (ten seconds at most).
    void Work()
    {
        if (std::this_thread::get_id() != m_caller) {
            cpu_set_t own;
            if (pthread_getaffinity_np(pthread_self(), sizeof own, &own) == 0)
                m_helperProcessors = CPU_COUNT(&own);
            return;
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_helperProcessors < 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    }

    // -1 when no helper did any work.
    int HelperProcessors() const { return m_helperProcessors; }

private:
    const std::thread::id m_caller = std::this_thread::get_id();
    std::atomic<int> m_helperProcessors {-1};
};
