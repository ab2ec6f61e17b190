#pragma once
// The recent-file list (at most four paths, newest first), kept in the user
// settings. Paths are bytes, as the system names files. Each change is made
// under a lock on the settings folder to the list as it is on the disk then,
// so that two instances each adding an entry keep both; every other line of
// the settings (comments, keys of others) is carried over byte for byte.
// Settings are replaced whole or not at all: a failed write (full disk,
// read-only folder) keeps the old file, and the change is made again with
// the next one. Settings that cannot be read
// (unreadable, not a regular file, far too large) are left exactly as they
// are: the list starts empty and is never written over them.
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

class RecentFileList {
public:
    static constexpr int kSize = 4;

    explicit RecentFileList(QByteArray settingsFile);

    void Load();
    // Puts the absolute `path` first; false when the settings could not be written.
    bool Add(const QByteArray& path);
    // Drops `path` from the list; false when the settings could not be written.
    bool Remove(const QByteArray& path);
    const QList<QByteArray>& Entries() const { return m_entries; }
    // The entries as text, to be shown.
    QStringList Paths() const;
    const QByteArray& SettingsFile() const { return m_settingsFile; }

private:
    bool Change(const std::function<void(QList<QByteArray>&)>& edit);

    QByteArray m_settingsFile;
    QList<QByteArray> m_entries;
    // Changes the settings could not take yet, made again with the next one.
    QList<std::function<void(QList<QByteArray>&)>> m_unsaved;
};
