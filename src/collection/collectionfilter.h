// CollectionFilter: narrows the collection index to the songs whose artist, album,
// title or file name hold every word of a search. setIndex folds the index once;
// a search then compares bytes only, and a search typed on from the last one looks
// at the last one's matches only. A plain value, used in the GUI thread.
#ifndef COLLECTIONFILTER_H
#define COLLECTIONFILTER_H

#include "core/qmpdsong.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>

#include <vector>

class CollectionFilter
{
public:
    // The index as the builder lists it: sorted artists and albums, every song in
    // listing order. Keeps the current search.
    void setIndex(const QStringList &artists, const QStringList &albums,
                  const QList<QmpdSong> &songs);
    // False when the words are those already applied.
    bool setSearch(const QString &typed);
    bool isActive() const { return !words.isEmpty(); }

    // The artists, and all albums, that have a matching song, in index order.
    QStringList getArtists() const;
    QStringList getAlbums() const;
    // Of the artist's albums, those with a matching song of that artist.
    QStringList albumsOf(const QString &artist, const QStringList &albums) const;
    // Of a pair's songs (all songs for NULL_ARTIST_OR_ALBUM_STRING), the matching ones.
    QList<QmpdSong> songsOf(const QString &artist, const QString &album,
                            const QList<QmpdSong> &songs) const;

private:
    struct Song
    {
        int artist;
        int album;
        int pair;
        QByteArray text;  // title and file name, folded
    };

    void match(bool narrowing);
    bool matches(const Song &song) const;
    int pairOf(const QString &artist, const QString &album) const;

    QStringList artists;
    QStringList albums;
    std::vector<QByteArray> artistTexts;
    std::vector<QByteArray> albumTexts;
    std::vector<Song> songs;
    QHash<QPair<QString, QString>, int> pairs;
    std::vector<QList<int>> pairSongs;

    QList<QByteArray> words;
    // Per word, which artist and album names hold it.
    std::vector<std::vector<char>> artistHits;
    std::vector<std::vector<char>> albumHits;
    std::vector<int> matched;  // song positions
    std::vector<char> songShown, artistShown, albumShown, pairShown;
};

#endif
