#include "RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>
#include <cstdio>

namespace {
const QString kGroup = QStringLiteral("Recent File List");

QString Key(int i) { return QStringLiteral("File%1").arg(i + 1); }

// Qt caches settings files by name, size and time stamp, which a file
// replaced within the same millisecond can fool: settings are read from a
// private copy.
QString PrivateCopy(QTemporaryFile& copy, const QString& file)
{
    if (!copy.open())
        return {};
    QFile original(file);
    if (original.open(QIODevice::ReadOnly))
        copy.write(original.readAll());
    copy.close();
    return copy.fileName();
}
} // namespace

RecentFileList::RecentFileList(QString settingsFile) : m_settingsFile(std::move(settingsFile)) {}

void RecentFileList::Load()
{
    m_paths.clear();
    QTemporaryFile copy;
    QSettings settings(PrivateCopy(copy, m_settingsFile), QSettings::IniFormat);
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

bool RecentFileList::Store() const
{
    const QFileInfo target(m_settingsFile);
    if (!QDir().mkpath(target.absolutePath()))
        return false;
    QTemporaryFile temporary(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return false;
    temporary.close();
    QTemporaryFile copy;
    const QString oldFile = PrivateCopy(copy, m_settingsFile);
    {
        // Everything else in the settings is carried over unchanged.
        QSettings old(oldFile, QSettings::IniFormat);
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
    QSettings old(oldFile, QSettings::IniFormat);
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
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}
