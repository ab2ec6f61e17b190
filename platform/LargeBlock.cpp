#include "LargeBlock.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;

bool TakesHugePages(std::size_t size) { return size >= kHugePage; }

std::size_t MappedSize(std::size_t size) { return (size + kHugePage - 1) / kHugePage * kHugePage; }
} // namespace

void* LargeBlock::AllocateZeroed(std::size_t size)
{
    if (!TakesHugePages(size))
        return std::calloc(size, 1);
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

void LargeBlock::Release(void* block, std::size_t size)
{
    if (!block)
        return;
    if (TakesHugePages(size))
        ::munmap(block, MappedSize(size));
    else
        std::free(block);
}
