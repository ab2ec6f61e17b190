#include "RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/StagedFile.h"

namespace {
const QString kGroup = QStringLiteral("Recent File List");
// Settings are a few hundred bytes; anything far larger is not ours to read.
constexpr off_t kLargestSettings = 1 << 20;

QString Key(int i) { return QStringLiteral("File%1").arg(i + 1); }

bool IsSane(const struct stat& info) { return S_ISREG(info.st_mode) && info.st_size <= kLargestSettings; }

// The settings file's bytes: none when it does not exist, nothing at all
// when it cannot be read whole. It is looked at before it is opened, and
// opened so that it cannot block: a pipe would wait for ever, a device would
// never end.
std::optional<QByteArray> ReadSettings(const QString& file)
{
    const QByteArray name = QFile::encodeName(file);
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

// Qt caches settings files by name, size and time stamp, which a file
// replaced within the same millisecond can fool, and it would open a pipe or
// a device as it is: settings are read from a private copy. False when the
// settings cannot be read.
bool PrivateCopy(QTemporaryFile& copy, const QString& file)
{
    const std::optional<QByteArray> bytes = ReadSettings(file);
    if (!bytes || !copy.open())
        return false;
    const bool copied = copy.write(*bytes) == bytes->size() && copy.flush();
    copy.close();
    return copied && QSettings(copy.fileName(), QSettings::IniFormat).status() == QSettings::NoError;
}

std::optional<QByteArray> Contents(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    return in.readAll();
}
} // namespace

RecentFileList::RecentFileList(QString settingsFile) : m_settingsFile(std::move(settingsFile)) {}

void RecentFileList::Load()
{
    m_paths.clear();
    QTemporaryFile copy;
    if (!PrivateCopy(copy, m_settingsFile))
        return;
    QSettings settings(copy.fileName(), QSettings::IniFormat);
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        const QString path = settings.value(Key(i)).toString();
        if (!path.isEmpty())
            m_paths << path;
    }
}

bool RecentFileList::Add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_paths.removeAll(absolute);
    m_paths.prepend(absolute);
    while (m_paths.size() > kSize)
        m_paths.removeLast();
    return Store();
}

bool RecentFileList::Remove(const QString& path)
{
    if (m_paths.removeAll(QFileInfo(path).absoluteFilePath()) == 0)
        return true;
    return Store();
}

// Settings that could not be read are never written over: what else they
// hold would be lost.
bool RecentFileList::Store() const
{
    QTemporaryFile oldCopy;
    if (!PrivateCopy(oldCopy, m_settingsFile))
        return false;
    QTemporaryFile temporary;
    if (!temporary.open())
        return false;
    temporary.close();
    {
        // Everything else in the settings is carried over unchanged.
        QSettings old(oldCopy.fileName(), QSettings::IniFormat);
        QSettings fresh(temporary.fileName(), QSettings::IniFormat);
        for (const QString& key : old.allKeys())
            if (!key.startsWith(kGroup + '/'))
                fresh.setValue(key, old.value(key));
        fresh.beginGroup(kGroup);
        for (int i = 0; i < m_paths.size(); ++i)
            fresh.setValue(Key(i), m_paths[i]);
        fresh.endGroup();
        fresh.sync();
        if (fresh.status() != QSettings::NoError)
            return false;
    }
    // The settings writer does not notice a full disk; read the file back before trusting it.
    QSettings old(oldCopy.fileName(), QSettings::IniFormat);
    QSettings check(temporary.fileName(), QSettings::IniFormat);
    if (check.status() != QSettings::NoError)
        return false;
    for (const QString& key : old.allKeys())
        if (!key.startsWith(kGroup + '/') && check.value(key) != old.value(key))
            return false;
    check.beginGroup(kGroup);
    for (int i = 0; i < m_paths.size(); ++i)
        if (check.value(Key(i)).toString() != m_paths[i])
            return false;
    const std::optional<QByteArray> bytes = Contents(temporary.fileName());
    const QFileInfo target(m_settingsFile);
    if (!bytes || !QDir().mkpath(target.absolutePath()))
        return false;
    return StagedFile::Store(QFile::encodeName(target.absoluteFilePath()).toStdString(), bytes->constData(),
                             std::size_t(bytes->size())) == 0;
}
