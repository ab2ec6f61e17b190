#include "StagedFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
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

// Links in a sticky folder anyone may write to are followed only when they
// belong to the user or to the folder's owner: anyone else may have planted
// them there to have another's file replaced.
bool MayFollow(const std::string& link, const struct stat& info)
{
    struct stat folder {};
    if (::stat(FolderOf(link).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || info.st_uid == ::geteuid() || info.st_uid == folder.st_uid;
}

// Each link is read relative to the folder it lies in. False when a link may
// not be followed.
bool FollowLinks(std::string& path)
{
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        if (!MayFollow(path, info)) {
            errno = EACCES;
            return false;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || length == ssize_t(sizeof target))
            return true;
        const std::string next(target, std::size_t(length));
        path = next.front() == '/' ? next : FolderOf(path) + '/' + next;
    }
    errno = ELOOP;
    return false;
}

// A short hidden name, such as ".nivo-k3T9xQ": short, so that it fits beside
// a target whose name takes all the system allows.
std::string HiddenName()
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random {std::random_device {}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kLetters) - 2);
    std::string hidden = ".nivo-";
    for (int i = 0; i < 6; ++i)
        hidden += kLetters[pick(random)];
    return hidden;
}

// A new name survives a power cut only once its folder is written too.
void SyncFolder(int folder)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Named staging files, which an interrupted process removes on its way out.
// Only what a signal handler may touch: fixed slots, claimed atomically.
struct Leftover {
    std::atomic<bool> used {false};
    int folder = -1;
    char name[16] {};
};
Leftover leftovers[16];
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveLeftoversAndStop(int signal)
{
    for (Leftover& leftover : leftovers)
        if (leftover.used.load())
            ::unlinkat(leftover.folder, leftover.name, 0);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Installed once, and only where the program has not chosen what the signal does.
void RemoveLeftoversOnStop()
{
    static const bool installed = [] {
        for (const int signal : kStopSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
                ::signal(signal, RemoveLeftoversAndStop);
        }
        return true;
    }();
    (void)installed;
}

Leftover* Remember(int folder, const std::string& name)
{
    RemoveLeftoversOnStop();
    for (Leftover& leftover : leftovers) {
        bool free = false;
        if (leftover.used.load() || !leftover.used.compare_exchange_strong(free, true))
            continue;
        // Marked used before it is filled: a handler may unlink a name not yet there, harmlessly.
        leftover.folder = folder;
        std::strncpy(leftover.name, name.c_str(), sizeof leftover.name - 1);
        return &leftover;
    }
    return nullptr;
}

void Forget(int folder, const std::string& name)
{
    for (Leftover& leftover : leftovers)
        if (leftover.used.load() && leftover.folder == folder && name == leftover.name)
            leftover.used.store(false);
}

// Between its naming and its rename, an unnamed file has a name a kill would leave behind.
class StopSignalsHeld {
public:
    StopSignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kStopSignals)
            sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &m_before);
    }
    ~StopSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_before, nullptr); }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t m_before {};
};
} // namespace

StagedFile::~StagedFile()
{
    Discard();
    CloseFolder();
}

void StagedFile::CloseFolder()
{
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = -1;
}

bool StagedFile::Open(const std::string& target, Staging staging, Links links)
{
    Discard();
    CloseFolder();
    m_error = 0;
    std::string path = target;
    if (links == Links::Follow && !FollowLinks(path))
        return Fail(errno);
    m_name = NameOf(path);
    if (m_name.empty())
        return Fail(EISDIR);
    m_folder = ::open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0)
        return Fail(errno);
    struct stat old {};
    const bool exists = ::fstatat(m_folder, m_name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return Fail(errno);
    // A link left here (Replace, or one that could not be followed) is itself
    // replaced: what it names is never opened.
    const bool file = exists && !S_ISLNK(old.st_mode);
    // A rename would replace a device or a pipe instead of writing to it.
    if (file && !S_ISREG(old.st_mode))
        return Fail(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    // A file its owner made read-only is not to be replaced either.
    if (file && ::faccessat(m_folder, m_name.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(errno);
    if (staging == Staging::Unnamed)
        m_fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (m_fd < 0 && !CreateNamed())
        return Fail(errno);
    if (file)
        KeepOwnerAndMode(old);
    return true;
}

// As a careful copy does: the owner where the system allows it, and the
// permissions, without set-user or set-group bits on a file now owned otherwise.
void StagedFile::KeepOwnerAndMode(const struct stat& old) const
{
    struct stat fresh {};
    mode_t mode = old.st_mode & 07777;
    if (::fstat(m_fd, &fresh) == 0 && (fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid) &&
        ::fchown(m_fd, old.st_uid, old.st_gid) != 0)
        mode &= ~mode_t(S_ISUID | S_ISGID);
    ::fchmod(m_fd, mode);
}

bool StagedFile::CreateNamed()
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = HiddenName();
        Leftover* leftover = Remember(m_folder, name);
        m_fd = ::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_stagingName = name;
            return true;
        }
        int error = errno;
        if (leftover)
            leftover->used.store(false);
        // A folder that is still there but takes no new file (/proc, /sys)
        // says ENOENT too: it is as good as read-only.
        struct stat folder {};
        if (error == ENOENT && ::fstat(m_folder, &folder) == 0 && folder.st_nlink > 0)
            error = EROFS;
        errno = error;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool StagedFile::Write(const void* data, std::size_t size) { return Put(data, size, -1); }

bool StagedFile::WriteAt(std::int64_t offset, const void* data, std::size_t size) { return Put(data, size, offset); }

// Writes at the file position when `offset` is negative.
bool StagedFile::Put(const void* data, std::size_t size, std::int64_t offset)
{
    const auto* bytes = static_cast<const char*>(data);
    while (Intact() && size > 0) {
        const ssize_t written = offset < 0 ? ::write(m_fd, bytes, size) : ::pwrite(m_fd, bytes, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            Fail(written < 0 ? errno : ENOSPC);
            m_failed = true;
            break;
        }
        bytes += written;
        size -= std::size_t(written);
        if (offset >= 0)
            offset += written;
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
    Forget(m_folder, m_stagingName);
    m_stagingName.clear();
    SyncFolder(m_folder);
    return true;
}

// A link cannot replace an existing file, a rename can: the unnamed file
// gets a hidden name first, which then takes the target's place.
bool StagedFile::PlaceUnnamed()
{
    const StopSignalsHeld held;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = HiddenName();
        if (GiveName(name)) {
            if (Replace(name))
                return true;
            const int error = errno;
            ::unlinkat(m_folder, name.c_str(), 0);
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
    if (::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    return ::linkat(m_fd, "", m_folder, name.c_str(), AT_EMPTY_PATH) == 0;
}

bool StagedFile::Replace(const std::string& name) const
{
    return ::renameat(m_folder, name.c_str(), m_folder, m_name.c_str()) == 0;
}

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
    if (!m_stagingName.empty()) {
        ::unlinkat(m_folder, m_stagingName.c_str(), 0);
        Forget(m_folder, m_stagingName);
    }
    m_stagingName.clear();
    m_failed = false;
}
