#include "ProcessMemory.h"

#include <fstream>
#include <string>

std::int64_t PeakAddressSpace()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    std::int64_t kibibytes = 0;
    while (status >> key) {
        if (key == "VmPeak:" && status >> kibibytes)
            return kibibytes * 1024;
        status.ignore(1 << 16, '\n');
    }
    return -1;
}
