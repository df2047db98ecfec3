// CollectionIndex: the artist/album/song index of one server's music database,
// as the collection builder fills it from a listing or from its cache files.
// A plain value (implicitly shared containers): built in the builder's thread,
// then handed over whole and copied cheaply by the queries.
#ifndef COLLECTIONINDEX_H
#define COLLECTIONINDEX_H

#include "qmpdsong.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QStringList>

class CollectionIndex
{
public:
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
    void appendSong(QmpdSong song);

    // Room for this many songs, and artist/album pairs, when the counts are known beforehand.
    void reserve(qsizetype songs, qsizetype artistAlbumPairs = 0);

    // Sorts the artist and album lists (UTF-16 code units, case-sensitive).
    void sortNames();

    QStringList getArtists() const;
    QStringList getAlbums(const QString &artist) const;
    QList<QmpdSong> getSongs(const QString &artist, const QString &album) const;

private:
    using ArtistAlbum = QPair<QString, QString>;

    QString sharedAlbum(const QString &album, bool *isNew);
    bool sameAsLastPair(const QmpdSong &song) const;
    void appendToLastPair(QmpdSong song);
    void rememberPair(const QmpdSong &song, QList<int> *positions);

    QStringList artists;
    QStringList albums;
    QHash<QString, QStringList> artistAlbums;
    QList<QmpdSong> allSongs;
    // Positions in allSongs, so each song is held once.
    QHash<ArtistAlbum, QList<int>> albumSongs;
    // Every album name met so far: the hashed twin of the ordered list.
    QSet<QString> knownAlbums;
    // The pair of the song added last and its entry in albumSongs, valid until the
    // next insertion (which replaces it). A copy or a move of the index starts
    // without one: its hash may detach from the entry pointed into.
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
