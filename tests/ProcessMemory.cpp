#include "ProcessMemory.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {
std::int64_t AddressSpace()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoll(line.substr(7)) * 1024;
    return 0;
}
} // namespace

int ExitStatusWithRoom(std::int64_t room, const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const rlim_t limit = rlim_t(AddressSpace() + room);
        const rlimit space {limit, limit};
        _exit(setrlimit(RLIMIT_AS, &space) == 0 ? body() : 2);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
