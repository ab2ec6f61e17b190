#pragma once
// Kernel services the program uses: atomic slot exchange.
#include <atomic>

template <class T>
T InterlockedExchange(std::atomic<T>* target, T value)
{
    return target->exchange(value, std::memory_order_acq_rel);
}
