// SongList: the songs and folders of an answer MPD gives as "file:" and "directory:" blocks
// (playlistinfo, plchanges, currentsong, lsinfo), taken from the lines RawAnswer read. Values
// as libmpd would give them: several Artist lines joined with ", ", the first of other repeated
// lines kept. A plain value; any thread.
#ifndef SONGLIST_H
#define SONGLIST_H

#include "core/qmpdsong.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

struct SongList
{
    QStringList directories;
    std::vector<QmpdSong> songs;
    std::vector<int> positions;  // each song's place in the queue; -1 for a song outside it
    QStringList genres;          // each song's first genre

    static SongList parse(const QList<QByteArray> &lines, QmpdSong::TrackDateDecoding trackDate);
};

#endif
