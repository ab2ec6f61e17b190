#include "ThreadPlacement.h"

#include <sched.h>

namespace ThreadPlacement {
void KeepOffCallers(pthread_t thread)
{
    const int current = sched_getcpu();
    cpu_set_t others;
    if (current < 0 || current >= CPU_SETSIZE || sched_getaffinity(0, sizeof others, &others) != 0)
        return;
    CPU_CLR(current, &others);
    if (CPU_COUNT(&others) > 0)
        pthread_setaffinity_np(thread, sizeof others, &others);
}
} // namespace ThreadPlacement
