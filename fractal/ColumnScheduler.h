#pragma once
// Computes columns on worker threads while the calling thread hears about
// each finished column in column order, so that it can report progress itself.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ColumnScheduler {
public:
    // Worker threads for later runs; 0 means one per core.
    static void SetThreadCount(int threads);
    static int ThreadCount();

    // Runs work(c) for c in [0, columns) and calls done(c) on this thread,
    // in increasing c, once columns 0..c are all finished.
    static void Run(std::int32_t columns, const std::function<void(std::int32_t)>& work,
                    const std::function<void(std::int32_t)>& done);
};
