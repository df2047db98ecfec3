#include "collection/albumsongpositions.h"

bool AlbumSongPositions::continuesLastPair(const QmpdSong &song) const
{
    // The decoders hand out one shared text for the repeated artist and album of
    // an album's songs: comparing the texts' data pointers is enough then.
    return lastPair.positions && song.artist.isSharedWith(lastPair.artist)
            && song.album.isSharedWith(lastPair.album);
}

bool AlbumSongPositions::add(QmpdSong &song, int position)
{
    bool isNew = false;
    if (!continuesLastPair(song)) {
        const ArtistAlbum pair(song.artist, song.album);
        Part &positions = parts.last();
        auto entry = positions.find(pair);
        isNew = entry == positions.end();
        if (isNew) {
            entry = positions.insert(pair, QList<int>());
        } else {
            song.artist = entry.key().first;
            song.album = entry.key().second;
        }
        lastPair.artist = song.artist;
        lastPair.album = song.album;
        lastPair.positions = &*entry;
    }
    lastPair.positions->append(position);
    return isNew;
}

void AlbumSongPositions::append(AlbumSongPositions &&later)
{
    parts.append(std::move(later.parts));
    // Songs recorded from now on belong to the later part.
    lastPair = LastPair();
}

QList<int> AlbumSongPositions::of(const QString &artist, const QString &album) const
{
    const ArtistAlbum pair(artist, album);
    QList<int> all;
    for (const Part &part : parts)
        all.append(part.value(pair));
    return all;
}
