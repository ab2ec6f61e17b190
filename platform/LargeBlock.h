#pragma once
// Zeroed memory for the big buffers of a picture (counts, sections). Blocks
// of a few megabytes come in 2 MiB pages where the system offers them: a
// picture's first touch of its memory then costs a handful of faults instead
// of one every 4 KiB. Smaller blocks, or a system without such pages, get
// ordinary zeroed memory.
#include <cstddef>

namespace LargeBlock {
// Null when the memory cannot be had.
void* AllocateZeroed(std::size_t size);
// `size` as given to AllocateZeroed; null is allowed.
void Release(void* block, std::size_t size);
} // namespace LargeBlock
