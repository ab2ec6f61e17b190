#pragma once
// Process-wide cache of up to four memory device contexts shared by every
// frame image. Slots are only ever touched by atomic exchange.
#include <array>
#include <atomic>

#include "platform/WinTypes.h"

class MemoryDCCache {
public:
    static constexpr int kSlots = 4;

    static MemoryDCCache& Instance();

    HDC TakeDC();
    void ReturnDC(HDC dc);
    // Deletes every cached context; runs at process exit.
    void DeleteAll();
    // What slot i holds right now (for inspection only).
    HDC Peek(int slot) const { return m_slots[slot].load(); }

    MemoryDCCache() = default;
    ~MemoryDCCache();
    MemoryDCCache(const MemoryDCCache&) = delete;
    MemoryDCCache& operator=(const MemoryDCCache&) = delete;

private:
    std::array<std::atomic<HDC>, kSlots> m_slots {};
};
