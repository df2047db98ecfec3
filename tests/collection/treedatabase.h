// TreeDatabase: writes an mpd database holding the given songs at any depth, in
// the given order, without audio files; for listings whose order across levels
// matters and for long paths. Test code; any thread.
#ifndef TREEDATABASE_H
#define TREEDATABASE_H

#include <QList>
#include <QString>

struct TreeSong
{
    QString uri;
    QString artist;
    QString album;
    QString title;
    int track = 0;
    int seconds = 0;
};

namespace TreeDatabase {

// Directories and songs appear in order of first mention; empty tags are left out.
bool write(const QString &dbPath, const QList<TreeSong> &songs);

}  // namespace TreeDatabase

#endif
