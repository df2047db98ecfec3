#include "collectionindex.h"

QString CollectionIndex::sharedAlbum(const QString &album, bool *isNew)
{
    const auto known = knownAlbums.constFind(album);
    *isNew = known == knownAlbums.constEnd();
    if (!*isNew)
        return *known;
    knownAlbums.insert(album);
    albums.append(album);
    return album;
}

bool CollectionIndex::sameAsLastPair(const QmpdSong &song) const
{
    // The decoders hand out one shared text for the repeated artist and album of
    // an album's songs: comparing the texts' data pointers is enough then.
    return lastPair.positions && song.artist.isSharedWith(lastPair.artist)
            && song.album.isSharedWith(lastPair.album);
}

void CollectionIndex::appendToLastPair(QmpdSong song)
{
    song.artist = lastPair.artist;
    song.album = lastPair.album;
    lastPair.positions->append(allSongs.size());
    allSongs.append(std::move(song));
}

void CollectionIndex::rememberPair(const QmpdSong &song, QList<int> *positions)
{
    lastPair.artist = song.artist;
    lastPair.album = song.album;
    lastPair.positions = positions;
}

CollectionIndex::Novelty CollectionIndex::addSong(QmpdSong song)
{
    Novelty novelty;
    // Songs of one album follow each other: nothing new, and no lookup needed.
    if (sameAsLastPair(song)) {
        appendToLastPair(std::move(song));
        return novelty;
    }
    // Reusing the stored strings keeps one copy of each name in memory, however
    // many songs carry it.
    auto artistEntry = artistAlbums.find(song.artist);
    novelty.artist = artistEntry == artistAlbums.end();
    if (novelty.artist) {
        artistEntry = artistAlbums.insert(song.artist, QStringList());
        artists.append(song.artist);
    } else {
        song.artist = artistEntry.key();
    }
    song.album = sharedAlbum(song.album, &novelty.album);

    auto pairEntry = albumSongs.find(ArtistAlbum(song.artist, song.album));
    novelty.artistAlbum = pairEntry == albumSongs.end();
    if (novelty.artistAlbum) {
        pairEntry = albumSongs.insert(ArtistAlbum(song.artist, song.album), QList<int>());
        artistEntry->append(song.album);
    }
    rememberPair(song, &*pairEntry);
    pairEntry->append(allSongs.size());
    allSongs.append(std::move(song));
    return novelty;
}

void CollectionIndex::appendArtist(const QString &artist)
{
    artists.append(artist);
}

void CollectionIndex::appendAlbum(const QString &album)
{
    albums.append(album);
}

void CollectionIndex::appendArtistAlbum(const QString &artist, const QString &album)
{
    artistAlbums[artist].append(album);
}

void CollectionIndex::appendSong(QmpdSong song)
{
    if (sameAsLastPair(song)) {
        appendToLastPair(std::move(song));
        return;
    }
    auto pairEntry = albumSongs.find(ArtistAlbum(song.artist, song.album));
    if (pairEntry == albumSongs.end()) {
        pairEntry = albumSongs.insert(ArtistAlbum(song.artist, song.album), QList<int>());
    } else {
        song.artist = pairEntry.key().first;
        song.album = pairEntry.key().second;
    }
    rememberPair(song, &*pairEntry);
    pairEntry->append(allSongs.size());
    allSongs.append(std::move(song));
}

void CollectionIndex::reserve(qsizetype songs, qsizetype artistAlbumPairs)
{
    allSongs.reserve(songs);
    albumSongs.reserve(artistAlbumPairs);
}

void CollectionIndex::sortNames()
{
    artists.sort();
    albums.sort();
}

QStringList CollectionIndex::getArtists() const
{
    return artists;
}

QStringList CollectionIndex::getAlbums(const QString &artist) const
{
    if (artist == NULL_ARTIST_OR_ALBUM_STRING)
        return albums;
    return artistAlbums.value(artist);
}

QList<QmpdSong> CollectionIndex::getSongs(const QString &artist, const QString &album) const
{
    if (album == NULL_ARTIST_OR_ALBUM_STRING)
        return allSongs;
    QList<QmpdSong> songs;
    const QList<int> positions = albumSongs.value(ArtistAlbum(artist, album));
    songs.reserve(positions.size());
    for (int position : positions)
        songs.append(allSongs.at(position));
    return songs;
}
