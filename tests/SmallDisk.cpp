#include "SmallDisk.h"

#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <utility>
#include <vector>

SmallDisk::SmallDisk(std::string folder, const char* size) : m_folder(std::move(folder))
{
    const std::string options = std::string("size=") + size;
    m_mounted = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                && mount("tmpfs", m_folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        umount2(m_folder.c_str(), MNT_DETACH);
}

bool SmallDisk::MakeReadOnly()
{
    return m_mounted && mount(nullptr, m_folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

bool SmallDisk::Fill(const std::string& name, long spare)
{
    const int fd = open((m_folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // Shorter and shorter writes take the last bytes of a partly used page too.
    const std::vector<char> bytes(4096, 'f');
    std::size_t chunk = bytes.size();
    bool full = false;
    while (!full) {
        if (write(fd, bytes.data(), chunk) >= 0)
            continue;
        if (errno != ENOSPC)
            break;
        if (chunk == 1)
            full = true;
        chunk = 1;
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    full = full && size >= spare && ftruncate(fd, size - spare) == 0;
    close(fd);
    return full;
}
