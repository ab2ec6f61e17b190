#include "StagedFile.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

namespace {
constexpr int kNameAttempts = 100;
// The kernel's own limit on links followed in one path.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Each link is read relative to the folder it lies in.
std::string FollowLinks(std::string path)
{
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == ssize_t(sizeof target))
            return path;
        const std::string next(target, std::size_t(length));
        path = next.front() == '/' ? next : FolderOf(path) + '/' + next;
    }
    return path;
}

// A hidden name beside the target, such as ".test.avi.k3T9xQ".
std::string HiddenName(const std::string& folder, const std::string& name)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random {std::random_device {}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kLetters) - 2);
    std::string hidden = folder + "/." + name + '.';
    for (int i = 0; i < 6; ++i)
        hidden += kLetters[pick(random)];
    return hidden;
}

// A new name survives a power cut only once its folder is written too.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Open(const std::string& target, Staging staging, Links links)
{
    Discard();
    m_error = 0;
    m_target = links == Links::Follow ? FollowLinks(target) : target;
    m_folder = FolderOf(m_target);
    if (NameOf(m_target).empty())
        return Fail(EISDIR);
    struct stat old {};
    const bool exists = ::lstat(m_target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return Fail(errno);
    // A link left here (Replace, or one that could not be followed) is itself
    // replaced: what it names is never opened.
    const bool file = exists && !S_ISLNK(old.st_mode);
    // A rename would replace a device or a pipe instead of writing to it.
    if (file && !S_ISREG(old.st_mode))
        return Fail(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    // A file its owner made read-only is not to be replaced either.
    if (file && ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(errno);
    if (staging == Staging::Unnamed)
        m_fd = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && !CreateNamed())
        return Fail(errno);
    // The new file keeps the permissions of the one it replaces.
    if (file)
        ::fchmod(m_fd, old.st_mode & 07777);
    return true;
}

bool StagedFile::CreateNamed()
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = HiddenName(m_folder, NameOf(m_target));
        m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_stagingName = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool StagedFile::Write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (Intact() && size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            Fail(written < 0 ? errno : ENOSPC);
            m_failed = true;
            break;
        }
        bytes += written;
        size -= std::size_t(written);
    }
    return Intact();
}

std::int64_t StagedFile::Seek(std::int64_t offset, int whence)
{
    if (!Intact())
        return -1;
    const off_t position = ::lseek(m_fd, offset, whence);
    // Headers are completed by seeking back: a seek that fails spoils the file.
    if (position < 0) {
        Fail(errno);
        m_failed = true;
    }
    return position;
}

std::int64_t StagedFile::Size() const
{
    struct stat info {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 ? std::int64_t(info.st_size) : -1;
}

bool StagedFile::Commit()
{
    if (m_fd < 0 && m_error == 0)
        m_error = EBADF;
    // The data must be on the disk before the name moves to it.
    const bool placed = Intact() && (::fsync(m_fd) == 0 || Fail(errno)) &&
                        ((m_stagingName.empty() ? PlaceUnnamed() : Replace(m_stagingName)) || Fail(errno));
    if (!placed) {
        Discard();
        return false;
    }
    ::close(m_fd);
    m_fd = -1;
    m_stagingName.clear();
    SyncFolder(m_folder);
    return true;
}

// A link cannot replace an existing file, a rename can: the unnamed file
// gets a hidden name first, which then takes the target's place.
bool StagedFile::PlaceUnnamed()
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = HiddenName(m_folder, NameOf(m_target));
        if (GiveName(name)) {
            if (Replace(name))
                return true;
            const int error = errno;
            ::unlink(name.c_str());
            errno = error;
            return false;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Through /proc any user may name the file; the direct form needs a
// privilege, and serves where /proc is not mounted.
bool StagedFile::GiveName(const std::string& name) const
{
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    return ::linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

bool StagedFile::Replace(const std::string& name) const { return ::rename(name.c_str(), m_target.c_str()) == 0; }

bool StagedFile::Fail(int error)
{
    if (m_error == 0)
        m_error = error != 0 ? error : EIO;
    return false;
}

int StagedFile::Store(const std::string& target, const void* data, std::size_t size, Links links)
{
    StagedFile file;
    if (file.Open(target, Staging::Unnamed, links) && file.Write(data, size) && file.Commit())
        return 0;
    return file.Error();
}

void StagedFile::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_stagingName.empty())
        ::unlink(m_stagingName.c_str());
    m_stagingName.clear();
    m_failed = false;
}
