// CacheSongReader: reads the collection cache's .songs file into the song list and
// where each artist/album pair's songs are in it. Two threads share the work: a
// helper started at construction decodes the later half of the file while the
// caller does other work, then the caller decodes the earlier half. Made and used
// inside the collection builder's thread; the helper has ended when readInto()
// returns, or at destruction.
#ifndef CACHESONGREADER_H
#define CACHESONGREADER_H

#include "collection/albumsongpositions.h"
#include "collection/cachelinereader.h"

#include <QList>

#include <future>
#include <thread>

class CollectionIndex;

class CacheSongReader
{
public:
    explicit CacheSongReader(const QString &path);
    ~CacheSongReader();

    // Decodes the earlier half, waits for the later one and hands both over.
    void readInto(CollectionIndex *index);

private:
    // Where the earlier half goes: the start of the list and how many records it has.
    struct EarlierHalf
    {
        QmpdSong *songs;
        qsizetype records;
    };

    void readLaterHalf();

    CacheLineReader earlier;
    // Sized by the helper: counting the records and making room for a big
    // collection's takes as long as reading the other cache files, which the
    // caller does meanwhile.
    QList<QmpdSong> songs;
    std::promise<EarlierHalf> earlierHalf;
    AlbumSongPositions laterPositions;
    std::thread helper;
};

#endif
