#pragma once
// What this process holds: the address space reserved at its peak, and the
// libraries mapped into it.
#include <cstdint>
#include <functional>

// An allocation the system grants reserves its whole size at once, even
// before a byte of it is used: the peak shows a huge buffer that was had,
// while one that was refused leaves no trace.
std::int64_t PeakAddressSpace();

// Whether a file whose path holds `part` is mapped into this process.
bool Mapped(const char* part);

// The exit status of `body` run in a child process whose address space can
// grow by `room` bytes past what this one holds now; -1 when it died.
int ExitStatusWithRoom(std::int64_t room, const std::function<int()>& body);

constexpr std::int64_t kMiB = std::int64_t(1) << 20;
