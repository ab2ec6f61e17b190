#pragma once
// The recent-file entries in the text of the settings (Qt's INI form), read
// and replaced without touching any other line: comments, other sections and
// keys Nivo does not own stay byte for byte. Entries are bytes.
#include <QByteArray>
#include <QList>

// File1 .. File4 of the recent-file section, in that order.
QList<QByteArray> RecentEntriesIn(const QByteArray& text);
// `text` with those entries, and only those, replaced by `entries`.
QByteArray WithRecentEntries(const QByteArray& text, const QList<QByteArray>& entries);
