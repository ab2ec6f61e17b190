#pragma once
// What this process holds: the address space reserved at its peak, and the
// libraries mapped into it.
#include <cstdint>

// An allocation the system grants reserves its whole size at once, even
// before a byte of it is used: the peak shows a huge buffer that was had,
// while one that was refused leaves no trace.
std::int64_t PeakAddressSpace();

// Whether a file whose path holds `part` is mapped into this process.
bool Mapped(const char* part);

constexpr std::int64_t kMiB = std::int64_t(1) << 20;
