#include "ProgramFolder.h"

#include <unistd.h>

#include <climits>

std::string ProgramFolder()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return ".";
    const std::string exe(buffer, std::size_t(length));
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}
