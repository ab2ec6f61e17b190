#include "ComputeSettings.h"

#include <algorithm>
#include <thread>

namespace {
ComputeSettings& Stored()
{
    static ComputeSettings settings;
    return settings;
}
} // namespace

ComputeSettings ComputeSettings::Current() { return Stored(); }

void ComputeSettings::Set(const ComputeSettings& settings) { Stored() = settings; }

int ComputeSettings::ResolvedThreads() const
{
    if (threads > 0)
        return threads;
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}
