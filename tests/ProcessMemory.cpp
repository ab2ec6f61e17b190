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

bool Mapped(const char* part)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}
