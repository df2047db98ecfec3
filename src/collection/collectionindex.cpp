#include "collection/collectionindex.h"

#include <algorithm>

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
    // Songs of one album follow each other: nothing new, and no lookup needed.
    if (albumSongs.continuesLastPair(song)) {
        albumSongs.add(song, int(allSongs.size()));
        allSongs.append(std::move(song));
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
    novelty.artistAlbum = albumSongs.add(song, int(allSongs.size()));
    if (novelty.artistAlbum)
        artistEntry->append(song.album);
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

void CollectionIndex::setSongs(QList<QmpdSong> songs, AlbumSongPositions positions)
{
    allSongs = std::move(songs);
    albumSongs = std::move(positions);
}

void CollectionIndex::reserve(qsizetype songs)
{
    allSongs.reserve(songs);
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

QList<AlbumSummary> CollectionIndex::getAlbumSummaries() const
{
    QList<AlbumSummary> summaries;
    QHash<QPair<QString, QString>, qsizetype> known;
    for (const QmpdSong &song : allSongs) {
        const QPair<QString, QString> key(albumArtistOf(song), song.album);
        auto found = known.find(key);
        if (found == known.end()) {
            found = known.insert(key, summaries.size());
            summaries.append({key.first, song.album, QString(), 0, song.file});
        }
        AlbumSummary &summary = summaries[*found];
        if (summary.year.isEmpty())
            summary.year = song.date.left(4);
        summary.lastModified = std::max(summary.lastModified, song.lastModified);
    }
    return summaries;
}

QList<QmpdSong> CollectionIndex::getAlbumSongs(const QString &albumArtist,
                                               const QString &album) const
{
    QList<QmpdSong> songs;
    for (const QmpdSong &song : allSongs) {
        if (song.album == album && albumArtistOf(song) == albumArtist)
            songs.append(song);
    }
    return songs;
}

CollectionIndex CollectionIndex::groupedBy(Grouping grouping) const
{
    CollectionIndex grouped;
    grouped.reserve(allSongs.size());
    for (QmpdSong song : allSongs) {
        song.artist = groupOf(song, grouping);
        grouped.addSong(std::move(song));
    }
    grouped.sortNames();
    return grouped;
}

QString CollectionIndex::groupOf(const QmpdSong &song, Grouping grouping)
{
    switch (grouping) {
    case Grouping::Artist:
        return song.artist;
    case Grouping::AlbumArtist:
        return albumArtistOf(song);
    case Grouping::Genre:
        return song.genre;
    case Grouping::Composer:
        return song.composer;
    case Grouping::Year:
        return song.date.left(4);
    }
    return QString();
}

QString CollectionIndex::albumArtistOf(const QmpdSong &song)
{
    return song.albumArtist.isEmpty() ? song.artist : song.albumArtist;
}

QList<QmpdSong> CollectionIndex::getSongs(const QString &artist, const QString &album) const
{
    if (album == NULL_ARTIST_OR_ALBUM_STRING)
        return allSongs;
    QList<QmpdSong> songs;
    const QList<int> positions = albumSongs.of(artist, album);
    songs.reserve(positions.size());
    for (int position : positions)
        songs.append(allSongs.at(position));
    return songs;
}
