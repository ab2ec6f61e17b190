#include "MemoryDCCache.h"

#include "platform/Gdi32.h"
#include "platform/Kernel32.h"

MemoryDCCache& MemoryDCCache::Instance()
{
    static MemoryDCCache cache;
    return cache;
}

MemoryDCCache::~MemoryDCCache() { DeleteAll(); }

HDC MemoryDCCache::TakeDC()
{
    for (auto& slot : m_slots) {
        HDC dc = InterlockedExchange<HDC>(&slot, nullptr);
        if (dc)
            return dc;
    }
    return CreateCompatibleDC(nullptr);
}

void MemoryDCCache::ReturnDC(HDC dc)
{
    // The returned context enters slot 0 and pushes older ones along;
    // whatever falls off the end is deleted.
    for (auto& slot : m_slots) {
        dc = InterlockedExchange<HDC>(&slot, dc);
        if (!dc)
            return;
    }
    DeleteDC(dc);
}

void MemoryDCCache::DeleteAll()
{
    for (auto& slot : m_slots)
        if (HDC dc = InterlockedExchange<HDC>(&slot, nullptr))
            DeleteDC(dc);
}
