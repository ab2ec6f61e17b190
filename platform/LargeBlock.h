#pragma once
// Zeroed memory for the big buffers of a picture (counts, sections). Blocks
// of a few megabytes come in 2 MiB pages where the system offers them: a
// picture's first touch of its memory then costs a handful of faults instead
// of one every 4 KiB. Smaller blocks, or a system without such pages, get
// ordinary zeroed memory.
#include <cstddef>

namespace LargeBlock {
// Null when the memory cannot be had. The block last released, when it has
// that size, is zeroed and given again.
void* AllocateZeroed(std::size_t size);
// For contents that are all written before they are read: the block last
// released, when it has that size, comes back as it is, so that a picture
// as large as the one before it neither faults nor zeroes its memory again.
void* Allocate(std::size_t size);
// `size` as given when the block was allocated; null is allowed.
void Release(void* block, std::size_t size);
} // namespace LargeBlock
