#include "LargeBlock.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "CoreSplit.h"

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;

bool TakesHugePages(std::size_t size) { return size >= kHugePage; }

std::size_t MappedSize(std::size_t size) { return (size + kHugePage - 1) / kHugePage * kHugePage; }

// The one mapped block kept after its release, for Allocate.
struct Kept {
    std::mutex mutex;
    void* block = nullptr;
    std::size_t size = 0;
};

Kept& KeptBlock()
{
    static auto* kept = new Kept; // never destroyed: blocks may be released from exit handlers
    return *kept;
}

void Unmap(void* block, std::size_t size) { ::munmap(block, MappedSize(size)); }

// The kept block when it has the size asked for, else null.
void* TakeKept(std::size_t size)
{
    Kept& kept = KeptBlock();
    std::lock_guard lock(kept.mutex);
    if (kept.block && MappedSize(kept.size) == MappedSize(size))
        return std::exchange(kept.block, nullptr);
    return nullptr;
}

void* MapZeroed(std::size_t size)
{
    // Mapped a page longer, then trimmed to start on a 2 MiB boundary.
    const std::size_t mapped = MappedSize(size);
    void* raw = ::mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (const std::size_t tail = kHugePage - (aligned - start))
        ::munmap(reinterpret_cast<void*>(aligned + mapped), tail);
    // Advice only: without transparent huge pages the block is ordinary memory.
    ::madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}
} // namespace

// Zeroing a kept block costs less than the system's zeroing of a new one,
// which a virtual machine may also have to fault in from its host.
void* LargeBlock::AllocateZeroed(std::size_t size)
{
    if (!TakesHugePages(size))
        return std::calloc(size, 1);
    if (void* kept = TakeKept(size)) {
        auto* bytes = static_cast<char*>(kept);
        SplitAmongCores(std::int64_t(size), std::int64_t(size), [bytes](std::int64_t first, std::int64_t last) {
            std::memset(bytes + first, 0, std::size_t(last - first));
        });
        return kept;
    }
    return MapZeroed(size);
}

void* LargeBlock::Allocate(std::size_t size)
{
    if (TakesHugePages(size))
        if (void* kept = TakeKept(size))
            return kept;
    return AllocateZeroed(size);
}

void LargeBlock::Release(void* block, std::size_t size)
{
    if (!block)
        return;
    if (!TakesHugePages(size)) {
        std::free(block);
        return;
    }
    Kept& kept = KeptBlock();
    std::lock_guard lock(kept.mutex);
    if (kept.block)
        Unmap(kept.block, kept.size);
    kept.block = block;
    kept.size = size;
}
