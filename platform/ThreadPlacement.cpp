#include "ThreadPlacement.h"

namespace ThreadPlacement {
bool OthersThanCallers(cpu_set_t& others)
{
    const int current = sched_getcpu();
    if (current < 0 || current >= CPU_SETSIZE || sched_getaffinity(0, sizeof others, &others) != 0)
        return false;
    CPU_CLR(current, &others);
    return CPU_COUNT(&others) > 0;
}

void KeepOffCallers(pthread_t thread)
{
    cpu_set_t others;
    // A thread that cannot be placed runs where the system puts it.
    if (OthersThanCallers(others))
        pthread_setaffinity_np(thread, sizeof others, &others);
}
} // namespace ThreadPlacement
