// AlbumSongPositions: where the songs of each artist/album pair are in a collection's
// song list, so that each song is held once. Part of a CollectionIndex (a plain value);
// the cache loader fills one per thread and joins them.
#ifndef ALBUMSONGPOSITIONS_H
#define ALBUMSONGPOSITIONS_H

#include "core/qmpdsong.h"

#include <QHash>
#include <QList>
#include <QPair>

class AlbumSongPositions
{
public:
    // True when the song has the pair of the song recorded last: nothing to look up.
    bool continuesLastPair(const QmpdSong &song) const;
    // Records the song at a position past every one recorded so far, and makes its
    // artist and album the pair's stored texts. True when its pair is new to the last
    // part: parts are joined once all their songs are recorded.
    bool add(QmpdSong &song, int position);
    // Takes over the positions of the part of the same list that follows this one's.
    void append(AlbumSongPositions &&later);

    QList<int> of(const QString &artist, const QString &album) const;

private:
    using ArtistAlbum = QPair<QString, QString>;
    using Part = QHash<ArtistAlbum, QList<int>>;

    // One hash per part of the list, in list order: joining parts moves no entry.
    QList<Part> parts = QList<Part>(1);
    // The pair recorded last and its entry, valid until the next insertion (which
    // replaces it). A copy starts without one: its hash may detach from the entry.
    struct LastPair
    {
        QString artist;
        QString album;
        QList<int> *positions = nullptr;

        LastPair() = default;
        LastPair(const LastPair &) { }
        LastPair &operator=(const LastPair &)
        {
            positions = nullptr;
            return *this;
        }
    };
    LastPair lastPair;
};

#endif
