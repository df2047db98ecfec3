// CollectionIndex: the artist/album/song index of one server's music database,
// as the collection builder fills it from a listing or from its cache files.
// A plain value (implicitly shared containers): built in the builder's thread,
// then handed over whole and copied cheaply by the queries.
#ifndef COLLECTIONINDEX_H
#define COLLECTIONINDEX_H

#include "collection/albumsongpositions.h"
#include "collection/albumsummary.h"
#include "core/qmpdsong.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

class CollectionIndex
{
public:
    // The tag whose values make the first list (the artist's place in the queries).
    enum class Grouping { Artist, AlbumArtist, Genre, Composer, Year };

    // What a song added to the index brought that was not there before.
    struct Novelty
    {
        bool artist = false;
        bool album = false;
        bool artistAlbum = false;
    };

    // Adds a song from the server's listing and records its artist, album and
    // pair once each, in order of first occurrence (exact, case-sensitive).
    Novelty addSong(QmpdSong song);

    // Raw appends for the cache loader, which trusts its files and tests nothing.
    void appendArtist(const QString &artist);
    void appendAlbum(const QString &album);
    void appendArtistAlbum(const QString &artist, const QString &album);
    // The cache loader's whole song list, with where each pair's songs are in it.
    void setSongs(QList<QmpdSong> songs, AlbumSongPositions positions);

    // Room for this many songs, when the count is known beforehand.
    void reserve(qsizetype songs);

    // Sorts the artist and album lists (UTF-16 code units, case-sensitive).
    void sortNames();

    QStringList getArtists() const;
    QStringList getAlbums(const QString &artist) const;
    QList<QmpdSong> getSongs(const QString &artist, const QString &album) const;
    // Every album, told apart by album artist (the artist when the songs have none) and title,
    // in order of first occurrence.
    QList<AlbumSummary> getAlbumSummaries() const;
    // Such an album's songs, in listing order.
    QList<QmpdSong> getAlbumSongs(const QString &albumArtist, const QString &album) const;
    static QString albumArtistOf(const QmpdSong &song);

    // The same songs under another tag's values: each song's artist field holds its value of
    // that tag (the album artist falls back to the artist, as mpd's own lists do; the year is
    // the date's first four characters).
    CollectionIndex groupedBy(Grouping grouping) const;
    static QString groupOf(const QmpdSong &song, Grouping grouping);

private:
    QString sharedAlbum(const QString &album, bool *isNew);

    QStringList artists;
    QStringList albums;
    QHash<QString, QStringList> artistAlbums;
    QList<QmpdSong> allSongs;
    AlbumSongPositions albumSongs;
    // Every album name met so far: the hashed twin of the ordered list.
    QSet<QString> knownAlbums;
};

#endif
