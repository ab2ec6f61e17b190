#pragma once
// The recent-file list (at most four paths, newest first), kept in the user
// settings. Settings are replaced whole or not at all: a failed write
// (full disk, read-only folder) keeps the old file. Settings that cannot be
// read (unreadable, not a regular file, far too large) are left exactly as
// they are: the list starts empty and is never written over them.
#include <QString>
#include <QStringList>

class RecentFileList {
public:
    static constexpr int kSize = 4;

    explicit RecentFileList(QString settingsFile);

    void Load();
    // Puts `path` first; false when the settings could not be written.
    bool Add(const QString& path);
    // Drops `path` from the list; false when the settings could not be written.
    bool Remove(const QString& path);
    const QStringList& Paths() const { return m_paths; }
    const QString& SettingsFile() const { return m_settingsFile; }

private:
    bool Store() const;

    QString m_settingsFile;
    QStringList m_paths;
};
