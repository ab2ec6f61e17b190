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

const char* KernelName(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Avx512:
        return "AVX-512";
    case Kernel::Avx2:
        return "AVX2";
    case Kernel::Scalar:
        break;
    }
    return "scalar";
}
