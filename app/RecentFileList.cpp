#include "RecentFileList.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SettingsText.h"
#include "platform/StagedFile.h"

namespace {
// Settings are a few hundred bytes; anything far larger is not ours to read.
constexpr off_t kLargestSettings = 1 << 20;

bool IsSane(const struct stat& info) { return S_ISREG(info.st_mode) && info.st_size <= kLargestSettings; }

// The settings file's bytes: none when it does not exist, nothing at all
// when it cannot be read whole. It is looked at before it is opened, and
// opened so that it cannot block: a pipe would wait for ever, a device would
// never end.
std::optional<QByteArray> ReadSettings(const QByteArray& name)
{
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    if (!IsSane(info))
        return std::nullopt;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // What was opened may not be what was looked at.
    QByteArray bytes;
    if (::fstat(fd, &info) == 0 && IsSane(info)) {
        bytes.resize(qsizetype(kLargestSettings) + 1);
        qsizetype size = 0;
        for (ssize_t got = 1; got > 0 && size < bytes.size(); size += got > 0 ? got : 0)
            got = ::read(fd, bytes.data() + size, std::size_t(bytes.size() - size));
        bytes.resize(size);
    }
    ::close(fd);
    if (!IsSane(info) || bytes.size() > kLargestSettings)
        return std::nullopt;
    return bytes;
}

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// As mkdir -p, on the name's bytes.
bool MakeFolders(const QByteArray& folder)
{
    struct stat info {};
    if (::stat(folder.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (folder != FolderOf(folder) && !MakeFolders(FolderOf(folder)))
        return false;
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

// Held while the settings are read, changed and replaced: the folder itself
// is locked, so that no lock file is left in it.
class FolderLock {
public:
    explicit FolderLock(const QByteArray& folder) : m_fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};
} // namespace

RecentFileList::RecentFileList(QByteArray settingsFile) : m_settingsFile(std::move(settingsFile)) {}

void RecentFileList::Load()
{
    const std::optional<QByteArray> text = ReadSettings(m_settingsFile);
    m_entries = text ? RecentEntriesIn(*text).mid(0, kSize) : QList<QByteArray>();
}

QStringList RecentFileList::Paths() const
{
    QStringList paths;
    for (const QByteArray& entry : m_entries)
        paths << QFile::decodeName(entry);
    return paths;
}

bool RecentFileList::Add(const QByteArray& path)
{
    return Change([path](QList<QByteArray>& entries) {
        entries.removeAll(path);
        entries.prepend(path);
    });
}

bool RecentFileList::Remove(const QByteArray& path)
{
    if (!m_entries.contains(path))
        return true;
    return Change([path](QList<QByteArray>& entries) { entries.removeAll(path); });
}

// The change is made to the list as it is on the disk now, which another
// instance may have changed since it was loaded. Settings that could not be
// read are never written over: what else they hold would be lost.
bool RecentFileList::Change(const std::function<void(QList<QByteArray>&)>& edit)
{
    m_unsaved << edit;
    edit(m_entries);
    m_entries = m_entries.mid(0, kSize);
    const QByteArray folder = FolderOf(m_settingsFile);
    if (!MakeFolders(folder))
        return false;
    const FolderLock lock(folder);
    const std::optional<QByteArray> text = ReadSettings(m_settingsFile);
    if (!text)
        return false;
    QList<QByteArray> entries = RecentEntriesIn(*text);
    for (const auto& change : m_unsaved)
        change(entries);
    entries = entries.mid(0, kSize);
    const QByteArray changed = WithRecentEntries(*text, entries);
    if (StagedFile::Store(m_settingsFile.toStdString(), changed.constData(), std::size_t(changed.size())) != 0)
        return false;
    m_unsaved.clear();
    m_entries = entries;
    return true;
}
