#pragma once
// How much address space this process has reserved at its peak. An
// allocation the system grants reserves its whole size at once, even before
// a byte of it is used: the peak shows a huge buffer that was had, while one
// that was refused leaves no trace.
#include <cstdint>

std::int64_t PeakAddressSpace();

constexpr std::int64_t kMiB = std::int64_t(1) << 20;
