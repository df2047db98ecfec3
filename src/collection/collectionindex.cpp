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

CollectionIndex::Novelty CollectionIndex::addSong(QmpdSong song)
{
    Novelty novelty;
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
    auto pairEntry = albumSongs.find(ArtistAlbum(song.artist, song.album));
    if (pairEntry == albumSongs.end()) {
        pairEntry = albumSongs.insert(ArtistAlbum(song.artist, song.album), QList<int>());
    } else {
        song.artist = pairEntry.key().first;
        song.album = pairEntry.key().second;
    }
    pairEntry->append(allSongs.size());
    allSongs.append(std::move(song));
}

void CollectionIndex::reserveSongs(qsizetype count)
{
    allSongs.reserve(count);
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
