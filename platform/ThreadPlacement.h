#pragma once
// Where helper threads run. On a virtual machine an idle processor has
// halted and counts as taken: a thread started or woken by a busy one then
// waits behind it for a scheduler tick or more (here most new threads ran
// on their starter's processor, once it blocked: 2.8 ms in the median).
// Kept off the starter's processor, a thread runs on another at once
// (0.1 ms).
#include <pthread.h>

#include <functional>
#include <thread>

namespace ThreadPlacement {
// Keeps `thread`, which must not have ended, off the calling thread's
// processor, free among the others the caller may use; where there is no
// other, the system places it.
void KeepOffCallers(pthread_t thread);
// Starts `body` on a new thread kept off the calling thread's processor.
// May throw what std::thread throws.
std::thread StartOffCallers(std::function<void()> body);
} // namespace ThreadPlacement
